#pragma once

#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

#include "hmi/HmiProtocol.h"
#include "hmi/server/Journal.h"
#include "hmi/server/RuntimeOptions.h"

class QLocalServer;
class QLocalSocket;

namespace kestrix {

// The HMI runtime: it serves its variables, the language selection and the stop request to its
// clients over one local socket, and writes every event to its journal.
class RuntimeServer : public QObject {
    Q_OBJECT
public:
    RuntimeServer(const RuntimeOptions& options, QString socketName, Journal& journal);
    ~RuntimeServer() override;

    // Claims the socket name and comes up after the start delay. Returns false, with the reason on
    // stderr, when another runtime serves the name or the start is to fail (--fail-start).
    bool start();

private:
    struct Client {
        QSet<QString> subscriptions;
    };

    void comeUp();
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);
    void onMessage(QLocalSocket* socket, const HmiProtocol::Message& message);
    void setVariable(QLocalSocket* origin, const QString& name, const QString& value);
    void selectLanguage(const QString& localeId);
    void onStopRequest();
    void end();

    RuntimeOptions options_;
    QString socketName_;
    Journal& journal_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_;
    QHash<QLocalSocket*, Client> clients_;
    QHash<QString, QString> variables_;
    bool ending_ = false;
};

}  // namespace kestrix
