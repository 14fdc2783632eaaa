#include "channel/ModuleOrphans.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <ctime>

namespace kestrix::ModuleOrphans {
namespace {

// How often the host looks again for what became its children as their parents died.
constexpr int MaxRounds = 200;

struct ProcessStat {
    pid_t parent = 0;
    pid_t group = 0;
    char state = '?';
};

// Fields 3 to 5 of /proc/PID/stat, read with system calls alone. The name (field 2) may hold
// blanks and parentheses: the fields after it start after its last ')'.
bool readStat(pid_t pid, ProcessStat& stat) {
    char path[32] = "/proc/";
    char digits[16];
    int count = 0;
    for (pid_t rest = pid; rest > 0 && count < 15; rest /= 10) {
        digits[count++] = static_cast<char>('0' + rest % 10);
    }
    int at = 6;
    while (count > 0) {
        path[at++] = digits[--count];
    }
    for (const char* tail = "/stat"; *tail != '\0'; ++tail) {
        path[at++] = *tail;
    }
    path[at] = '\0';
    const int file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return false;
    }
    char text[512];
    const ssize_t length = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (length <= 0) {
        return false;
    }
    const char* end = text + length;
    const char* after = nullptr;
    for (const char* c = text; c < end; ++c) {
        if (*c == ')') {
            after = c;
        }
    }
    if (after == nullptr || end - after < 4) {
        return false;
    }
    const char* c = after + 2;
    stat.state = *c;
    c += 2;
    long numbers[2] = {0, 0};
    for (long& number : numbers) {
        while (c < end && *c >= '0' && *c <= '9') {
            number = number * 10 + (*c++ - '0');
        }
        ++c;
    }
    stat.parent = static_cast<pid_t>(numbers[0]);
    stat.group = static_cast<pid_t>(numbers[1]);
    return true;
}

// Calls visit(pid) for every process in /proc, with system calls alone.
template <class Visit>
void forEachProcess(Visit&& visit) {
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) {
        return;
    }
    alignas(8) char entries[8192];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, proc, entries, sizeof entries);
        if (got <= 0) {
            break;
        }
        for (long offset = 0; offset < got;) {
            struct Entry {
                ino64_t inode;
                off64_t next;
                unsigned short length;
                unsigned char type;
                char name[1];
            };
            const auto* entry = reinterpret_cast<const Entry*>(entries + offset);
            offset += entry->length;
            pid_t pid = 0;
            const char* c = entry->name;
            while (*c >= '0' && *c <= '9') {
                pid = pid * 10 + (*c++ - '0');
            }
            if (*c == '\0' && pid > 0) {
                visit(pid);
            }
        }
    }
    ::close(proc);
}

bool carriesMark(pid_t pid, const QByteArray& mark) {
    QFile environment(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!environment.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray entries = environment.read(1 << 20);
    return entries.startsWith(mark + '\0') || entries.contains('\0' + mark + '\0');
}

}  // namespace

bool becomeSubreaper() {
    return ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

// A child of the shell that is no child the shell started: the host's own group or its mark say it
// is the module's. A zombie's environment cannot be read, its group can.
void endOrphansOf(const QByteArray& mark, pid_t hostGroup) {
    const pid_t self = ::getpid();
    forEachProcess([&](pid_t pid) {
        ProcessStat stat;
        if (!readStat(pid, stat) || stat.parent != self) {
            return;
        }
        const bool ofTheModule = (hostGroup > 0 && stat.group == hostGroup) ||
                                 (stat.state != 'Z' && carriesMark(pid, mark));
        if (ofTheModule) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    });
}

void endDescendantsOfThisProcess() {
    const pid_t self = ::getpid();
    for (int round = 0; round < MaxRounds; ++round) {
        int children = 0;
        forEachProcess([&](pid_t pid) {
            ProcessStat stat;
            if (pid != self && readStat(pid, stat) && stat.parent == self) {
                ++children;
                ::kill(pid, SIGKILL);
            }
        });
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (children == 0) {
            return;
        }
        const timespec pause{0, 2'000'000};
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace kestrix::ModuleOrphans
