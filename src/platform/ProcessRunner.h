#pragma once

#include <QString>
#include <QStringList>

namespace kestrix {

// Starting another program and waiting for its end in slices, so that the caller can let window
// events run between the slices.
class ProcessRunner {
public:
    enum class Wait { Ended, TimedOut, Failed };

    virtual ~ProcessRunner() = default;
    // Starts the program with these arguments (an argument vector: no shell, no quoting rules);
    // returns a handle above 0, or 0 when the program cannot be started.
    virtual int start(const QString& program, const QStringList& arguments) = 0;
    // Waits at most this long for the process's end. A handle of 0 fails at once.
    virtual Wait waitFor(int handle, int milliseconds) = 0;
    // Gives up the handle (the process itself is not touched).
    virtual void close(int handle) = 0;
};

}  // namespace kestrix
