#include "isolation/ModuleHostChild.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>

#include "channel/ModuleOrphans.h"

namespace kestrix {
namespace {

constexpr int KillWaitMilliseconds = 1000;

// A mark no other module process of any shell carries.
QByteArray freshMark() {
    static uint32_t made = 0;
    return QByteArray::number(getpid()) + '.' + QByteArray::number(++made);
}

}  // namespace

// In the child, before the program runs: a process group of its own, death with the shell (TERM,
// on which the module host ends its whole group), and its end of the channel as descriptor 3 and
// nothing else of the shell's.
ModuleHostChild::ModuleHostChild(const QString& program, int channelEnd, QObject* parent)
    : ModuleChild(parent) {
    connect(&process_, &QProcess::finished, this, &ModuleHostChild::finished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Told from the event loop: the start may fail inside this constructor, before anyone
        // listens.
        if (error == QProcess::FailedToStart) {
            const QString cause = QStringLiteral("its program %1 could not be started: %2")
                                      .arg(process_.program(), process_.errorString());
            QMetaObject::invokeMethod(
                this, [this, cause] { Q_EMIT failedToStart(cause); }, Qt::QueuedConnection);
        }
    });
    const QByteArray mark = freshMark();
    mark_ = QByteArray(ModuleOrphans::MarkVariable) + '=' + mark;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ModuleOrphans::MarkVariable), QString::fromLatin1(mark));
    process_.setProcessEnvironment(environment);
    const pid_t shell = getpid();
    process_.setProgram(program);
    process_.setArguments({QStringLiteral("--channel"), QString::number(ChannelDescriptor)});
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setChildProcessModifier([channelEnd, shell] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != shell) {
            _exit(127);
        }
        if (channelEnd == ChannelDescriptor) {
            fcntl(ChannelDescriptor, F_SETFD, 0);
        } else {
            dup2(channelEnd, ChannelDescriptor);
        }
    });
    process_.start();
    hostGroup_ = process_.processId();
}

ModuleHostChild::~ModuleHostChild() {
    if (process_.state() != QProcess::NotRunning) {
        process_.disconnect(this);
        signalGroup(SIGKILL);
        process_.waitForFinished(KillWaitMilliseconds);
    }
    ModuleOrphans::endOrphansOf(mark_, static_cast<pid_t>(hostGroup_));
}

// The group has the process's number; until the child has made it, the process alone is there.
void ModuleHostChild::signalGroup(int signal) {
    const auto pid = static_cast<pid_t>(process_.processId());
    if (pid <= 0) {
        return;
    }
    if (::kill(-pid, signal) != 0) {
        ::kill(pid, signal);
    }
}

void ModuleHostChild::finished(int exitCode, QProcess::ExitStatus status) {
    ModuleOrphans::endOrphansOf(mark_, static_cast<pid_t>(hostGroup_));
    Q_EMIT ended(exitCode, status == QProcess::CrashExit);
}

}  // namespace kestrix
