// kestrix: the operator shell of the packaging line. It takes no command-line arguments.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/EndSignals.h"
#include "app/KestrixApplication.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "config/InstallationRoot.h"
#include "config/ModuleIsolation.h"
#include "config/Service.h"
#include "hmi/HmiClient.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleFrame.h"
#include "isolation/ProcessControlFactory.h"
#include "platform/Clock.h"
#include "platform/QProcessRunner.h"
#include "platform/QtDialogs.h"
#include "platform/x11/X11Desktop.h"

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
        std::fprintf(stderr, "Kestrix: %s\n", qUtf8Printable(setting.complaint));
    }
    if (setting.isolation == kestrix::ModuleIsolation::Process &&
        !kestrix::ModuleFrame::canEmbed()) {
        std::fprintf(stderr,
                     "Kestrix: modules run in the shell's process: the display (%s) cannot embed "
                     "windows of other processes\n",
                     qUtf8Printable(QGuiApplication::platformName()));
        return kestrix::ModuleIsolation::InProcess;
    }
    return setting.isolation;
}

}  // namespace

int main(int argc, char** argv) {
    kestrix::KestrixApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    // The program ends on the runtime ended event, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    kestrix::ScreenTwips twips = kestrix::ScreenTwips::ofPrimaryScreen();
    kestrix::QtDialogs dialogs;
    kestrix::X11Desktop desktop;
    const QString programDirectory = QCoreApplication::applicationDirPath();
    kestrix::SystemClock clock;
    kestrix::PluginControlFactory registry(kestrix::PluginControlFactory::defaultFolders(), twips);
    kestrix::ProcessControlFactory isolated(
        registry, kestrix::ProcessControlFactory::moduleHostIn(programDirectory), twips, clock);
    kestrix::ControlFactory& controls =
        moduleIsolation(programDirectory) == kestrix::ModuleIsolation::Process
            ? static_cast<kestrix::ControlFactory&>(isolated)
            : registry;
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
                               [](int exitCode) {
                                   std::fflush(nullptr);
                                   std::_Exit(exitCode);
                               }};
    kestrix::Service service(dialogs);
    kestrix::LoadedForms forms;

    auto* start = new kestrix::KestrixStart(platform, forms, service);
    kestrix::EndSignals endSignals;
    QObject::connect(&endSignals, &kestrix::EndSignals::Received, start,
                     &kestrix::KestrixStart::EndOnSignal);
    start->Form_Load();
    start->show();
    return QApplication::exec();
}
