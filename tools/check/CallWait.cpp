#include "CallWait.h"

#include <QFile>
#include <algorithm>

namespace kestrix::check {
namespace {

// The nanoseconds a thread has waited on a run queue: the second field of its schedstat; 0 when
// it cannot be read (the thread has ended), which leaves the wait as measured.
qint64 queuedNanoseconds(const QString& schedstat) {
    QFile file(schedstat);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return file.readAll().simplified().split(' ').value(1).toLongLong();
}

qint64 moduleQueued(pid_t module) {
    return module > 0 ? queuedNanoseconds(QStringLiteral("/proc/%1/task/%1/schedstat").arg(module))
                      : 0;
}

qint64 ownQueued() {
    return queuedNanoseconds(QStringLiteral("/proc/thread-self/schedstat"));
}

}  // namespace

CallWait::CallWait(pid_t module)
    : module_(module), moduleQueuedNs_(moduleQueued(module)), ownQueuedNs_(ownQueued()) {
    elapsed_.start();
}

qint64 CallWait::heldMilliseconds() const {
    const qint64 queuedNs = std::max<qint64>(0, moduleQueued(module_) - moduleQueuedNs_) +
                            std::max<qint64>(0, ownQueued() - ownQueuedNs_);
    return std::max<qint64>(0, elapsed_.elapsed() - queuedNs / 1000000);
}

}  // namespace kestrix::check
