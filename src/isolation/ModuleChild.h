#pragma once

#include <QObject>
#include <QString>

namespace kestrix {

// The process a module runs in, as its ModuleProcess sees it: it runs in a process group of its
// own until it ends, and tells when it has ended. The shell's is the module host program
// (ModuleHostChild); the tests script one in their own process.
class ModuleChild : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual qint64 processId() const = 0;
    virtual bool hasEnded() const = 0;
    // Sends the signal to the child's process group (to the child alone until it has made it).
    virtual void signalGroup(int signal) = 0;

Q_SIGNALS:
    // The process has ended, and so has what it started.
    void ended(int exitCode, bool bySignal);
    // The process could not be started: why, in the words of a module's stop.
    void failedToStart(const QString& cause);
};

}  // namespace kestrix
