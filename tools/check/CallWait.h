#pragma once

#include <sys/types.h>
#include <QElapsedTimer>
#include <QString>

namespace kestrix::check {

// How long one call of the shell's went unanswered because the module held its process's event
// loop: the time from the call to its answer, less the time in which the module's main thread or
// the checker's own waited for a processor (read from the kernel's scheduler statistics). A
// busy machine makes a call late, but not by the module's doing; what is left is the time the
// module's own code ran or slept while the call waited, whatever the machine's speed.
class CallWait {
public:
    explicit CallWait(pid_t module);
    qint64 heldMilliseconds() const;

private:
    pid_t module_;
    QElapsedTimer elapsed_;
    qint64 moduleQueuedNs_;
    qint64 ownQueuedNs_;
};

// The longest wait of the calls in one step, and the member the shell waited for.
struct LongestWait {
    qint64 milliseconds = 0;
    QString member;
    void keep(qint64 waited, const QString& calledMember) {
        if (waited > milliseconds) {
            milliseconds = waited;
            member = calledMember;
        }
    }
};

}  // namespace kestrix::check
