// kestrix-hmi: the HMI runtime stand-in, and the commands that reach a running one.

#include <QCoreApplication>
#include <cstdio>

#include "hmi/HmiSocketName.h"
#include "hmi/server/Journal.h"
#include "hmi/server/RemoteCommand.h"
#include "hmi/server/RuntimeOptions.h"
#include "hmi/server/RuntimeServer.h"

namespace {

int runRuntime(const kestrix::RuntimeOptions& options, const QString& socketName) {
    kestrix::Journal journal(kestrix::hmiJournalPath(socketName));
    kestrix::RuntimeServer server(options, socketName, journal);
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

    QString socketName = kestrix::hmiSocketName();
    if (options.command == kestrix::RuntimeOptions::Command::Run) {
        return runRuntime(options, socketName);
    }
    return kestrix::runRemoteCommand(options, socketName);
}
