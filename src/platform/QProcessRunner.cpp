#include "platform/QProcessRunner.h"

namespace kestrix {

int QProcessRunner::start(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) {
        return 0;
    }
    auto process = std::make_shared<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->start(program, arguments);
    if (!process->waitForStarted()) {
        return 0;
    }
    int handle = ++lastHandle_;
    processes_.insert(handle, process);
    return handle;
}

ProcessRunner::Wait QProcessRunner::waitFor(int handle, int milliseconds) {
    auto found = processes_.find(handle);
    if (found == processes_.end()) {
        return Wait::Failed;
    }
    QProcess& process = **found;
    if (process.state() == QProcess::NotRunning || process.waitForFinished(milliseconds)) {
        return Wait::Ended;
    }
    return process.state() == QProcess::NotRunning ? Wait::Ended : Wait::TimedOut;
}

void QProcessRunner::close(int handle) {
    processes_.remove(handle);
}

}  // namespace kestrix
