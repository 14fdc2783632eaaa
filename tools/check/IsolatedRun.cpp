#include "IsolatedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QJsonDocument>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace kestrix::check {
namespace {

using Clock = std::chrono::steady_clock;

// The child's exit status once it has ended, waiting for it at most until the deadline.
bool waitForChild(pid_t child, int& status, Clock::time_point deadline) {
    for (;;) {
        pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return ended == child;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ChildEnd endOf(int status, bool finished, const QString& step) {
    if (WIFSIGNALED(status)) {
        return {ChildEnd::Kind::Crashed, WTERMSIG(status), step};
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (finished && code == 0) {
        return {ChildEnd::Kind::Finished, 0, step};
    }
    return {ChildEnd::Kind::Exited, code, step};
}

}  // namespace

void RecordWriter::write(const QJsonObject& record) {
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
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
    int records[2];
    if (pipe2(records, O_CLOEXEC) != 0) {
        return {ChildEnd::Kind::Exited, -1, {}};
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(records[0]);
        close(records[1]);
        return {ChildEnd::Kind::Exited, -1, {}};
    }
    if (child == 0) {
        close(records[0]);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        RecordWriter writer(records[1]);
        work(writer);
        std::fflush(nullptr);
        _exit(0);
    }
    close(records[1]);

    QString step;
    int allowance = allowanceSeconds(step);
    auto deadline = Clock::now() + std::chrono::seconds(allowance);
    bool finished = false;
    QByteArray pending;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{records[0], POLLIN, 0};
        int ready = poll(&readable, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            break;  // the step overran its allowance
        }
        char buffer[4096];
        ssize_t n = read(records[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // the child has ended (or closed its end)
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QJsonObject record = QJsonDocument::fromJson(pending.left(end)).object();
            pending.remove(0, end + 1);
            if (record.value(QLatin1String("record")) == QLatin1String("step")) {
                step = record.value(QLatin1String("step")).toString();
                allowance = allowanceSeconds(step);
                deadline = Clock::now() + std::chrono::seconds(allowance);
            }
            finished = finished || record.value(QLatin1String("record")) == QLatin1String("end");
            onRecord(record);
        }
    }
    close(records[0]);

    int status = 0;
    if (waitForChild(child, status, std::max(deadline, Clock::now() + std::chrono::seconds(1)))) {
        return endOf(status, finished, step);
    }
    kill(child, SIGKILL);
    waitForChild(child, status, Clock::time_point::max());
    return {ChildEnd::Kind::TimedOut, 0, step, allowance};
}

}  // namespace kestrix::check
