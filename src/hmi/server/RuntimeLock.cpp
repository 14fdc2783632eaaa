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
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

bool RuntimeLock::take(const std::optional<ProcessIdentity>& shell, pid_t& replaced,
                       QString& error) {
    replaced = 0;
    descriptor_ = ::open(QFile::encodeName(path_).constData(),
                         O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = QStringLiteral("cannot use the lock %1: %2")
                    .arg(path_, descriptor_ < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                                : QStringLiteral("not a plain file"));
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
    recordHolder(shell);
    return true;
}

bool RuntimeLock::tryLock() const {
    return ::flock(descriptor_, LOCK_EX | LOCK_NB) == 0;
}

bool RuntimeLock::awaitLock(int milliseconds) const {
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
