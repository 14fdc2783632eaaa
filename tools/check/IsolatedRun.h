#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <vector>

namespace kestrix::check {

// The child's side of an isolated run: each record goes to the parent as one line of JSON that
// carries the run's token, a random number the parent drew before it started the child. A line
// without it did not come from the container (a plug-in writing to descriptors it found open),
// and the parent does not take it for a record.
class RecordWriter {
public:
    RecordWriter(int fd, QByteArray token) : fd_(fd), token_(std::move(token)) {}
    void write(const QJsonObject& record);

private:
    int fd_;
    QByteArray token_;
};

// A process that the child left behind: still running when the child had ended.
struct Survivor {
    pid_t pid = 0;
    QString command;
    bool inChildsGroup = false;  // still in the child's process group, not one of its own
};

// The processes below the leader of a process group (its children, theirs, ...) that have left
// its group: what a kill of the group would not reach.
std::vector<Survivor> outsideGroupBelow(pid_t leader);

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
    std::vector<Survivor> survivors;  // ended by the parent
    int forgedLines = 0;              // lines on the record channel without the run's token
};

// Runs work in a child process, so that whatever the work loads cannot take this process down
// with it: a crash, an exit or a hang ends only the child. Each record the child writes reaches
// onRecord as it arrives. A record {"record": "step", "step": NAME} begins a step, which may take
// allowanceSeconds(NAME) seconds ("" for the time before the first step); a child that overruns
// it is killed. The child's standard output goes to standard error, apart from the records.
//
// The child runs in a process group of its own, and this process adopts every process the child
// leaves behind (it is their subreaper): once the child has ended, whatever is left of its group
// and every adopted process is ended, reaped and reported as a survivor. The run ends when the
// child ends, not when the last holder of the record channel lets go of it.
ChildEnd runIsolated(const std::function<void(RecordWriter&)>& work,
                     const std::function<void(const QJsonObject&)>& onRecord,
                     const std::function<int(const QString& step)>& allowanceSeconds);

}  // namespace kestrix::check
