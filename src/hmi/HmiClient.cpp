#include "hmi/HmiClient.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include "config/EnvironmentSeconds.h"
#include "hmi/HmiPaths.h"
#include "hmi/HmiProtocol.h"
#include "hmi/LocalPeer.h"
#include "hmi/Processes.h"

namespace kestrix {

namespace {

// How often a starting client knocks at the runtime's socket.
constexpr std::chrono::milliseconds ConnectRetryInterval{5};
// How long a runtime that is to be ended gets before it is killed.
constexpr int TerminateGraceMs = 3000;

}  // namespace

// A day at most: beyond that the timer's milliseconds would overflow long before it matters.
std::chrono::milliseconds HmiClient::configuredStartTimeout() {
    constexpr int LongestSeconds = 86400;
    const auto fallback = std::chrono::duration_cast<std::chrono::seconds>(DefaultStartTimeout);
    return std::chrono::seconds(secondsFromEnvironment(
        "KESTRIX_HMI_START_LIMIT_S", 1, LongestSeconds, static_cast<int>(fallback.count())));
}

HmiClient::HmiClient(QObject* parent, std::chrono::milliseconds startTimeout)
    : HmiRuntime(parent),
      startTimeout_(startTimeout),
      process_(new QProcess(this)),
      socket_(new QLocalSocket(this)),
      connectRetry_(new QTimer(this)),
      startDeadline_(new QTimer(this)) {
    startDeadline_->setSingleShot(true);
    connect(startDeadline_, &QTimer::timeout, this, [this] { finishStart(false); });
    connect(connectRetry_, &QTimer::timeout, this, &HmiClient::tryToConnect);

    // The runtime's messages (a refused start above all) reach the operator's console.
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finishStart(false);
        }
    });
    connect(process_, &QProcess::finished, this, &HmiClient::onProcessFinished);

    connect(socket_, &QLocalSocket::connected, this, &HmiClient::onConnected);
    connect(socket_, &QLocalSocket::readyRead, this, &HmiClient::onReadyRead);
    connect(socket_, &QLocalSocket::disconnected, this, &HmiClient::onConnectionLost);
}

HmiClient::~HmiClient() {
    // No event of ours may arrive from a half-destroyed client.
    process_->disconnect(this);
    socket_->disconnect(this);
    endLaunchedProcess();
}

void HmiClient::start() {
    if (state_ != State::Idle) {
        qWarning("kestrix: the HMI runtime has been started already");
        return;
    }
    state_ = State::Starting;
    startDeadline_->start(startTimeout_);

    const HmiPaths paths = hmiPaths();
    if (!paths.isUsable()) {
        qWarning("kestrix: the HMI runtime cannot be reached safely: %s", qPrintable(paths.error));
        finishStart(false);
        return;
    }
    socketPath_ = paths.socket;
    QStringList command = runtimeCommand();
    if (command.isEmpty()) {
        finishStart(false);
        return;
    }
    launch(command);
    connectRetry_->start(ConnectRetryInterval);
    tryToConnect();
}

void HmiClient::requestStop() {
    send(HmiProtocol::encode(HmiProtocol::StopRequest));
}

void HmiClient::subscribe(const QString& variable) {
    if (!HmiProtocol::isValidName(variable)) {
        qWarning("kestrix: no runtime variable can be named \"%s\"", qPrintable(variable));
        return;
    }
    send(HmiProtocol::encode(HmiProtocol::Subscribe, variable));
}

void HmiClient::selectLanguage(int32_t localeId) {
    send(HmiProtocol::encode(HmiProtocol::Language, QString::number(localeId)));
}

QStringList HmiClient::runtimeCommand() const {
    QString configured = qEnvironmentVariable("KESTRIX_HMI_COMMAND");
    if (configured.trimmed().isEmpty()) {
        return {
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kestrix-hmi"))};
    }
    return QProcess::splitCommand(configured);
}

void HmiClient::launch(const QStringList& command) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(HmiProtocol::ShellVariable),
                       QString::number(QCoreApplication::applicationPid()));
    process_->setProcessEnvironment(environment);
    process_->setProgram(command.first());
    process_->setArguments(command.mid(1));
    // A group of its own, so that ending the runtime ends whatever a wrapper script started too.
    process_->setChildProcessModifier([] { ::setpgid(0, 0); });
    process_->start();
    launched_ = process_->processId();
}

void HmiClient::tryToConnect() {
    if (socket_->state() == QLocalSocket::UnconnectedState) {
        socket_->connectToServer(socketPath_);
    }
}

void HmiClient::onConnected() {
    if (!isLaunchedRuntime()) {
        // Dropped unheard; the knocking goes on until the launched runtime listens or gives up.
        if (!strangerReported_) {
            strangerReported_ = true;
            qWarning(
                "kestrix: the HMI socket \"%s\" is served by a process that this shell did not "
                "launch; it is not used",
                qPrintable(socketPath_));
        }
        socket_->abort();
        return;
    }
    // Written directly: everything else waits until the runtime has answered this.
    socket_->write(HmiProtocol::encode(HmiProtocol::Hello));
}

bool HmiClient::isLaunchedRuntime() const {
    const std::optional<LocalPeer> peer = localPeerOf(socket_->socketDescriptor());
    return peer && isOfThisUser(*peer) && launched_ > 0 &&
           descendsFrom(peer->pid, static_cast<pid_t>(launched_));
}

void HmiClient::onReadyRead() {
    while (socket_->canReadLine()) {
        onMessage(socket_->readLine());
    }
    if (socket_->bytesAvailable() > HmiProtocol::MaxLineLength) {
        qWarning("kestrix: the HMI runtime sent an overlong line; connection dropped");
        socket_->abort();
    }
}

void HmiClient::onMessage(const QByteArray& line) {
    HmiProtocol::Message message = HmiProtocol::decode(line);
    if (message.verb == QLatin1String(HmiProtocol::Ready) && state_ == State::Starting) {
        finishStart(true);
    } else if (message.verb == QLatin1String(HmiProtocol::Changed) && state_ == State::Running) {
        emit variableChanged(message.name, HmiProtocol::variantOfValue(message.value));
    } else if (message.verb == QLatin1String(HmiProtocol::Ended)) {
        finishRuntime(QString());
    }
}

void HmiClient::onProcessFinished() {
    // What the runtime said before it went counts first (its "ready" or "ended"), also when the
    // connection has closed meanwhile.
    onReadyRead();
    if (state_ == State::Starting) {
        finishStart(false);
    } else if (process_->exitStatus() == QProcess::CrashExit) {
        finishRuntime(QStringLiteral("the runtime process crashed or was killed"));
    } else if (process_->exitCode() != 0) {
        finishRuntime(
            QStringLiteral("the runtime process exited with status %1").arg(process_->exitCode()));
    } else {
        finishRuntime(QString());  // it ended of its own accord, successfully
    }
}

void HmiClient::onConnectionLost() {
    // While starting, the runtime may simply not listen yet; the retry goes on.
    if (state_ == State::Running) {
        onReadyRead();  // its "ended" may be the last thing it sent
    }
    if (state_ == State::Running) {
        finishRuntime(QStringLiteral("the connection to the runtime broke"));
    }
}

void HmiClient::send(const QByteArray& line) {
    switch (state_) {
        case State::Idle:
        case State::Starting:
            waitingLines_.append(line);
            break;
        case State::Running:
            socket_->write(line);
            break;
        case State::Ended:
            break;
    }
}

void HmiClient::finishStart(bool started) {
    if (state_ != State::Starting) {
        return;
    }
    startDeadline_->stop();
    connectRetry_->stop();
    if (started) {
        state_ = State::Running;
        for (const QByteArray& line : std::as_const(waitingLines_)) {
            socket_->write(line);
        }
    } else {
        state_ = State::Ended;
        socket_->abort();
        endLaunchedProcess();
    }
    waitingLines_.clear();
    QMetaObject::invokeMethod(
        this, [this, started] { emit startResult(started); }, Qt::QueuedConnection);
}

void HmiClient::finishRuntime(const QString& deathCause) {
    if (state_ != State::Running) {
        return;
    }
    state_ = State::Ended;
    deathCause_ = deathCause;
    QMetaObject::invokeMethod(
        this, [this] { emit runtimeEnded(); }, Qt::QueuedConnection);
}

void HmiClient::endLaunchedProcess() {
    if (launched_ <= 0) {
        return;
    }
    // Asked first; whatever of the group is left once the launched process has ended, or after
    // the grace (a wrapper that ignores the request), is killed.
    signalLaunchedGroup(SIGTERM);
    if (process_->state() != QProcess::NotRunning) {
        process_->waitForFinished(TerminateGraceMs);
    }
    signalLaunchedGroup(SIGKILL);
    if (process_->state() != QProcess::NotRunning) {
        process_->waitForFinished(TerminateGraceMs);
    }
    launched_ = 0;
}

void HmiClient::signalLaunchedGroup(int signal) const {
    const auto group = static_cast<pid_t>(launched_);
    if (::kill(-group, signal) != 0 && process_->state() != QProcess::NotRunning) {
        ::kill(group, signal);  // the group could not be made: the process alone
    }
}

}  // namespace kestrix
