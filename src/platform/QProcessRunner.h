#pragma once

#include <QHash>
#include <QProcess>
#include <memory>

#include "platform/ProcessRunner.h"

namespace kestrix {

// Processes started with QProcess from an argument vector, never through a shell. A handle is
// closed after its process has ended.
class QProcessRunner final : public ProcessRunner {
public:
    int start(const QString& program, const QStringList& arguments) override;
    Wait waitFor(int handle, int milliseconds) override;
    void close(int handle) override;

private:
    QHash<int, std::shared_ptr<QProcess>> processes_;
    int lastHandle_ = 0;
};

}  // namespace kestrix
