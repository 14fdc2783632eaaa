#include "app/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstring>

#include "hmi/HmiPaths.h"
#include "hmi/LocalPeer.h"

namespace kestrix {

namespace {

constexpr char RaiseRequest[] = "raise\n";
constexpr char RaisedAnswer[] = "raised\n";
// How long a second start waits for the running shell's answer: its window's thread answers
// between two events, so a running shell answers at once; a hung one is the watchdog's matter.
constexpr int AnswerWaitMs = 2000;

// Connects to the running shell's socket; false when that fails or another user listens there.
bool connectToRunning(const QByteArray& path, OpenFile& connection) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof(address.sun_path))) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    connection.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!connection.isOpen() ||
        ::connect(connection.descriptor(), reinterpret_cast<const sockaddr*>(&address),
                  sizeof(address)) != 0) {
        return false;
    }
    const std::optional<LocalPeer> peer = localPeerOf(connection.descriptor());
    return peer && isOfThisUser(*peer);
}

}  // namespace

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim() {
    const HmiPaths paths = hmiPaths();
    if (!paths.isUsable()) {
        return Claim::Unchecked;
    }
    socketPath_ = paths.socket + QStringLiteral(".shell");
    const QByteArray lockPath = QFile::encodeName(socketPath_ + QStringLiteral(".lock"));
    // Close on exec: neither the runtime nor a module process may go on holding it.
    lock_.reset(::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock_.isOpen()) {
        return Claim::Unchecked;
    }
    if (::flock(lock_.descriptor(), LOCK_EX | LOCK_NB) != 0) {
        lock_.reset();
        return errno == EWOULDBLOCK ? Claim::Running : Claim::Unchecked;
    }
    return Claim::Ours;
}

bool SingleInstance::askRunningToRaise() const {
    OpenFile connection;
    if (!connectToRunning(QFile::encodeName(socketPath_), connection) ||
        ::send(connection.descriptor(), RaiseRequest, std::strlen(RaiseRequest), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(std::strlen(RaiseRequest))) {
        return false;
    }
    pollfd readable{connection.descriptor(), POLLIN, 0};
    char answer[sizeof(RaisedAnswer)] = {};
    return ::poll(&readable, 1, AnswerWaitMs) == 1 &&
           ::recv(connection.descriptor(), answer, sizeof(answer) - 1, 0) > 0 &&
           std::strcmp(answer, RaisedAnswer) == 0;
}

void SingleInstance::serve(std::function<void()> raise) {
    if (!lock_.isOpen() || server_ != nullptr) {
        return;
    }
    raise_ = std::move(raise);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket at that name is a leftover of a shell that has gone.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        qWarning("kestrix: a second start cannot reach this shell: %s",
                 qPrintable(server_->errorString()));
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

// Raises the window for a later start of the same user, and tells it so.
void SingleInstance::answer() {
    while (QLocalSocket* connection = server_->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        const std::optional<LocalPeer> peer = localPeerOf(connection->socketDescriptor());
        if (!peer || !isOfThisUser(*peer)) {
            connection->abort();
            connection->deleteLater();
            continue;
        }
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
            if (!connection->canReadLine()) {
                if (connection->bytesAvailable() > 64) {
                    connection->abort();
                    connection->deleteLater();
                }
                return;
            }
            if (connection->readLine(64) == RaiseRequest && raise_) {
                raise_();
                connection->write(RaisedAnswer);
            }
            connection->disconnectFromServer();
        });
    }
}

}  // namespace kestrix
