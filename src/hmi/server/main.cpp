// kestrix-hmi: the HMI runtime stand-in, and the commands that reach a running one.

#include <QCoreApplication>
#include <cstdio>
#include <optional>

#include "hmi/HmiPaths.h"
#include "hmi/HmiProtocol.h"
#include "hmi/server/Journal.h"
#include "hmi/server/RemoteCommand.h"
#include "hmi/server/RuntimeOptions.h"
#include "hmi/server/RuntimeServer.h"

namespace {

// The shell that launched this runtime, when one did.
std::optional<pid_t> launchingShell() {
    bool isNumber = false;
    const int pid = qEnvironmentVariableIntValue(kestrix::HmiProtocol::ShellVariable, &isNumber);
    return isNumber && pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

int runRuntime(const kestrix::RuntimeOptions& options, const kestrix::HmiPaths& paths) {
    kestrix::Journal journal(paths.journal);
    kestrix::RuntimeServer server(options, paths, launchingShell(), journal);
    if (!server.start()) {
        return 2;
    }
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);

    kestrix::RuntimeOptions options;
    QString error;
    if (!kestrix::RuntimeOptions::parse(application.arguments(), options, error)) {
        std::fprintf(stderr, "kestrix-hmi: %s\n%s", qPrintable(error),
                     qPrintable(kestrix::RuntimeOptions::usage()));
        return 2;
    }
    if (options.command == kestrix::RuntimeOptions::Command::Help) {
        std::fputs(qPrintable(kestrix::RuntimeOptions::usage()), stdout);
        return 0;
    }
    if (options.command == kestrix::RuntimeOptions::Command::Version) {
        std::printf("kestrix-hmi %s\n", KESTRIX_VERSION);
        return 0;
    }

    const kestrix::HmiPaths paths = kestrix::hmiPaths();
    if (!paths.isUsable()) {
        std::fprintf(stderr, "kestrix-hmi: the runtime's socket cannot be used safely: %s\n",
                     qPrintable(paths.error));
        return 2;
    }
    if (options.command == kestrix::RuntimeOptions::Command::Run) {
        return runRuntime(options, paths);
    }
    return kestrix::runRemoteCommand(options, paths.socket);
}
