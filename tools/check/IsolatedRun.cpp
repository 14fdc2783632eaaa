#include "IsolatedRun.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>

namespace kestrix::check {
namespace {

using Clock = std::chrono::steady_clock;
const QLatin1String TokenKey("token");
// How often the parent looks whether the child has ended while no record arrives.
constexpr int LookEveryMs = 20;
// How long a process found after the child's end may take to die before it counts as a survivor.
constexpr int DyingGraceMs = 100;

ChildEnd childEnd(ChildEnd::Kind kind, int code, const QString& step, int allowance = 0) {
    ChildEnd end;
    end.kind = kind;
    end.code = code;
    end.step = step;
    end.allowanceSeconds = allowance;
    return end;
}

ChildEnd endOf(int status, bool finished, const QString& step) {
    if (WIFSIGNALED(status)) {
        return childEnd(ChildEnd::Kind::Crashed, WTERMSIG(status), step);
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (finished && code == 0) {
        return childEnd(ChildEnd::Kind::Finished, 0, step);
    }
    return childEnd(ChildEnd::Kind::Exited, code, step);
}

QByteArray freshToken() {
    quint64 words[2];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray::number(words[0], 16) + QByteArray::number(words[1], 16);
}

// A process's parent, group and state, from /proc/PID/stat ("pid (comm) state ppid pgrp ...";
// the command may hold blanks and parentheses, so it ends at the last ')').
struct ProcessStat {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    char state = 0;
    QString command;
};

bool statOf(pid_t pid, ProcessStat& stat) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = file.readAll();
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open) {
        return false;
    }
    const QList<QByteArray> rest = line.mid(close + 2).split(' ');
    if (rest.size() < 3 || rest[0].isEmpty()) {
        return false;
    }
    stat.pid = pid;
    stat.command = QString::fromLocal8Bit(line.mid(open + 1, close - open - 1));
    stat.state = rest[0][0];
    stat.parent = static_cast<pid_t>(rest[1].toInt());
    stat.group = static_cast<pid_t>(rest[2].toInt());
    return true;
}

// Every process of the system that the one asked may see.
std::vector<ProcessStat> allProcesses() {
    std::vector<ProcessStat> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        ProcessStat stat;
        if (*end == '\0' && pid > 0 && statOf(static_cast<pid_t>(pid), stat)) {
            found.push_back(stat);
        }
    }
    closedir(proc);
    return found;
}

// The processes of the group and those whose parent is this one.
std::vector<ProcessStat> leftBehind(pid_t group) {
    std::vector<ProcessStat> found = allProcesses();
    const pid_t self = getpid();
    std::erase_if(
        found, [&](const ProcessStat& stat) { return stat.parent != self && stat.group != group; });
    return found;
}

// Whether the process still runs a while after it was found: one that the child's end has
// already killed (a member of a process group ended with SIGKILL) may still be seen running
// for a moment before it is gone.
bool stillRunning(pid_t pid) {
    ProcessStat stat;
    return statOf(pid, stat) && stat.state != 'Z';
}

// Ends what the child left behind: its process group, and every process adopted by this one
// (a daemon that left the group through setsid comes here when its parent ends). Each process
// that was still running is a survivor; the dead are only reaped.
std::vector<Survivor> endSurvivors(pid_t group) {
    std::vector<Survivor> survivors;
    std::set<pid_t> reported;
    const pid_t self = getpid();
    for (int round = 0; round < 100; ++round) {
        const std::vector<ProcessStat> found = leftBehind(group);
        if (found.empty()) {
            break;
        }
        if (round == 0) {
            poll(nullptr, 0, DyingGraceMs);
        }
        for (const ProcessStat& process : found) {
            if (process.state != 'Z' && stillRunning(process.pid) &&
                reported.insert(process.pid).second) {
                survivors.push_back({process.pid, process.command, process.group == group});
            }
        }
        kill(-group, SIGKILL);
        for (const ProcessStat& process : found) {
            if (process.parent == self) {
                kill(process.pid, SIGKILL);
                int status = 0;
                waitpid(process.pid, &status, 0);
            }
        }
        // Members of the group whose parent is another survivor are reaped by this one once
        // their parent is gone; give the kernel a moment to hand them over.
        poll(nullptr, 0, 5);
    }
    return survivors;
}

}  // namespace

// Descendants are found by following each process's parent up to the leader; the dead (zombies
// waiting to be reaped) run nothing and are left out.
std::vector<Survivor> outsideGroupBelow(pid_t leader) {
    const std::vector<ProcessStat> all = allProcesses();
    std::map<pid_t, pid_t> parentOf;
    for (const ProcessStat& stat : all) {
        parentOf[stat.pid] = stat.parent;
    }
    const auto below = [&](pid_t pid) {
        for (int depth = 0; depth < 64 && pid > 1; ++depth) {
            const auto parent = parentOf.find(pid);
            if (parent == parentOf.end()) {
                return false;
            }
            pid = parent->second;
            if (pid == leader) {
                return true;
            }
        }
        return false;
    };
    std::vector<Survivor> found;
    for (const ProcessStat& stat : all) {
        if (stat.group != leader && stat.state != 'Z' && below(stat.pid)) {
            found.push_back({stat.pid, stat.command, false});
        }
    }
    return found;
}

void RecordWriter::write(const QJsonObject& record) {
    QJsonObject tokened = record;
    tokened.insert(TokenKey, QString::fromLatin1(token_));
    const QByteArray line = QJsonDocument(tokened).toJson(QJsonDocument::Compact) + '\n';
    for (qsizetype written = 0; written < line.size();) {
        ssize_t n =
            ::write(fd_, line.constData() + written, static_cast<size_t>(line.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the parent is gone
        }
        written += n;
    }
}

ChildEnd runIsolated(const std::function<void(RecordWriter&)>& work,
                     const std::function<void(const QJsonObject&)>& onRecord,
                     const std::function<int(const QString& step)>& allowanceSeconds) {
    // Orphans of the child's descendants come to this process, so none escapes the end below.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    int records[2];
    if (pipe2(records, O_CLOEXEC) != 0) {
        return childEnd(ChildEnd::Kind::Exited, -1, {});
    }
    const QByteArray token = freshToken();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(records[0]);
        close(records[1]);
        return childEnd(ChildEnd::Kind::Exited, -1, {});
    }
    if (child == 0) {
        setpgid(0, 0);
        close(records[0]);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        RecordWriter writer(records[1], token);
        work(writer);
        std::fflush(nullptr);
        _exit(0);
    }
    setpgid(child, child);  // either side may come first
    close(records[1]);

    QString step;
    int allowance = allowanceSeconds(step);
    auto deadline = Clock::now() + std::chrono::seconds(allowance);
    bool finished = false;
    int forged = 0;
    QByteArray pending;
    auto takeLines = [&] {
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            QJsonObject record = QJsonDocument::fromJson(pending.left(end)).object();
            pending.remove(0, end + 1);
            if (record.take(TokenKey).toString().toLatin1() != token) {
                ++forged;
                continue;
            }
            if (record.value(QLatin1String("record")) == QLatin1String("step")) {
                step = record.value(QLatin1String("step")).toString();
                allowance = allowanceSeconds(step);
                deadline = Clock::now() + std::chrono::seconds(allowance);
            }
            finished = finished || record.value(QLatin1String("record")) == QLatin1String("end");
            onRecord(record);
        }
    };
    // Reads what is there; false once every writer has closed the channel.
    auto readAvailable = [&](int waitMs) {
        pollfd readable{records[0], POLLIN, 0};
        int ready = poll(&readable, 1, waitMs);
        if (ready <= 0) {
            return true;
        }
        char buffer[4096];
        ssize_t n = read(records[0], buffer, sizeof buffer);
        if (n < 0) {
            return errno == EINTR || errno == EAGAIN;
        }
        if (n == 0) {
            return false;
        }
        pending.append(buffer, n);
        takeLines();
        return true;
    };

    int status = 0;
    bool ended = false;
    bool channelOpen = true;
    while (!ended && Clock::now() < deadline) {
        if (channelOpen) {
            channelOpen = readAvailable(LookEveryMs);
        } else {
            poll(nullptr, 0, LookEveryMs);
        }
        pid_t result = waitpid(child, &status, WNOHANG);
        ended = result == child || (result < 0 && errno != EINTR);
    }
    // What the child wrote before it ended is in the channel: take it without waiting for the
    // channel to close, which a process it left behind may hold open.
    fcntl(records[0], F_SETFL, O_NONBLOCK);
    while (ended && channelOpen && readAvailable(0)) {
        pollfd readable{records[0], POLLIN, 0};
        if (poll(&readable, 1, 0) <= 0) {
            break;
        }
    }
    close(records[0]);

    ChildEnd end;
    if (ended) {
        end = endOf(status, finished, step);
    } else {
        kill(-child, SIGKILL);
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        end = childEnd(ChildEnd::Kind::TimedOut, 0, step, allowance);
    }
    end.survivors = endSurvivors(child);
    end.forgedLines = forged;
    return end;
}

}  // namespace kestrix::check
