#include "hmi/PrivateFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "files/TrustedPath.h"

namespace kestrix {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The folder's reason not to be used, looked at through one descriptor so that what is checked is
// what is there; with `madeNow` the folder has just been created by this process, and its rights
// are set to the user's alone whatever the umask left.
QString checkFolder(const QString& folder, bool madeNow) {
    const int descriptor = ::open(QFile::encodeName(folder).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        return error == ELOOP || error == ENOTDIR
                   ? QStringLiteral("%1 is a symbolic link or no folder").arg(folder)
                   : QStringLiteral("%1 cannot be opened: %2").arg(folder, systemError(error));
    }
    struct stat status {};
    QString reason;
    if (madeNow && ::fchmod(descriptor, S_IRWXU) != 0) {
        reason = QStringLiteral("%1 cannot be closed to other users: %2")
                     .arg(folder, systemError(errno));
    } else if (::fstat(descriptor, &status) != 0) {
        reason = QStringLiteral("%1 cannot be examined: %2").arg(folder, systemError(errno));
    } else if (status.st_uid != ::getuid()) {
        reason = QStringLiteral("%1 belongs to another user (%2)").arg(folder).arg(status.st_uid);
    } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        reason = QStringLiteral("%1 is open to other users (mode %2)")
                     .arg(folder)
                     .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    ::close(descriptor);
    if (reason.isEmpty()) {
        // Above it too: a folder that others may rename away could be replaced as a whole.
        const QString why = whyParentsUntrusted(folder);
        if (!why.isEmpty()) {
            reason = folder + QLatin1Char(' ') + why;
        }
    }
    return reason;
}

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else ".cache" in the
// home folder ($HOME when absolute, else the one the user database names).
QString cacheFolder() {
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (QDir::isAbsolutePath(cache)) {
        return cache;
    }
    QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home)) {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? QFile::decodeName(user->pw_dir) : QString();
    }
    return QDir::isAbsolutePath(home) ? QDir(home).filePath(QStringLiteral(".cache")) : QString();
}

}  // namespace

QString whyNotPrivate(const QString& folder) {
    return checkFolder(folder, false);
}

QString privateRuntimeFolder(QString& error) {
    // Only an absolute $XDG_RUNTIME_DIR counts; a relative one is to be ignored.
    const QString sessionFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(sessionFolder)) {
        const QString reason = whyNotPrivate(sessionFolder);
        if (reason.isEmpty()) {
            return sessionFolder;
        }
        qWarning("kestrix: $XDG_RUNTIME_DIR is not used: %s", qPrintable(reason));
    } else if (!sessionFolder.isEmpty()) {
        qWarning("kestrix: $XDG_RUNTIME_DIR is not used: \"%s\" is no absolute path",
                 qPrintable(sessionFolder));
    }
    // In the user's own cache folder rather than in the shared temporary folder, where anyone
    // could make a folder of the name first and so keep the runtime from starting.
    const QString cache = cacheFolder();
    if (cache.isEmpty()) {
        error = QStringLiteral("there is no $XDG_RUNTIME_DIR and no home folder");
        return {};
    }
    ::mkdir(QFile::encodeName(cache).constData(), S_IRWXU);
    const QString folder = QDir(cache).filePath(QStringLiteral("kestrix"));
    // Made here with the user's rights alone; a folder of that name made by anyone else (or
    // opened up since) is never used: another user could reach or replace what lies in it.
    const bool madeNow = ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) == 0;
    if (!madeNow && errno != EEXIST) {
        error = QStringLiteral("%1 cannot be created: %2").arg(folder, systemError(errno));
        return {};
    }
    error = checkFolder(folder, madeNow);
    return error.isEmpty() ? folder : QString();
}

}  // namespace kestrix
