#pragma once

#include <QEventLoop>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

#include "channel/ModuleChannel.h"
#include "channel/ModuleMessage.h"
#include "fault/Fault.h"
#include "host/EventInfo.h"
#include "isolation/ModuleChild.h"

namespace kestrix {

// The shell's side of one module's process: the process (the module host program, see
// ModuleHostChild) and the private channel to it, both given to it.
//
// The process is not trusted: its messages are read within the channel's bounds, at most
// MaxMessagesPerSecond of them, and only the answer to a life check counts as a sign of life.
//
// Calls wait for their answer in the event loop, so the window stays alive, and the module's
// events that arrive meanwhile are shown. A process that dies, closes its channel, sends what is
// no message, or does not answer a call within the answer limit is stopped: its group ended
// (TERM, then KILL a second later), every waiting call released, and stopped says why. So is a
// running module that hangs in its own code: the shell checks its life between calls. At the end
// the process is told to destroy its control and end by itself, which is no stop.
class ModuleProcess : public QObject {
    Q_OBJECT
public:
    // Where the process is in its life; each move between these is made and checked by moveTo.
    enum class State {
        Spare,     // started, waiting for its module
        Creating,  // its control is being created
        Running,   // its control runs, and the shell checks its life
        Released,  // the end has begun: its events are no longer shown
        Ending,    // told to destroy its control and end by itself
        Ended,     // it ended after it was told to
        Stopped,   // stopped by the shell, for the cause
    };

    // How long a call may go unanswered, from KESTRIX_MODULE_ANSWER_LIMIT_S (seconds), 10 unless
    // set to a whole number from 1 to 3600. Time in which an event of the module is being shown
    // does not count: the module waits for the shell then.
    static int answerLimitSeconds();
    static constexpr char AnswerLimitVariable[] = "KESTRIX_MODULE_ANSWER_LIMIT_S";
    // More messages than this within a second stop the module: no module needs as many for its
    // events, faults and size changes.
    static constexpr int MaxMessagesPerSecond = 200;

    // The module host program started in a process of its own, with a fresh channel to it.
    static std::unique_ptr<ModuleProcess> start(const QString& program);

    // Takes over the process and the channel to it.
    ModuleProcess(std::unique_ptr<ModuleChild> child, std::unique_ptr<ModuleChannel> channel,
                  QObject* parent = nullptr);
    ~ModuleProcess() override;

    // Sends the call and waits for its answer: its values, or nothing when the module was stopped
    // before or while it waited. A fault of the module's is raised. The member names the call in
    // the cause of a stop. The creation's call makes a spare a creating one.
    std::optional<QVariantList> call(ModuleMessage message, const QString& member);
    // Sends a message that has no answer.
    void send(const ModuleMessage& message);
    // The module has been created and runs: from now on it is asked for a sign of life every half
    // answer limit, and stopped when it gives none (no message at all) for two such checks while
    // no call waits.
    void checkLife();

    State state() const { return state_; }
    bool isStopped() const { return state_ == State::Stopped || state_ == State::Ended; }
    qint64 processId() const { return child_ != nullptr ? child_->processId() : 0; }
    // Why it was stopped.
    const QString& cause() const { return cause_; }
    void stop(const QString& cause);
    // The end has begun: from now on the module's events are not shown (a waiting one returns at
    // once), and the calls waiting now return without their answer, so that the procedures
    // that made them can finish before the program ends.
    void releaseEvents();
    // The module has been terminated: its host is told to destroy the control (its destructor
    // runs) and then ends by itself. That end is no stop: ended says it is over.
    void end();
    bool hasEnded() const { return child_ == nullptr || child_->hasEnded(); }

Q_SIGNALS:
    // An event of the module; when the handler returns, the module's emit returns.
    void eventRaised(const kestrix::EventInfo& info);
    // A fault escaped the module's own code (its timer, say) in its process.
    void ownFault(const kestrix::Fault& fault);
    // The control's size in its process changed.
    void resized(QSize size);
    // Tab or Backtab left the control: the shell's focus moves on in that direction.
    void focusLeft(bool forward);
    // A turn of the mouse wheel over the control that none of its fields took.
    void wheelNotTaken(QPoint angleDelta);
    void stopped(const QString& cause);
    // The process has ended (after end(), or after a stop).
    void ended();

private:
    struct WaitingCall {
        uint32_t number;
        QString member;
        QEventLoop* loop;
        std::optional<QVariantList> answer;
        std::optional<Fault> fault;
        bool released = false;
        // Answered or released: the answer limit no longer runs for it.
        bool settled() const { return released || answer || fault; }
    };

    // The one place the state changes: false, and no change, when the move is not allowed from
    // the state it is in (a stopped process is not stopped again, say).
    bool moveTo(State next);
    // Whether its events are shown, its calls answered and its life checked.
    bool serves() const;
    void received(const ModuleMessage& message);
    void answered(uint32_t number, QVariantList values, std::optional<Fault> fault);
    void showEvent(uint32_t number, const EventInfo& info);
    void channelClosed(ModuleChannel::Ending ending);
    QString causeOf(ModuleChannel::Ending ending) const;
    void childEnded(int exitCode, bool bySignal);
    // No more calls, events or checks: the channel shut, the timers stopped, every waiting call
    // released.
    void letGo();
    // Whether a call waits for its answer (one answered, or released by a stop or by the end,
    // does not: its answer may have to wait for a box of another module to close).
    bool callWaiting() const;
    // The limit runs while a call waits and no event of the module is being shown.
    void restartAnswerLimit();
    void answerLimitReached();
    void lifeCheckDue();
    // TERM to the process group now, KILL after a second if it is still there.
    void endProcessGroup();

    std::unique_ptr<ModuleChild> child_;
    std::unique_ptr<ModuleChannel> channel_;
    State state_ = State::Spare;
    std::vector<WaitingCall*> waiting_;  // innermost last
    uint32_t lastCall_ = 0;
    int eventsShown_ = 0;
    const int answerLimitSeconds_ = answerLimitSeconds();  // read once, as the process starts
    QTimer answerLimit_;
    QTimer lifeCheck_;
    // The life checks since the unanswered ping, or -1 when none is unanswered. Counted in checks,
    // not measured in time: when the shell's own loop was held up, the module's answer may still
    // be waiting to be read.
    int checksSincePing_ = -1;
    uint32_t lastPing_ = 0;
    QString cause_;
};

}  // namespace kestrix
