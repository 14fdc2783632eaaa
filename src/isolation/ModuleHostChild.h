#pragma once

#include <QByteArray>
#include <QProcess>

#include "isolation/ModuleChild.h"

namespace kestrix {

// The module host program in a process of its own: started with its end of the private channel
// as its descriptor 3, in a process group of its own (so that whatever it starts is ended with
// it), and dying with the shell, also when the shell is killed. Its environment carries a mark
// that what it starts inherits; once it has ended, what it left behind is ended too (see
// ModuleOrphans). Destroyed while it runs, it is killed with its group.
class ModuleHostChild final : public ModuleChild {
    Q_OBJECT
public:
    // The descriptor in the child that holds its end of the channel.
    static constexpr int ChannelDescriptor = 3;

    // Starts the program; channelEnd is the child's end of the pair (close-on-exec, so that no
    // other module inherits it), which the caller closes after this.
    ModuleHostChild(const QString& program, int channelEnd, QObject* parent = nullptr);
    ~ModuleHostChild() override;

    qint64 processId() const override { return process_.processId(); }
    bool hasEnded() const override { return process_.state() == QProcess::NotRunning; }
    void signalGroup(int signal) override;

private:
    void finished(int exitCode, QProcess::ExitStatus status);

    QProcess process_;
    // The mark of this module in the environment of its host and of what it starts.
    QByteArray mark_;
    qint64 hostGroup_ = 0;
};

}  // namespace kestrix
