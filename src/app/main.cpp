// kestrix: the operator shell of the packaging line. It takes no command-line arguments.

#include <sys/prctl.h>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/EndSignals.h"
#include "app/KestrixApplication.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "app/SingleInstance.h"
#include "channel/ModuleOrphans.h"
#include "config/InstallationRoot.h"
#include "config/ModuleIsolation.h"
#include "config/Service.h"
#include "hmi/HmiClient.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleFrame.h"
#include "isolation/ProcessControlFactory.h"
#include "journal/Notices.h"
#include "platform/Clock.h"
#include "platform/QProcessRunner.h"
#include "platform/QtDialogs.h"
#include "platform/QtPlatformChoice.h"
#include "platform/SessionDesktop.h"
#include "supervision/ServiceWatchdog.h"

namespace {

// Where the modules run: Kestrix.ini's setting, unless the display cannot show a window of
// another process inside the shell's (offscreen, say).
kestrix::ModuleIsolation moduleIsolation(const QString& programDirectory) {
    kestrix::ModuleIsolationSetting setting;
    try {
        setting = kestrix::readModuleIsolation(
            kestrix::kestrixIniOf(kestrix::installationRootOf(programDirectory)));
    } catch (...) {
        return setting.isolation;  // no root above the program: the defaults
    }
    if (!setting.complaint.isEmpty()) {
        kestrix::notice(QStringLiteral("Kestrix: ") + setting.complaint);
    }
    if (setting.isolation == kestrix::ModuleIsolation::Process &&
        !kestrix::ModuleFrame::canEmbed()) {
        kestrix::notice(QStringLiteral("Kestrix: modules run in the shell's process: the display "
                                       "(%1) cannot embed windows of other processes")
                            .arg(QGuiApplication::platformName()));
        return kestrix::ModuleIsolation::InProcess;
    }
    return setting.isolation;
}

// The modules run as the operator's user, in processes of their own. So that none of them can
// read the shell's memory or take its descriptors through /proc, the shell is not dumpable (unless
// KESTRIX_CORE_DUMPS=1, where an integrator wants its core dumps); and what a module starts and
// detaches becomes the shell's child once the module's process is gone, for the shell to end.
void guardAgainstModules() {
    if (qEnvironmentVariableIntValue("KESTRIX_CORE_DUMPS") != 1) {
        prctl(PR_SET_DUMPABLE, 0);
    }
    kestrix::ModuleOrphans::becomeSubreaper();
}

}  // namespace

int main(int argc, char** argv) {
    guardAgainstModules();
    kestrix::forwardQtMessagesToJournal();
    // A second start of the line raises the running shell's window; the runtime is not touched.
    kestrix::SingleInstance instance;
    if (instance.claim() == kestrix::SingleInstance::Claim::Running) {
        instance.askRunningToRaise();
        kestrix::notice(QStringLiteral("Kestrix is already running"));
        return 0;
    }
    kestrix::preferXWaylandOnWayland();
    kestrix::KestrixApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    // The program ends on the runtime ended event, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // Fed from this thread's event loop, so that a hung window thread starves it.
    kestrix::ServiceWatchdog watchdog;

    kestrix::ScreenTwips twips = kestrix::ScreenTwips::ofPrimaryScreen();
    kestrix::QtDialogs dialogs;
    kestrix::SessionDesktop desktop;
    if (const QString why = desktop.whyWindowsCannotBeSeen(); !why.isEmpty()) {
        std::fprintf(stderr, "Kestrix: %s\n", qUtf8Printable(why));
    }
    const QString programDirectory = QCoreApplication::applicationDirPath();
    kestrix::SystemClock clock;
    kestrix::PluginControlFactory registry(kestrix::PluginControlFactory::defaultFolders(), twips);
    // Modules run in processes of their own through the process factory, made only then; else the
    // registry creates them in the shell's process.
    std::optional<kestrix::ProcessControlFactory> isolated;
    if (moduleIsolation(programDirectory) == kestrix::ModuleIsolation::Process) {
        isolated.emplace(registry, kestrix::ProcessControlFactory::moduleHostIn(programDirectory),
                         twips, clock);
    }
    kestrix::ControlFactory& controls =
        isolated ? static_cast<kestrix::ControlFactory&>(*isolated) : registry;
    kestrix::HmiClient runtime;
    kestrix::QProcessRunner processes;
    kestrix::Platform platform{dialogs,
                               desktop,
                               controls,
                               runtime,
                               clock,
                               processes,
                               twips,
                               programDirectory,
                               [&isolated](int exitCode) {
                                   // Modules in processes of their own end in order first.
                                   if (isolated) {
                                       isolated->awaitModulesEnd();
                                   }
                                   std::fflush(nullptr);
                                   std::_Exit(exitCode);
                               }};
    kestrix::Service service(dialogs);
    kestrix::LoadedForms forms;

    auto* start = new kestrix::KestrixStart(platform, forms, service);
    kestrix::EndSignals endSignals;
    QObject::connect(&endSignals, &kestrix::EndSignals::received, start,
                     &kestrix::KestrixStart::EndOnSignal);
    instance.serve([start] { start->RaiseRunningWindow(); });
    start->Form_Load();
    start->show();
    return QApplication::exec();
}
