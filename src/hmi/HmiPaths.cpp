#include "hmi/HmiPaths.h"

#include <QDir>
#include <QFileInfo>

#include "hmi/PrivateFolder.h"

namespace kestrix {

HmiPaths hmiPaths() {
    HmiPaths paths;
    QString name = qEnvironmentVariable("KESTRIX_HMI_SOCKET");
    if (name.isEmpty()) {
        name = QStringLiteral("kestrix-hmi");
    }
    if (QDir::isAbsolutePath(name)) {
        paths.socket = name;
    } else {
        const QString folder = privateRuntimeFolder(paths.error);
        if (folder.isEmpty()) {
            return paths;
        }
        paths.socket = QDir(folder).filePath(name);
    }
    // The folder the socket itself lies in: a relative name may lead out of the runtime folder.
    paths.error = whyNotPrivate(QFileInfo(paths.socket).path());
    if (!paths.isUsable()) {
        paths.socket.clear();
        return paths;
    }
    const QString journal = qEnvironmentVariable("KESTRIX_HMI_JOURNAL");
    paths.journal = journal.isEmpty() ? paths.socket + QStringLiteral(".journal") : journal;
    paths.lock = paths.socket + QStringLiteral(".lock");
    return paths;
}

}  // namespace kestrix
