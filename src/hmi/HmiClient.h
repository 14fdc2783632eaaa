#pragma once

#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <chrono>

#include "hmi/HmiRuntime.h"

class QLocalSocket;
class QProcess;
class QTimer;

namespace kestrix {

// The HMI runtime as a process of its own: start() launches it ($KESTRIX_HMI_COMMAND, else the
// `kestrix-hmi` beside the running program) in a process group of its own and talks to it over
// the local socket of hmiPaths().
//
// The client says nothing to a peer before the system has vouched that it is the runtime this
// client launched (the launched process or one of its descendants, of the same user); any other
// peer on the socket is dropped unheard. The runtime learns this process's id, so that it ends
// itself when the shell is gone.
//
// The start result comes once: true when the launched runtime answers; false when the socket's
// folder is not private, the runtime cannot be started, exits first (a failed start, or the name
// is served by another runtime), or does not answer in time, in which case it is ended. The
// runtime ended event comes once, after a started runtime has carried out the stop request, or
// when it dies or the connection drops (deathCause() then says which).
//
// Calls made before the runtime answers are kept and sent once it does. Both events are always
// raised from the event loop, never from inside a call. Destroying the client ends a runtime that
// still runs, with every process of its group.
class HmiClient : public HmiRuntime {
    Q_OBJECT
public:
    // How long a launched runtime has to answer: $KESTRIX_HMI_START_LIMIT_S seconds (a whole
    // number from 1 on), else 10 s.
    static constexpr std::chrono::milliseconds DefaultStartTimeout{10000};
    static std::chrono::milliseconds configuredStartTimeout();

    explicit HmiClient(QObject* parent = nullptr,
                       std::chrono::milliseconds startTimeout = configuredStartTimeout());
    ~HmiClient() override;

    void start() override;
    void requestStop() override;
    void subscribe(const QString& variable) override;
    void selectLanguage(int32_t localeId) override;

private:
    enum class State { Idle, Starting, Running, Ended };

    QStringList runtimeCommand() const;
    void launch(const QStringList& command);
    void tryToConnect();
    void onConnected();
    bool isLaunchedRuntime() const;
    void onReadyRead();
    void onMessage(const QByteArray& line);
    void onProcessFinished();
    void onConnectionLost();
    void send(const QByteArray& line);
    void finishStart(bool started);
    void finishRuntime(const QString& deathCause);
    void endLaunchedProcess();
    void signalLaunchedGroup(int signal) const;

    std::chrono::milliseconds startTimeout_;
    State state_ = State::Idle;
    QString socketPath_;
    // The launched process, also the id of its process group; 0 when there is none to end.
    qint64 launched_ = 0;
    bool strangerReported_ = false;
    QProcess* process_ = nullptr;
    QLocalSocket* socket_ = nullptr;
    QTimer* connectRetry_ = nullptr;
    QTimer* startDeadline_ = nullptr;
    QByteArrayList waitingLines_;
};

}  // namespace kestrix
