#include "hmi/HmiSocketName.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kestrix {

namespace {

QString userId() {
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

}  // namespace

QString hmiSocketName() {
    QString configured = qEnvironmentVariable("KESTRIX_HMI_SOCKET");
    if (!configured.isEmpty()) {
        return configured;
    }
    return QStringLiteral("kestrix-hmi-") + userId();
}

QString hmiSocketPath(const QString& socketName) {
    if (QDir::isAbsolutePath(socketName)) {
        return socketName;
    }
    return QDir(QDir::tempPath()).filePath(socketName);
}

QString hmiJournalPath(const QString& socketName) {
    QString configured = qEnvironmentVariable("KESTRIX_HMI_JOURNAL");
    if (!configured.isEmpty()) {
        return configured;
    }
    return hmiSocketPath(socketName) + QStringLiteral(".journal");
}

QString hmiLockPath(const QString& socketName) {
    return hmiSocketPath(socketName) + QStringLiteral(".lock");
}

}  // namespace kestrix
