#include "isolation/ModuleProcess.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QPointer>
#include <algorithm>
#include <csignal>

#include "isolation/ModuleOrphans.h"
#include "isolation/ModuleStop.h"

namespace kestrix {
namespace {

// The module host finds its end of the channel here.
constexpr int ChannelDescriptor = 3;
constexpr int DefaultAnswerLimitSeconds = 10;
constexpr int KillAfterMilliseconds = 1000;
constexpr int ChannelClosedGraceMilliseconds = 2000;

// A mark no other module process of any shell carries.
QByteArray freshMark() {
    static uint32_t made = 0;
    return QByteArray::number(getpid()) + '.' + QByteArray::number(++made);
}

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
    ModuleOrphans::endOrphansOf(mark_, static_cast<pid_t>(hostGroup_));
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
        cause_ = ModuleStop::noChannel(errno);
        return;
    }
    mark_ = QByteArray(ModuleOrphans::MarkVariable) + '=' + freshMark();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ModuleOrphans::MarkVariable),
                       QString::fromLatin1(mark_.mid(mark_.indexOf('=') + 1)));
    process_.setProcessEnvironment(environment);
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
    hostGroup_ = process_.processId();
    close(childEnd);
    channel_ = new ModuleChannel(ends[0], this, MaxMessagesPerSecond);
    connect(channel_, &ModuleChannel::Received, this, &ModuleProcess::received);
    connect(channel_, &ModuleChannel::Closed, this, &ModuleProcess::channelClosed);
}

std::optional<QVariantList> ModuleProcess::call(ModuleMessage message, const QString& member) {
    if (stopped_) {
        return std::nullopt;
    }
    QEventLoop loop;
    WaitingCall call{++lastCall_, member, &loop, {}, {}};
    waiting_.push_back(&call);
    message.number = call.number;
    channel_->send(message);
    restartAnswerLimit();
    if (!call.settled() && !stopped_) {
        QPointer<ModuleProcess> alive(this);
        loop.exec();
        if (alive == nullptr) {
            return std::nullopt;  // ended meanwhile with its window: nothing of it is left
        }
    }
    // An answer that comes after a release is dropped.
    std::erase(waiting_, &call);
    restartAnswerLimit();
    if (call.fault) {
        throw *call.fault;
    }
    return call.answer;
}

void ModuleProcess::send(const ModuleMessage& message) {
    if (!stopped_) {
        channel_->send(message);
    }
}

void ModuleProcess::checkLife() {
    lifeCheck_.start(answerLimitSeconds_ * 500);
}

// A call that waits has the answer limit of its own, which names the call.
void ModuleProcess::lifeCheckDue() {
    if (stopped_ || ending_) {
        return;
    }
    if (checksSincePing_ < 0) {
        send(Message::Ping().frame(++lastPing_));
        checksSincePing_ = 0;
    } else if (++checksSincePing_ >= 2 && !callWaiting()) {
        stop(ModuleStop::unanswered(ModuleStop::LifeCheck, answerLimitSeconds_));
    }
}

void ModuleProcess::releaseEvents() {
    released_ = true;
    send(Message::Release().frame());
    for (WaitingCall* call : waiting_) {
        call->released = true;
        call->loop->quit();
    }
    restartAnswerLimit();
}

// From here on the process is expected to end: no life check, no answer limit (the caller waits
// for Ended within its own limit), and its end or its closed channel stops it without a word.
void ModuleProcess::end() {
    if (ending_) {
        return;
    }
    ending_ = true;
    lifeCheck_.stop();
    answerLimit_.stop();
    send(Message::End().frame());
}

// A message of a kind the shell does not take, or whose fields are not that kind's, is
// unreadable: the module is stopped.
void ModuleProcess::received(const ModuleMessage& message) {
    if (stopped_) {
        return;
    }
    using Kind = ModuleMessage::Kind;
    bool readable = false;
    switch (message.kind) {
        case Kind::Answer:
            if (auto answer = Message::Answer::from(message)) {
                readable = true;
                answered(message.number, std::move(answer->values), std::nullopt);
            }
            break;
        case Kind::Fault:
            if (auto fault = Message::Fault::from(message)) {
                readable = true;
                answered(message.number, {}, fault->fault());
            }
            break;
        case Kind::Event:
            if (auto event = Message::Event::from(message)) {
                readable = true;
                showEvent(message.number,
                          EventInfo{event->name, event->parameters, event->fromOwnThread});
            }
            break;
        case Kind::OwnFault:
            if (auto fault = Message::OwnFault::from(message)) {
                readable = true;
                Q_EMIT OwnFault(fault->fault());
            }
            break;
        case Kind::FocusLeft:
            if (auto focus = Message::FocusLeft::from(message)) {
                readable = true;
                Q_EMIT FocusLeft(focus->forward);
            }
            break;
        case Kind::Resized:
            if (auto resized = Message::Resized::from(message)) {
                readable = true;
                Q_EMIT Resized(QSize(resized->width, resized->height));
            }
            break;
        case Kind::Alive:
            if (Message::Alive::from(message)) {
                readable = true;
                // Only the answer to the life check waiting is a sign of life.
                if (message.number == lastPing_) {
                    checksSincePing_ = -1;
                }
            }
            break;
        case Kind::Wheel:
            if (auto wheel = Message::Wheel::from(message)) {
                readable = true;
                Q_EMIT WheelNotTaken(QPoint(wheel->x, wheel->y));
            }
            break;
        default:
            break;
    }
    if (!readable) {
        stop(ModuleStop::Unreadable);
    }
}

// An answer to no waiting call (one released by a stop, say) is dropped. A call answered while a
// box of another module is open returns only when that box closes: from now on its limit no longer
// runs.
void ModuleProcess::answered(uint32_t number, QVariantList values, std::optional<Fault> fault) {
    for (WaitingCall* call : waiting_) {
        if (call->number != number || call->settled()) {
            continue;
        }
        if (fault) {
            call->fault = std::move(fault);
        } else {
            call->answer = std::move(values);
        }
        call->loop->quit();
        restartAnswerLimit();
        return;
    }
}

void ModuleProcess::showEvent(uint32_t number, const EventInfo& info) {
    if (!released_) {
        ++eventsShown_;
        restartAnswerLimit();
        QPointer<ModuleProcess> alive(this);
        Q_EMIT EventRaised(info);
        if (alive == nullptr) {
            return;
        }
        --eventsShown_;
    }
    // The module's emit waits for the answer to its own number.
    if (!stopped_) {
        channel_->send(Message::EventDone().frame(number));
    }
    restartAnswerLimit();
}

void ModuleProcess::channelClosed(ModuleChannel::Ending ending) {
    if (ending != ModuleChannel::Ending::Closed) {
        stop(causeOf(ending));
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

QString ModuleProcess::causeOf(ModuleChannel::Ending ending) const {
    return ending == ModuleChannel::Ending::Flooded ? ModuleStop::flooded(MaxMessagesPerSecond)
                                                    : ModuleStop::Unreadable;
}

// What the module broke the channel with before its end is the cause, not the end itself. What
// it started goes with it.
void ModuleProcess::processFinished(int exitCode, QProcess::ExitStatus status) {
    const std::optional<ModuleChannel::Ending> broken =
        channel_ != nullptr && !stopped_ ? channel_->readToTheEnd() : std::nullopt;
    stop(broken ? causeOf(*broken)
                : ModuleStop::processEnded(exitCode, status == QProcess::CrashExit));
    ModuleOrphans::endOrphansOf(mark_, static_cast<pid_t>(hostGroup_));
    if (ending_) {
        Q_EMIT Ended();
    }
}

void ModuleProcess::processError(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
        stop(QStringLiteral("its program %1 could not be started: %2")
                 .arg(process_.program(), process_.errorString()));
    }
}

bool ModuleProcess::callWaiting() const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [](const WaitingCall* call) { return !call->settled(); });
}

void ModuleProcess::restartAnswerLimit() {
    if (!stopped_ && !ending_ && callWaiting() && eventsShown_ == 0) {
        answerLimit_.start(answerLimitSeconds_ * 1000);
    } else {
        answerLimit_.stop();
    }
}

void ModuleProcess::answerLimitReached() {
    const auto unanswered = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                         [](const WaitingCall* call) { return !call->settled(); });
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
    if (channel_ != nullptr) {
        channel_->shut();
    }
    endProcessGroup();
    for (WaitingCall* call : waiting_) {
        call->loop->quit();
    }
    if (!ending_) {
        Q_EMIT Stopped(cause);
    }
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
