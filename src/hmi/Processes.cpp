#include "hmi/Processes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace kestrix {

namespace {

// What /proc/<pid>/stat tells of a process.
struct ProcessStatus {
    char state = '?';
    pid_t parent = 0;
    unsigned long long startTime = 0;

    bool hasEnded() const { return state == 'Z' || state == 'X'; }
};

std::optional<ProcessStatus> statusOf(pid_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    const int file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return std::nullopt;
    }
    char text[1024];
    const ssize_t count = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (count <= 0) {
        return std::nullopt;
    }
    text[count] = '\0';
    // "pid (command) state parent ..."; the command may hold blanks and parentheses, so the
    // fields are counted from the last ')'. The start time is the 22nd field.
    const char* afterCommand = std::strrchr(text, ')');
    ProcessStatus status;
    int parent = 0;
    if (afterCommand == nullptr ||
        std::sscanf(afterCommand + 1,
                    " %c %d %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s "
                    "%llu",
                    &status.state, &parent, &status.startTime) != 3) {
        return std::nullopt;
    }
    status.parent = parent;
    return status;
}

// Deeper than any real chain of parents; ends a walk that the /proc entries changed under.
constexpr int LongestAncestry = 256;

}  // namespace

std::optional<ProcessIdentity> ProcessIdentity::of(pid_t pid) {
    const std::optional<ProcessStatus> status = statusOf(pid);
    if (!status || status->hasEnded()) {
        return std::nullopt;
    }
    return ProcessIdentity(pid, status->startTime);
}

bool ProcessIdentity::isRunning() const {
    const std::optional<ProcessStatus> status = statusOf(pid_);
    return status && !status->hasEnded() && status->startTime == startTime_;
}

bool descendsFrom(pid_t pid, pid_t ancestor) {
    for (int step = 0; step < LongestAncestry && pid > 0; ++step) {
        if (pid == ancestor) {
            return true;
        }
        const std::optional<ProcessStatus> status = statusOf(pid);
        if (!status) {
            return false;
        }
        pid = status->parent;
    }
    return false;
}

}  // namespace kestrix
