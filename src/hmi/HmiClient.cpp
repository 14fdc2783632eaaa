#include "hmi/HmiClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>
#include <QUuid>

#include "hmi/HmiProtocol.h"
#include "hmi/HmiSocketName.h"

namespace kestrix {

namespace {

// How often a starting client knocks at the runtime's socket.
constexpr std::chrono::milliseconds ConnectRetryInterval{5};
// How long a runtime that is to be ended gets before it is killed.
constexpr int TerminateGraceMs = 3000;

}  // namespace

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
    socketName_ = hmiSocketName();
    token_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    startDeadline_->start(startTimeout_);

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
    environment.insert(QString::fromLatin1(HmiProtocol::TokenVariable), token_);
    process_->setProcessEnvironment(environment);
    process_->setProgram(command.first());
    process_->setArguments(command.mid(1));
    process_->start();
}

void HmiClient::tryToConnect() {
    if (socket_->state() == QLocalSocket::UnconnectedState) {
        socket_->connectToServer(socketName_);
    }
}

void HmiClient::onConnected() {
    // Written directly: everything else waits until the runtime has answered this.
    socket_->write(HmiProtocol::encode(HmiProtocol::Hello, token_));
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
        if (message.name == token_) {
            finishStart(true);
            return;
        }
        // Another runtime serves this name; ours refuses to start and its end decides.
        qWarning("kestrix: the HMI socket \"%s\" is served by another runtime",
                 qPrintable(socketName_));
        connectRetry_->stop();
        socket_->abort();
    } else if (message.verb == QLatin1String(HmiProtocol::Changed) && state_ == State::Running) {
        emit variableChanged(message.name, HmiProtocol::variantOfValue(message.value));
    } else if (message.verb == QLatin1String(HmiProtocol::Ended)) {
        finishRuntime();
    }
}

void HmiClient::onProcessFinished() {
    // What the runtime said before it went counts first (its "ready" or "ended").
    if (socket_->state() == QLocalSocket::ConnectedState) {
        onReadyRead();
    }
    if (state_ == State::Starting) {
        finishStart(false);
    } else {
        finishRuntime();
    }
}

void HmiClient::onConnectionLost() {
    // While starting, the runtime may simply not listen yet; the retry goes on.
    if (state_ == State::Running) {
        finishRuntime();
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

void HmiClient::finishRuntime() {
    if (state_ != State::Running) {
        return;
    }
    state_ = State::Ended;
    QMetaObject::invokeMethod(
        this, [this] { emit runtimeEnded(); }, Qt::QueuedConnection);
}

void HmiClient::endLaunchedProcess() {
    if (process_->state() == QProcess::NotRunning) {
        return;
    }
    process_->terminate();
    if (!process_->waitForFinished(TerminateGraceMs)) {
        process_->kill();
        process_->waitForFinished(TerminateGraceMs);
    }
}

}  // namespace kestrix
