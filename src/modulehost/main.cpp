// kestrix-module: runs one plug-in module of the operator window in a process of its own. The
// shell starts it with the private channel as a descriptor; it is not meant to be run by hand.

#include <signal.h>
#include <QApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ModuleServer.h"
#include "channel/ModuleOrphans.h"
#include "fault/Fault.h"
#include "fault/NotifyCatchingFaults.h"

namespace kestrix {
namespace {

// An exception that escapes the module's own code (its timer's slot, say) is the module's fault:
// the shell logs it, and the module goes on as it would in the shell's own process.
class ModuleHostApplication final : public QApplication {
public:
    using QApplication::QApplication;

    void serve(ModuleServer* server) { server_ = server; }

    bool notify(QObject* receiver, QEvent* event) override {
        return notifyCatchingFaults([&] { return QApplication::notify(receiver, event); },
                                    [this] { report(currentFault()); });
    }

private:
    void report(const Fault& fault) {
        if (QThread::currentThread() == thread()) {
            if (server_ != nullptr) {
                server_->reportOwnFault(fault);
            }
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, fault] { report(fault); }, Qt::QueuedConnection);
    }

    ModuleServer* server_ = nullptr;
};

// TERM comes from the shell's stop of the module or from the shell's death (the parent-death
// signal): the host ends its whole process group, so that what the module started ends with it.
void endTheGroupOnTerm() {
    struct sigaction action {};
    action.sa_handler = [](int) { ModuleServer::endWithItsGroup(); };
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
}

// A module's window is small and repaints a few readings at a time. Through shared memory each
// repaint first waits a round trip for the X server to let go of the last image; sent through the
// connection, it waits for nothing. With twenty module processes those waits were most of the
// line's wake-ups at idle. Qt reads this as the display connection opens.
constexpr char NoSharedImages[] = "QT_XCB_NO_MITSHM";

int usage() {
    std::fputs(
        "usage: kestrix-module --channel DESCRIPTOR\n"
        "Runs one plug-in module for the kestrix shell, which starts it.\n",
        stderr);
    return 2;
}

}  // namespace
}  // namespace kestrix

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--channel") != 0) {
        return kestrix::usage();
    }
    char* end = nullptr;
    const long descriptor = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || descriptor < 0 || descriptor > 1024) {
        return kestrix::usage();
    }
    kestrix::endTheGroupOnTerm();
    // What the module starts and detaches stays below the host, to be ended with it.
    kestrix::ModuleOrphans::becomeSubreaper();
    // Unless whoever started the host chose otherwise; not passed on to what the module starts.
    const bool imagesChosen = qEnvironmentVariableIsSet(kestrix::NoSharedImages);
    if (!imagesChosen) {
        qputenv(kestrix::NoSharedImages, "1");
    }
    kestrix::ModuleHostApplication application(argc, argv);
    if (!imagesChosen) {
        qunsetenv(kestrix::NoSharedImages);
    }
    QApplication::setApplicationName(QStringLiteral("Kestrix module"));
    QApplication::setQuitOnLastWindowClosed(false);
    kestrix::ModuleServer server(static_cast<int>(descriptor));
    application.serve(&server);
    return QApplication::exec();
}
