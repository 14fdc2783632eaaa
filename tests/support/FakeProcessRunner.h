#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "platform/ProcessRunner.h"

namespace kestrix {

// Processes for tests: records every start with its argument vector; a started process "runs"
// for a given number of wait slices (or until the test ends it).
class FakeProcessRunner final : public ProcessRunner {
public:
    struct Started {
        QString program;
        QStringList arguments;
    };

    int start(const QString& program, const QStringList& arguments) override {
        started.append(Started{program, arguments});
        if (!canStart || program.isEmpty()) {
            return 0;
        }
        slicesLeft.append(slicesToRun);
        return static_cast<int>(slicesLeft.size());
    }

    Wait waitFor(int handle, int milliseconds) override {
        waits.append(milliseconds);
        if (handle <= 0 || handle > slicesLeft.size()) {
            return Wait::Failed;
        }
        int& left = slicesLeft[handle - 1];
        if (left <= 0) {
            return Wait::Ended;
        }
        --left;
        if (duringWait) {
            duringWait(handle);
        }
        return Wait::TimedOut;
    }

    void close(int handle) override { closed.append(handle); }

    // Every started process ends (the operator closes every editor).
    void endAll() { slicesLeft.fill(0); }

    bool canStart = true;
    int slicesToRun = 0;
    std::function<void(int handle)> duringWait;
    QList<Started> started;
    QList<int> slicesLeft;
    QList<int> waits;
    QList<int> closed;
};

}  // namespace kestrix
