#include "hmi/server/RuntimeLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
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
        // Asked to end (and woken, should it be stopped), then killed if it does not.
        const pid_t orphan = other.runtime->pid();
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
