// kestrix: the operator shell of the packaging line. It takes no command-line arguments.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/EndSignals.h"
#include "app/KestrixApplication.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "config/Service.h"
#include "hmi/HmiClient.h"
#include "host/PluginControlFactory.h"
#include "platform/Clock.h"
#include "platform/QProcessRunner.h"
#include "platform/QtDialogs.h"
#include "platform/x11/X11Desktop.h"

int main(int argc, char** argv) {
    kestrix::KestrixApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    // The program ends on the runtime ended event, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    kestrix::ScreenTwips twips = kestrix::ScreenTwips::ofPrimaryScreen();
    kestrix::QtDialogs dialogs;
    kestrix::X11Desktop desktop;
    kestrix::PluginControlFactory controls(kestrix::PluginControlFactory::defaultFolders(), twips);
    kestrix::HmiClient runtime;
    kestrix::SystemClock clock;
    kestrix::QProcessRunner processes;
    kestrix::Platform platform{dialogs,
                               desktop,
                               controls,
                               runtime,
                               clock,
                               processes,
                               twips,
                               QCoreApplication::applicationDirPath(),
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
