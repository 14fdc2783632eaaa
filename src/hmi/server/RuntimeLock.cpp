#include "hmi/server/RuntimeLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kestrix {

namespace {

// How long a runtime that is being replaced gets to end after each request.
constexpr int ReplaceGraceMs = 2000;
constexpr int LockPollMs = 20;

// "RUNTIME-PID RUNTIME-START SHELL-PID SHELL-START", the shell's fields 0 when there is none.
constexpr char HolderFormat[] = "%d %llu %d %llu\n";

// The name of a process's program, as /proc tells it ("kestrix-hmi"); empty when it cannot be
// read (the process is gone, or belongs to another user).
QString programNameOf(const QString& process) {
    QString program = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(process));
    program.remove(QLatin1String(" (deleted)"));  // replaced on disk by an upgrade meanwhile
    return QFileInfo(program).fileName();
}

// True when the process runs this very program: a runtime, not whatever got its id since.
bool isRuntimeProcess(pid_t pid) {
    const QString name = programNameOf(QString::number(pid));
    return !name.isEmpty() && name == programNameOf(QStringLiteral("self"));
}

// True when the process holds the flock() on the file: /proc/locks lists each held lock as
// "N: FLOCK ADVISORY WRITE PID MAJOR:MINOR:INODE 0 EOF" (a waiter's line has "->" after N:).
bool holdsFlock(pid_t pid, const struct stat& file) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray wanted = QByteArray::number(static_cast<int>(pid)) + ' ' +
                              QByteArray::number(major(file.st_dev), 16).rightJustified(2, '0') +
                              ':' +
                              QByteArray::number(minor(file.st_dev), 16).rightJustified(2, '0') +
                              ':' + QByteArray::number(static_cast<qulonglong>(file.st_ino));
    // Read whole: a file of /proc has no size to tell where it ends.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields.at(1) == "FLOCK" &&
            fields.at(4) + ' ' + fields.at(5) == wanted) {
            return true;
        }
    }
    return false;
}

}  // namespace

RuntimeLock::RuntimeLock(QString path) : path_(std::move(path)) {}

RuntimeLock::~RuntimeLock() {
    if (descriptor_ < 0) {
        return;
    }
    // Removed while still held, so that no runtime ever locks a file that is no longer the lock.
    if (held_) {
        ::unlink(QFile::encodeName(path_).constData());
    }
    ::close(descriptor_);
}

bool RuntimeLock::take(const std::optional<ProcessIdentity>& shell, pid_t& replaced,
                       QString& error) {
    replaced = 0;
    if (!openFile()) {
        error = QStringLiteral("cannot use the lock %1: %2").arg(path_, openError_);
        return false;
    }
    if (!tryLock()) {
        const Holder other = holder();
        const bool orphaned =
            other.runtime && other.runtime->isRunning() && other.shell && !other.shell->isRunning();
        if (!orphaned) {
            error = QStringLiteral("another runtime already serves the socket");
            return false;
        }
        // The lock file is only what its holder wrote: before anything is signalled, the system
        // must confirm that the process named there holds the lock and runs this program.
        const pid_t orphan = other.runtime->pid();
        struct stat lockFile {};
        if (::fstat(descriptor_, &lockFile) != 0 || !holdsFlock(orphan, lockFile) ||
            !isRuntimeProcess(orphan)) {
            error = QStringLiteral(
                        "the lock is held, but not by the runtime %1 that its file names; "
                        "nothing is ended")
                        .arg(orphan);
            return false;
        }
        // Asked to end (and woken, should it be stopped), then killed if it does not.
        ::kill(orphan, SIGTERM);
        ::kill(orphan, SIGCONT);
        if (!awaitLock(ReplaceGraceMs) && other.runtime->isRunning()) {
            ::kill(orphan, SIGKILL);
        }
        if (!awaitLock(ReplaceGraceMs)) {
            error =
                QStringLiteral("the runtime %1 of a shell that is gone does not end").arg(orphan);
            return false;
        }
        replaced = orphan;
    }
    held_ = true;
    recordHolder(shell);
    return true;
}

bool RuntimeLock::openFile() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
    descriptor_ = ::open(QFile::encodeName(path_).constData(),
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        openError_ = descriptor_ < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                     : QStringLiteral("not a plain file");
        return false;
    }
    return true;
}

bool RuntimeLock::tryLock() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
            return false;
        }
        struct stat locked {};
        struct stat atPath {};
        if (::fstat(descriptor_, &locked) == 0 &&
            ::stat(QFile::encodeName(path_).constData(), &atPath) == 0 &&
            locked.st_dev == atPath.st_dev && locked.st_ino == atPath.st_ino) {
            return true;
        }
        // Its last holder removed it as it ended: the lock is the file at the path now.
        if (!openFile()) {
            return false;
        }
    }
    return false;
}

bool RuntimeLock::awaitLock(int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += LockPollMs) {
        if (tryLock()) {
            return true;
        }
        QThread::msleep(LockPollMs);
    }
    return tryLock();
}

RuntimeLock::Holder RuntimeLock::holder() const {
    char text[128] = {};
    const ssize_t count = ::pread(descriptor_, text, sizeof text - 1, 0);
    int runtimePid = 0;
    int shellPid = 0;
    unsigned long long runtimeStart = 0;
    unsigned long long shellStart = 0;
    Holder holder;
    if (count <= 0 ||
        std::sscanf(text, HolderFormat, &runtimePid, &runtimeStart, &shellPid, &shellStart) != 4) {
        return holder;
    }
    if (runtimePid > 0) {
        holder.runtime = ProcessIdentity(runtimePid, runtimeStart);
    }
    if (shellPid > 0) {
        holder.shell = ProcessIdentity(shellPid, shellStart);
    }
    return holder;
}

void RuntimeLock::recordHolder(const std::optional<ProcessIdentity>& shell) const {
    const std::optional<ProcessIdentity> self = ProcessIdentity::of(::getpid());
    char text[128];
    const int length =
        std::snprintf(text, sizeof text, HolderFormat, static_cast<int>(::getpid()),
                      self ? self->startTime() : 0ULL, shell ? static_cast<int>(shell->pid()) : 0,
                      shell ? shell->startTime() : 0ULL);
    if (::ftruncate(descriptor_, 0) != 0 ||
        ::pwrite(descriptor_, text, static_cast<size_t>(length), 0) != length) {
        std::fprintf(stderr, "kestrix-hmi: cannot record the runtime in its lock %s\n",
                     qPrintable(path_));
    }
}

}  // namespace kestrix
