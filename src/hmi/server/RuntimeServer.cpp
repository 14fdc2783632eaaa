#include "hmi/server/RuntimeServer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "hmi/HmiLanguage.h"
#include "hmi/LocalPeer.h"

namespace kestrix {

namespace {

// How long a leaving runtime waits for its last words to reach each client.
constexpr int FarewellMs = 1000;
// The exit status of a runtime that dies (--die-after-s): no farewell, no journal line.
constexpr int DeathStatus = 3;
// How often a runtime looks whether the shell that launched it is still there.
constexpr int ShellWatchMs = 1000;

// Makes room for the socket: a socket of this user's that a runtime left behind is removed (the
// lock says no runtime serves it); anything else at the name is kept, and why the runtime cannot
// start is returned: $KESTRIX_HMI_SOCKET may name any file of the user's by mistake.
QString clearStaleSocket(const QString& path) {
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &status) != 0) {
        return errno == ENOENT ? QString()
                               : QStringLiteral("cannot examine \"%1\": %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!S_ISSOCK(status.st_mode) || status.st_uid != ::getuid()) {
        return QStringLiteral("\"%1\" exists and is no socket of this user's; it is left as it is")
            .arg(path);
    }
    if (::unlink(name.constData()) != 0 && errno != ENOENT) {
        return QStringLiteral("cannot remove the old socket \"%1\": %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

QHash<QString, QString> initialVariables() {
    return {{QString::fromLatin1(HmiLanguage::Variable), QString::number(HmiLanguage::English)}};
}

}  // namespace

RuntimeServer::RuntimeServer(const RuntimeOptions& options, HmiPaths paths,
                             std::optional<pid_t> shellPid, Journal& journal)
    : options_(options),
      paths_(std::move(paths)),
      shellPid_(shellPid),
      journal_(journal),
      lock_(paths_.lock),
      server_(new QLocalServer(this)),
      shellWatch_(new QTimer(this)),
      variables_(initialVariables()) {
    // Whatever the umask: the socket is the user's alone, like the folder it lies in.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &RuntimeServer::onNewConnection);
    connect(shellWatch_, &QTimer::timeout, this, &RuntimeServer::watchShell);
}

RuntimeServer::~RuntimeServer() = default;

bool RuntimeServer::start() {
    if (shellPid_) {
        shell_ = ProcessIdentity::of(*shellPid_);
        if (!shell_) {
            journal_.write(QStringLiteral("shell-gone %1").arg(*shellPid_));
            std::fprintf(stderr, "kestrix-hmi: the shell (process %d) that launched it is gone\n",
                         static_cast<int>(*shellPid_));
            return false;
        }
    }
    // The lock, not the socket, decides who serves a name: a socket file may be left over by a
    // runtime that died, and the system frees the lock of a process that has ended.
    pid_t replaced = 0;
    QString error;
    if (!lock_.take(shell_, replaced, error)) {
        std::fprintf(stderr, "kestrix-hmi: %s (\"%s\"); this one does not start\n",
                     qPrintable(error), qPrintable(paths_.socket));
        return false;
    }
    if (replaced != 0) {
        journal_.write(QStringLiteral("replaced %1").arg(replaced));
    }
    if (shell_) {
        shellWatch_->start(ShellWatchMs);
    }
    if (options_.failStart) {
        std::fprintf(stderr, "kestrix-hmi: the runtime start failed (--fail-start)\n");
        return false;
    }
    // Clients knock until the runtime listens; a delayed start keeps them knocking.
    QTimer::singleShot(options_.startDelayMs, this, &RuntimeServer::comeUp);
    return true;
}

void RuntimeServer::comeUp() {
    // Under the lock, right before listening: a socket left here now can only be a dead one's.
    if (const QString why = clearStaleSocket(paths_.socket); !why.isEmpty()) {
        std::fprintf(stderr, "kestrix-hmi: %s; this one does not start\n", qPrintable(why));
        QCoreApplication::exit(2);
        return;
    }
    if (!server_->listen(paths_.socket)) {
        std::fprintf(stderr, "kestrix-hmi: cannot listen on \"%s\": %s\n",
                     qPrintable(paths_.socket), qPrintable(server_->errorString()));
        QCoreApplication::exit(1);
        return;
    }
    journal_.write(QStringLiteral("started"));
    if (options_.dieAfterSeconds) {
        QTimer::singleShot(*options_.dieAfterSeconds * 1000, [] { std::_Exit(DeathStatus); });
    }
    if (options_.hangAfterSeconds) {
        // Hung: nothing is answered or watched any more; only a signal ends it.
        QTimer::singleShot(*options_.hangAfterSeconds * 1000, this, [this] {
            journal_.write(QStringLiteral("hanging"));
            for (;;) {
                ::pause();
            }
        });
    }
}

void RuntimeServer::watchShell() {
    if (shell_ && !shell_->isRunning() && !ending_) {
        journal_.write(QStringLiteral("shell-gone %1").arg(shell_->pid()));
        end();
    }
}

void RuntimeServer::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (!admit(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        clients_.insert(socket, Client{});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            clients_.remove(socket);
            socket->deleteLater();
            // The shell's connection dropping without a stop request: is the shell still there?
            watchShell();
        });
    }
}

bool RuntimeServer::admit(QLocalSocket* socket) {
    const std::optional<LocalPeer> peer = localPeerOf(socket->socketDescriptor());
    if (peer && isOfThisUser(*peer)) {
        return true;
    }
    journal_.write(peer ? QStringLiteral("refused user %1 process %2").arg(peer->uid).arg(peer->pid)
                        : QStringLiteral("refused unknown"));
    return false;
}

void RuntimeServer::onReadyRead(QLocalSocket* socket) {
    while (!ending_ && socket->canReadLine()) {
        onMessage(socket, HmiProtocol::decode(socket->readLine()));
    }
    if (socket->bytesAvailable() > HmiProtocol::MaxLineLength) {
        std::fprintf(stderr, "kestrix-hmi: a client sent an overlong line; it is dropped\n");
        socket->abort();
    }
}

void RuntimeServer::onMessage(QLocalSocket* socket, const HmiProtocol::Message& message) {
    namespace P = HmiProtocol;
    const QString& verb = message.verb;
    if (verb == QLatin1String(P::Hello)) {
        socket->write(P::encode(P::Ready));
    } else if (verb == QLatin1String(P::Subscribe) && P::isValidName(message.name)) {
        clients_[socket].subscriptions.insert(message.name);
        journal_.write(QStringLiteral("subscribe ") + message.name);
    } else if (verb == QLatin1String(P::Set) && P::isValidName(message.name)) {
        setVariable(socket, message.name, message.value);
    } else if (verb == QLatin1String(P::Get) && variables_.contains(message.name)) {
        socket->write(P::encode(P::Value, message.name, variables_.value(message.name)));
    } else if (verb == QLatin1String(P::Get)) {
        socket->write(P::encode(P::Unknown, message.name));
    } else if (verb == QLatin1String(P::Language)) {
        selectLanguage(message.name);
    } else if (verb == QLatin1String(P::StopRequest)) {
        onStopRequest();
    } else if (verb == QLatin1String(P::Stop)) {
        end();
    } else {
        socket->write(P::encode(P::Error, QStringLiteral("not-understood")));
    }
}

void RuntimeServer::setVariable(QLocalSocket* origin, const QString& name, const QString& value) {
    variables_.insert(name, value);
    journal_.write(QStringLiteral("set %1 %2").arg(name, value));
    // Every write is a change event, also one of the same value.
    QByteArray change = HmiProtocol::encode(HmiProtocol::Changed, name, value);
    for (auto it = clients_.cbegin(); it != clients_.cend(); ++it) {
        if (it.value().subscriptions.contains(name)) {
            it.key()->write(change);
        }
    }
    origin->write(HmiProtocol::encode(HmiProtocol::Ok));
}

void RuntimeServer::selectLanguage(const QString& localeId) {
    bool isNumber = false;
    int id = localeId.toInt(&isNumber);
    if (!isNumber) {
        std::fprintf(stderr, "kestrix-hmi: not a locale id: \"%s\"\n", qPrintable(localeId));
        return;
    }
    journal_.write(QStringLiteral("language ") + QString::number(id));
}

void RuntimeServer::onStopRequest() {
    journal_.write(QStringLiteral("stop-request"));
    if (options_.ignoreStop) {
        return;
    }
    end();
}

void RuntimeServer::end() {
    if (ending_) {
        return;
    }
    ending_ = true;
    journal_.write(QStringLiteral("ended"));
    server_->close();
    QByteArray ended = HmiProtocol::encode(HmiProtocol::Ended);
    for (QLocalSocket* socket : clients_.keys()) {
        socket->write(ended);
        socket->waitForBytesWritten(FarewellMs);
    }
    QCoreApplication::exit(0);
}

}  // namespace kestrix
