#pragma once

#include <sys/types.h>

#include <optional>

namespace kestrix {

// A process known by its id and its start time, so that a later process that happens to get the
// same id is never taken for it. Read from /proc.
class ProcessIdentity {
public:
    // The process with this id as it runs now; nothing when there is none or it has ended.
    static std::optional<ProcessIdentity> of(pid_t pid);

    // A process as an earlier look recorded it.
    ProcessIdentity(pid_t pid, unsigned long long startTime) : pid_(pid), startTime_(startTime) {}

    pid_t pid() const { return pid_; }
    unsigned long long startTime() const { return startTime_; }

    // True while this very process runs; false once it has ended (a zombie has ended too).
    bool isRunning() const;

private:
    pid_t pid_;
    unsigned long long startTime_;
};

// True when the process `pid` is `ancestor` itself or one of its descendants.
bool descendsFrom(pid_t pid, pid_t ancestor);

}  // namespace kestrix
