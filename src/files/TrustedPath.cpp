#include "files/TrustedPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace kestrix {

namespace {

bool isOwnedByUserOrRoot(const struct stat& status) {
    return status.st_uid == ::getuid() || status.st_uid == 0;
}

bool isWritableByOthers(const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Each folder from "/" down to `folder` (which has no links in it), checked as the parent of
// what lies below it.
QString whyFoldersUntrusted(const QString& folder) {
    QString path;
    const QStringList names = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype depth = 0; depth <= names.size(); ++depth) {
        path = depth == 0 ? QStringLiteral("/") : QDir::cleanPath(path + '/' + names.at(depth - 1));
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
            return QStringLiteral("lies in %1, which cannot be examined: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (!isOwnedByUserOrRoot(status)) {
            return QStringLiteral("lies in %1, which belongs to another user (%2)")
                .arg(path)
                .arg(status.st_uid);
        }
        if (isWritableByOthers(status) && (status.st_mode & S_ISVTX) == 0) {
            return QStringLiteral("lies in %1, which others may write to and which is not sticky")
                .arg(path);
        }
    }
    return {};
}

// The folder the path really lies in: its links resolved.
QString realFolderOf(const QString& path) {
    return QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
}

}  // namespace

QString whyParentsUntrusted(const QString& path) {
    const QString folder = realFolderOf(path);
    if (folder.isEmpty()) {
        return QStringLiteral("lies in a folder that cannot be found");
    }
    return whyFoldersUntrusted(folder);
}

QString whyUntrusted(const QString& path) {
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty()) {
        return QStringLiteral("cannot be found");
    }
    struct stat status {};
    if (::stat(QFile::encodeName(real).constData(), &status) != 0) {
        return QStringLiteral("cannot be examined: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!isOwnedByUserOrRoot(status)) {
        return QStringLiteral("belongs to another user (%1)").arg(status.st_uid);
    }
    if (isWritableByOthers(status)) {
        return QStringLiteral("writable by others than its owner and root");
    }
    return whyParentsUntrusted(real);
}

}  // namespace kestrix
