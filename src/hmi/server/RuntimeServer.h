#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

#include "hmi/HmiPaths.h"
#include "hmi/HmiProtocol.h"
#include "hmi/Processes.h"
#include "hmi/server/Journal.h"
#include "hmi/server/RuntimeLock.h"
#include "hmi/server/RuntimeOptions.h"

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace kestrix {

// The HMI runtime: it serves its variables, the language selection and the stop request to the
// clients of its own user over one local socket, readable by that user alone, and writes every
// event to its journal. A connection of another user is refused unheard.
//
// A runtime launched by a shell (`shellPid`) watches that shell: when the shell is gone without
// having asked it to stop (it crashed or was killed), the runtime ends itself within a second.
class RuntimeServer : public QObject {
    Q_OBJECT
public:
    RuntimeServer(const RuntimeOptions& options, HmiPaths paths, std::optional<pid_t> shellPid,
                  Journal& journal);
    ~RuntimeServer() override;

    // Claims the socket name, replacing a runtime whose shell is gone, and comes up after the
    // start delay, removing the socket a runtime left behind. Returns false, with the reason on
    // stderr, when another runtime serves the name, the shell is gone already, or the start is to
    // fail (--fail-start); when something other than a socket of this user's lies at the name, it
    // is left untouched and the runtime ends with status 2 as it comes up.
    bool start();

private:
    struct Client {
        QSet<QString> subscriptions;
    };

    void comeUp();
    void watchShell();
    void onNewConnection();
    bool admit(QLocalSocket* socket);
    void onReadyRead(QLocalSocket* socket);
    void onMessage(QLocalSocket* socket, const HmiProtocol::Message& message);
    void setVariable(QLocalSocket* origin, const QString& name, const QString& value);
    void selectLanguage(const QString& localeId);
    void onStopRequest();
    void end();

    RuntimeOptions options_;
    HmiPaths paths_;
    std::optional<pid_t> shellPid_;
    std::optional<ProcessIdentity> shell_;
    Journal& journal_;
    RuntimeLock lock_;
    QLocalServer* server_;
    QTimer* shellWatch_;
    QHash<QLocalSocket*, Client> clients_;
    QHash<QString, QString> variables_;
    bool ending_ = false;
};

}  // namespace kestrix
