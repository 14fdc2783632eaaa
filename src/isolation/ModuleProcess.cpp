#include "isolation/ModuleProcess.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QPointer>
#include <algorithm>
#include <cerrno>
#include <csignal>

#include "config/EnvironmentSeconds.h"
#include "isolation/ModuleHostChild.h"
#include "isolation/ModuleStop.h"

namespace kestrix {
namespace {

constexpr int DefaultAnswerLimitSeconds = 10;
constexpr int LongestAnswerLimitSeconds = 3600;
constexpr int KillAfterMilliseconds = 1000;
constexpr int ChannelClosedGraceMilliseconds = 2000;

using State = ModuleProcess::State;

// The moves a module's process makes in its life. A stop ends every state but the last two; one
// while it ends is no stop of the module's (nothing reports it).
bool allowed(State from, State to) {
    switch (to) {
        case State::Spare:
            return false;
        case State::Creating:
            return from == State::Spare;
        case State::Running:
            return from == State::Creating;
        case State::Released:
            return from == State::Spare || from == State::Creating || from == State::Running;
        case State::Ending:
            return from == State::Spare || from == State::Creating || from == State::Running ||
                   from == State::Released;
        case State::Ended:
            return from == State::Ending;
        case State::Stopped:
            return from != State::Stopped && from != State::Ended;
    }
    return false;
}

}  // namespace

int ModuleProcess::answerLimitSeconds() {
    return secondsFromEnvironment(AnswerLimitVariable, 1, LongestAnswerLimitSeconds,
                                  DefaultAnswerLimitSeconds);
}

// The child's end of the pair is made close-on-exec, so no module inherits another module's
// channel; the child gets it as its channel descriptor.
std::unique_ptr<ModuleProcess> ModuleProcess::start(const QString& program) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        const int error = errno;
        auto process = std::make_unique<ModuleProcess>(nullptr, nullptr);
        process->stop(ModuleStop::noChannel(error));
        return process;
    }
    auto child = std::make_unique<ModuleHostChild>(program, ends[1]);
    close(ends[1]);
    return std::make_unique<ModuleProcess>(
        std::move(child), std::make_unique<ModuleChannel>(ends[0], nullptr, MaxMessagesPerSecond));
}

ModuleProcess::ModuleProcess(std::unique_ptr<ModuleChild> child,
                             std::unique_ptr<ModuleChannel> channel, QObject* parent)
    : QObject(parent), child_(std::move(child)), channel_(std::move(channel)) {
    answerLimit_.setSingleShot(true);
    connect(&answerLimit_, &QTimer::timeout, this, &ModuleProcess::answerLimitReached);
    connect(&lifeCheck_, &QTimer::timeout, this, &ModuleProcess::lifeCheckDue);
    if (child_ != nullptr) {
        connect(child_.get(), &ModuleChild::ended, this, &ModuleProcess::childEnded);
        connect(child_.get(), &ModuleChild::failedToStart, this, &ModuleProcess::stop);
    }
    if (channel_ != nullptr) {
        connect(channel_.get(), &ModuleChannel::received, this, &ModuleProcess::received);
        connect(channel_.get(), &ModuleChannel::closed, this, &ModuleProcess::channelClosed);
    }
}

// The process, if it still runs, is killed with its group as its child goes.
ModuleProcess::~ModuleProcess() {
    // A call still waiting in its nested loop returns nothing: the module went with its window.
    for (WaitingCall* call : waiting_) {
        call->released = true;
        call->loop->quit();
    }
    if (child_ != nullptr) {
        child_->disconnect(this);
        child_.reset();
    }
}

bool ModuleProcess::moveTo(State next) {
    if (!allowed(state_, next)) {
        return false;
    }
    state_ = next;
    return true;
}

bool ModuleProcess::serves() const {
    return state_ == State::Spare || state_ == State::Creating || state_ == State::Running ||
           state_ == State::Released;
}

// A waiting call's loop may run whatever the window does meanwhile, the end of this process's
// owner among it: nothing of this object is touched after the loop unless it still lives.
std::optional<QVariantList> ModuleProcess::call(ModuleMessage message, const QString& member) {
    if (message.kind == ModuleMessage::Kind::Create) {
        moveTo(State::Creating);
    }
    if (!serves()) {
        return std::nullopt;
    }
    QEventLoop loop;
    WaitingCall call{++lastCall_, member, &loop, {}, {}};
    waiting_.push_back(&call);
    message.number = call.number;
    channel_->send(message);
    restartAnswerLimit();
    if (!call.settled() && serves()) {
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
    if (!isStopped()) {
        channel_->send(message);
    }
}

void ModuleProcess::checkLife() {
    if (moveTo(State::Running)) {
        lifeCheck_.start(answerLimitSeconds_ * 500);
    }
}

// A call that waits has the answer limit of its own, which names the call.
void ModuleProcess::lifeCheckDue() {
    if (state_ != State::Running && state_ != State::Released) {
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
    if (!moveTo(State::Released)) {
        return;
    }
    send(Message::Release().frame());
    for (WaitingCall* call : waiting_) {
        call->released = true;
        call->loop->quit();
    }
    restartAnswerLimit();
}

// From here on the process is expected to end: no life check, no answer limit (the caller waits
// for ended within its own limit), and its end or its closed channel stops it without a word.
void ModuleProcess::end() {
    if (!moveTo(State::Ending)) {
        return;
    }
    lifeCheck_.stop();
    answerLimit_.stop();
    send(Message::End().frame());
}

// A message of a kind the shell does not take, or whose fields are not that kind's, is
// unreadable: the module is stopped.
void ModuleProcess::received(const ModuleMessage& message) {
    if (isStopped()) {
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
                Q_EMIT ownFault(fault->fault());
            }
            break;
        case Kind::FocusLeft:
            if (auto focus = Message::FocusLeft::from(message)) {
                readable = true;
                Q_EMIT focusLeft(focus->forward);
            }
            break;
        case Kind::Resized:
            if (auto size = Message::Resized::from(message)) {
                readable = true;
                Q_EMIT resized(QSize(size->width, size->height));
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
                Q_EMIT wheelNotTaken(QPoint(wheel->x, wheel->y));
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

// While the end runs the module's events are not shown: its emit returns at once.
void ModuleProcess::showEvent(uint32_t number, const EventInfo& info) {
    if (state_ == State::Spare || state_ == State::Creating || state_ == State::Running) {
        ++eventsShown_;
        restartAnswerLimit();
        QPointer<ModuleProcess> alive(this);
        Q_EMIT eventRaised(info);
        if (alive == nullptr) {
            return;
        }
        --eventsShown_;
    }
    // The module's emit waits for the answer to its own number.
    send(Message::EventDone().frame(number));
    restartAnswerLimit();
}

void ModuleProcess::channelClosed(ModuleChannel::Ending ending) {
    if (ending != ModuleChannel::Ending::Closed) {
        stop(causeOf(ending));
        return;
    }
    // The process is ending as a rule, and its end will say how; one that lives on without its
    // channel is stopped after a while, without holding up the window meanwhile.
    if (hasEnded()) {
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

// An end it was told to make is its end; any other is a stop, for which what the module broke
// the channel with before it ended is the cause, not the end itself. The stop's handlers may end
// this object's owner: ended follows only while it lives.
void ModuleProcess::childEnded(int exitCode, bool bySignal) {
    const QPointer<ModuleProcess> alive(this);
    if (moveTo(State::Ended)) {
        letGo();
    } else if (!isStopped()) {
        const std::optional<ModuleChannel::Ending> broken =
            channel_ != nullptr ? channel_->readToTheEnd() : std::nullopt;
        stop(broken ? causeOf(*broken) : ModuleStop::processEnded(exitCode, bySignal));
    }
    if (alive != nullptr) {
        Q_EMIT ended();
    }
}

bool ModuleProcess::callWaiting() const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [](const WaitingCall* call) { return !call->settled(); });
}

void ModuleProcess::restartAnswerLimit() {
    if (serves() && callWaiting() && eventsShown_ == 0) {
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

// A stop while the process ends is no stop of the module's: nothing reports it.
void ModuleProcess::stop(const QString& cause) {
    const bool ending = state_ == State::Ending;
    if (!moveTo(State::Stopped)) {
        return;
    }
    cause_ = cause;
    letGo();
    endProcessGroup();
    if (!ending) {
        Q_EMIT stopped(cause);
    }
}

void ModuleProcess::letGo() {
    answerLimit_.stop();
    lifeCheck_.stop();
    if (channel_ != nullptr) {
        channel_->shut();
    }
    for (WaitingCall* call : waiting_) {
        call->loop->quit();
    }
}

void ModuleProcess::endProcessGroup() {
    if (hasEnded()) {
        return;
    }
    child_->signalGroup(SIGTERM);
    QTimer::singleShot(KillAfterMilliseconds, this, [this] {
        if (!hasEnded()) {
            child_->signalGroup(SIGKILL);
        }
    });
}

}  // namespace kestrix
