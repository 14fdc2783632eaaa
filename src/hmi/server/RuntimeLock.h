#pragma once

#include <sys/types.h>

#include <QString>
#include <optional>

#include "hmi/Processes.h"

namespace kestrix {

// The lock a runtime holds while it serves its socket: a file locked with flock(), which the system
// releases however the holder ends, so that no crash leaves a lock behind; a holder that ends in
// order removes the file. The file names the holder and the shell that launched it, so that a
// runtime whose shell is gone can be told from one that still serves its shell, and replaced.
class RuntimeLock {
public:
    explicit RuntimeLock(QString path);
    ~RuntimeLock();
    RuntimeLock(const RuntimeLock&) = delete;
    RuntimeLock& operator=(const RuntimeLock&) = delete;

    // Takes the lock for this process, launched by `shell` (none when started by hand). A runtime
    // whose shell is gone that holds it is ended first, and `replaced` names it. False, with the
    // reason, when the lock cannot be used or another runtime holds it: one started by hand, or
    // one whose shell still runs.
    bool take(const std::optional<ProcessIdentity>& shell, pid_t& replaced, QString& error);

private:
    struct Holder {
        std::optional<ProcessIdentity> runtime;
        std::optional<ProcessIdentity> shell;
    };

    bool openFile();
    bool tryLock();
    bool awaitLock(int milliseconds);
    Holder holder() const;
    void recordHolder(const std::optional<ProcessIdentity>& shell) const;

    QString path_;
    int descriptor_ = -1;
    bool held_ = false;
    QString openError_;
};

}  // namespace kestrix
