#include "isolation/ModuleProcess.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QPointer>
#include <algorithm>
#include <csignal>

#include "isolation/ModuleChannel.h"
#include "isolation/ModuleStop.h"

namespace kestrix {
namespace {

// The module host finds its end of the channel here.
constexpr int ChannelDescriptor = 3;
constexpr int DefaultAnswerLimitSeconds = 10;
constexpr int KillAfterMilliseconds = 1000;
constexpr int ChannelClosedGraceMilliseconds = 2000;

}  // namespace

int ModuleProcess::answerLimitSeconds() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue(AnswerLimitVariable, &ok);
    return ok && seconds >= 1 && seconds <= 3600 ? seconds : DefaultAnswerLimitSeconds;
}

ModuleProcess::ModuleProcess(const QString& program, QObject* parent) : QObject(parent) {
    answerLimit_.setSingleShot(true);
    connect(&answerLimit_, &QTimer::timeout, this, &ModuleProcess::answerLimitReached);
    connect(&lifeCheck_, &QTimer::timeout, this, &ModuleProcess::lifeCheckDue);
    connect(&process_, &QProcess::finished, this, &ModuleProcess::processFinished);
    connect(&process_, &QProcess::errorOccurred, this, &ModuleProcess::processError);
    start(program);
}

ModuleProcess::~ModuleProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.disconnect(this);
        signalGroup(SIGKILL);
        process_.waitForFinished(KillAfterMilliseconds);
    }
}

// The child's end of the pair is its descriptor 3 and nothing else of the shell's: the pair is
// made close-on-exec, so no module inherits another module's channel. In the child, before the
// program runs: a process group of its own (so that whatever it starts is ended with it), and
// death with the shell, also when the shell is killed: TERM, on which the module host ends its
// whole group.
void ModuleProcess::start(const QString& program) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        stopped_ = true;
        return;
    }
    const int childEnd = ends[1];
    const pid_t shell = getpid();
    process_.setProgram(program);
    process_.setArguments({QStringLiteral("--channel"), QString::number(ChannelDescriptor)});
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setChildProcessModifier([childEnd, shell] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != shell) {
            _exit(127);
        }
        if (childEnd == ChannelDescriptor) {
            fcntl(ChannelDescriptor, F_SETFD, 0);
        } else {
            dup2(childEnd, ChannelDescriptor);
        }
    });
    process_.start();
    close(childEnd);
    channel_ = new ModuleChannel(ends[0], this);
    connect(channel_, &ModuleChannel::Received, this, &ModuleProcess::received);
    connect(channel_, &ModuleChannel::Closed, this, &ModuleProcess::channelClosed);
}

std::optional<QVariantList> ModuleProcess::call(ModuleMessage::Kind kind,
                                                const QVariantList& values, const QString& member) {
    if (stopped_) {
        return std::nullopt;
    }
    QEventLoop loop;
    WaitingCall call{++lastCall_, member, &loop, {}, {}};
    waiting_.push_back(&call);
    channel_->send({kind, call.number, values});
    restartAnswerLimit();
    if (!call.answer && !call.fault && !stopped_) {
        loop.exec();
    }
    // An answer that comes after a release is dropped.
    std::erase(waiting_, &call);
    restartAnswerLimit();
    if (call.fault) {
        throw *call.fault;
    }
    return call.answer;
}

void ModuleProcess::send(ModuleMessage::Kind kind, const QVariantList& values) {
    if (!stopped_) {
        channel_->send({kind, 0, values});
    }
}

void ModuleProcess::checkLife() {
    lifeCheck_.start(answerLimitSeconds_ * 500);
}

// A call that waits has the answer limit of its own, which names the call.
void ModuleProcess::lifeCheckDue() {
    if (stopped_) {
        return;
    }
    if (checksSincePing_ < 0) {
        send(ModuleMessage::Kind::Ping, {});
        checksSincePing_ = 0;
    } else if (++checksSincePing_ >= 2 && !callWaiting()) {
        stop(ModuleStop::unanswered(ModuleStop::LifeCheck, answerLimitSeconds_));
    }
}

void ModuleProcess::releaseEvents() {
    released_ = true;
    send(ModuleMessage::Kind::Release, {});
    for (WaitingCall* call : waiting_) {
        call->released = true;
        call->loop->quit();
    }
    restartAnswerLimit();
}

void ModuleProcess::received(const ModuleMessage& message) {
    if (stopped_) {
        return;
    }
    checksSincePing_ = -1;  // any message is a sign of life
    switch (message.kind) {
        case ModuleMessage::Kind::Answer:
        case ModuleMessage::Kind::Fault:
            answered(message);
            break;
        case ModuleMessage::Kind::Event:
            showEvent(message);
            break;
        case ModuleMessage::Kind::OwnFault:
            Q_EMIT OwnFault(faultOf(message.values));
            break;
        case ModuleMessage::Kind::FocusLeft:
            Q_EMIT FocusLeft(message.values.value(0).toBool());
            break;
        case ModuleMessage::Kind::Resized:
            Q_EMIT Resized(QSize(message.values.value(0).toInt(), message.values.value(1).toInt()));
            break;
        case ModuleMessage::Kind::Wheel:
            Q_EMIT WheelNotTaken(
                QPoint(message.values.value(0).toInt(), message.values.value(1).toInt()));
            break;
        case ModuleMessage::Kind::Alive:
            break;
        default:
            stop(ModuleStop::Unreadable);
            break;
    }
}

// An answer to no waiting call (one released by a stop, say) is dropped.
void ModuleProcess::answered(const ModuleMessage& message) {
    for (WaitingCall* call : waiting_) {
        if (call->number != message.number || call->released) {
            continue;
        }
        if (message.kind == ModuleMessage::Kind::Fault) {
            call->fault = faultOf(message.values);
        } else {
            call->answer = message.values;
        }
        call->loop->quit();
        return;
    }
}

void ModuleProcess::showEvent(const ModuleMessage& message) {
    if (!released_) {
        ++eventsShown_;
        restartAnswerLimit();
        QPointer<ModuleProcess> alive(this);
        Q_EMIT EventRaised(
            EventInfo{message.values.value(0).toString(), message.values.value(1).toList()});
        if (alive == nullptr) {
            return;
        }
        --eventsShown_;
    }
    // The module's emit waits for the answer to its own number.
    if (!stopped_) {
        channel_->send({ModuleMessage::Kind::EventDone, message.number, {}});
    }
    restartAnswerLimit();
}

void ModuleProcess::channelClosed(bool unreadable) {
    if (unreadable) {
        stop(ModuleStop::Unreadable);
        return;
    }
    // The process is ending as a rule, and its status will say how; one that lives on without its
    // channel is stopped after a while, without holding up the window meanwhile.
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    QTimer::singleShot(ChannelClosedGraceMilliseconds, this, [this] {
        stop(QStringLiteral("its process closed its channel to the shell"));
    });
}

void ModuleProcess::processFinished(int exitCode, QProcess::ExitStatus status) {
    stop(ModuleStop::processEnded(exitCode, status == QProcess::CrashExit));
}

void ModuleProcess::processError(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
        stop(QStringLiteral("its program %1 could not be started: %2")
                 .arg(process_.program(), process_.errorString()));
    }
}

bool ModuleProcess::callWaiting() const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [](const WaitingCall* call) { return !call->released; });
}

void ModuleProcess::restartAnswerLimit() {
    if (!stopped_ && callWaiting() && eventsShown_ == 0) {
        answerLimit_.start(answerLimitSeconds_ * 1000);
    } else {
        answerLimit_.stop();
    }
}

void ModuleProcess::answerLimitReached() {
    const auto unanswered = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                         [](const WaitingCall* call) { return !call->released; });
    if (unanswered != waiting_.rend()) {
        stop(ModuleStop::unanswered((*unanswered)->member, answerLimitSeconds_));
    }
}

void ModuleProcess::stop(const QString& cause) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    cause_ = cause;
    answerLimit_.stop();
    lifeCheck_.stop();
    endProcessGroup();
    for (WaitingCall* call : waiting_) {
        call->loop->quit();
    }
    Q_EMIT Stopped(cause);
}

void ModuleProcess::endProcessGroup() {
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    signalGroup(SIGTERM);
    QTimer::singleShot(KillAfterMilliseconds, this, [this] {
        if (process_.state() != QProcess::NotRunning) {
            signalGroup(SIGKILL);
        }
    });
}

// The group has the process's number; until the child has made it, the process alone is there.
void ModuleProcess::signalGroup(int signal) {
    const auto pid = static_cast<pid_t>(process_.processId());
    if (pid <= 0) {
        return;
    }
    if (::kill(-pid, signal) != 0) {
        ::kill(pid, signal);
    }
}

}  // namespace kestrix
