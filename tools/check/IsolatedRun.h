#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>

namespace kestrix::check {

// The child's side of an isolated run: each record goes to the parent as one line of JSON.
class RecordWriter {
public:
    explicit RecordWriter(int fd) : fd_(fd) {}
    void write(const QJsonObject& record);

private:
    int fd_;
};

// How the child of an isolated run ended, and in which step.
struct ChildEnd {
    enum class Kind {
        Finished,  // returned from its work
        Exited,    // ended the process itself, with an exit status
        Crashed,   // killed by a signal
        TimedOut,  // overran its step's allowance and was killed
    };
    Kind kind = Kind::Finished;
    int code = 0;  // the exit status, or the signal
    QString step;  // the step that was running ("" before the first)
    int allowanceSeconds = 0;
};

// Runs work in a child process, so that whatever the work loads cannot take this process down
// with it: a crash, an exit or a hang ends only the child. Each record the child writes reaches
// onRecord as it arrives. A record {"record": "step", "step": NAME} begins a step, which may take
// allowanceSeconds(NAME) seconds ("" for the time before the first step); a child that overruns
// it is killed. The child's standard output goes to standard error, apart from the records.
ChildEnd runIsolated(const std::function<void(RecordWriter&)>& work,
                     const std::function<void(const QJsonObject&)>& onRecord,
                     const std::function<int(const QString& step)>& allowanceSeconds);

}  // namespace kestrix::check
