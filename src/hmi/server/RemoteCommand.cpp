#include "hmi/server/RemoteCommand.h"

#include <QLocalSocket>
#include <cstdio>

#include "hmi/HmiProtocol.h"
#include "hmi/LocalPeer.h"

namespace kestrix {

namespace {

// Generous: the runtime answers at once unless the machine is very busy.
constexpr int AnswerTimeoutMs = 10000;

QByteArray requestOf(const RuntimeOptions& options) {
    namespace P = HmiProtocol;
    const QStringList& arguments = options.commandArguments;
    switch (options.command) {
        case RuntimeOptions::Command::Set:
            return P::encode(P::Set, arguments.at(0), arguments.at(1));
        case RuntimeOptions::Command::Get:
            return P::encode(P::Get, arguments.at(0));
        case RuntimeOptions::Command::Stop:
        case RuntimeOptions::Command::Run:
        case RuntimeOptions::Command::Help:
        case RuntimeOptions::Command::Version:
            break;
    }
    return P::encode(P::Stop);
}

// Waits for the runtime's answer line; empty when the runtime went away without one.
QByteArray awaitAnswer(QLocalSocket& socket) {
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState ||
            !socket.waitForReadyRead(AnswerTimeoutMs)) {
            return {};
        }
    }
    return socket.readLine();
}

}  // namespace

int runRemoteCommand(const RuntimeOptions& options, const QString& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(AnswerTimeoutMs)) {
        // No socket, or one that nobody listens on any more: the runtime is not running.
        if (socket.error() == QLocalSocket::ServerNotFoundError ||
            socket.error() == QLocalSocket::ConnectionRefusedError) {
            std::fprintf(stderr, "kestrix-hmi: no runtime runs (none listens on \"%s\")\n",
                         qPrintable(socketPath));
        } else {
            std::fprintf(stderr, "kestrix-hmi: no runtime answers on \"%s\": %s\n",
                         qPrintable(socketPath), qPrintable(socket.errorString()));
        }
        return 1;
    }
    // Nothing goes to a listener of another user.
    const std::optional<LocalPeer> peer = localPeerOf(socket.socketDescriptor());
    if (!peer || !isOfThisUser(*peer)) {
        std::fprintf(stderr, "kestrix-hmi: \"%s\" is served by another user; nothing was sent\n",
                     qPrintable(socketPath));
        return 1;
    }
    socket.write(requestOf(options));
    socket.waitForBytesWritten(AnswerTimeoutMs);

    HmiProtocol::Message answer = HmiProtocol::decode(awaitAnswer(socket));
    namespace P = HmiProtocol;
    if (options.command == RuntimeOptions::Command::Stop) {
        // The runtime ends: its farewell or its going away both mean done.
        return 0;
    }
    if (answer.verb == QLatin1String(P::Ok)) {
        return 0;
    }
    if (answer.verb == QLatin1String(P::Value)) {
        std::printf("%s\n", qPrintable(answer.value));
        return 0;
    }
    if (answer.verb == QLatin1String(P::Unknown)) {
        std::fprintf(stderr, "kestrix-hmi: no runtime variable \"%s\"\n", qPrintable(answer.name));
    } else {
        std::fprintf(stderr, "kestrix-hmi: the runtime did not carry out the request\n");
    }
    return 1;
}

}  // namespace kestrix
