#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include "channel/ModuleChannel.h"
#include "isolation/ModuleChild.h"
#include "isolation/ModuleProcess.h"

namespace kestrix {

// A module's process that lives in the test: the shell's ModuleProcess over one end of a socket
// pair, the test's script on the other, and a child that records the signals sent to its group
// and ends when the test says so.
class ScriptedChild final : public ModuleChild {
public:
    qint64 processId() const override { return 0; }
    bool hasEnded() const override { return ended_; }
    void signalGroup(int signal) override { signalsSent.push_back(signal); }

    void end(int exitCode, bool bySignal) {
        ended_ = true;
        Q_EMIT ended(exitCode, bySignal);
    }

    std::vector<int> signalsSent;

private:
    bool ended_ = false;
};

struct ScriptedModule {
    // Made after the test has set the answer limit, which the process reads as it starts.
    ScriptedModule() {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            return;
        }
        auto scripted = std::make_unique<ScriptedChild>();
        child = scripted.get();
        process = std::make_unique<ModuleProcess>(
            std::move(scripted),
            std::make_unique<ModuleChannel>(ends[0], nullptr, ModuleProcess::MaxMessagesPerSecond));
        peerEnd = ends[1];
    }
    ~ScriptedModule() {
        peer.reset();
        if (peerEnd >= 0) {
            ::close(peerEnd);
        }
    }

    // The module's side speaks the protocol: each message from the shell goes to the script.
    void answerBy(std::function<void(ScriptedModule&, const ModuleMessage&)> script) {
        peer = std::make_unique<ModuleChannel>(peerEnd);
        peerEnd = -1;
        QObject::connect(peer.get(), &ModuleChannel::received,
                         [this, script](const ModuleMessage& message) { script(*this, message); });
    }

    // The module's process ends as a real one does: its end of the channel closes first.
    void endProcess(int exitCode = 0, bool bySignal = false) {
        peer.reset();
        if (peerEnd >= 0) {
            ::close(peerEnd);
            peerEnd = -1;
        }
        child->end(exitCode, bySignal);
    }

    std::unique_ptr<ModuleProcess> process;
    ScriptedChild* child = nullptr;  // owned by the process
    int peerEnd = -1;                // the module's end, until answerBy takes it
    std::unique_ptr<ModuleChannel> peer;
};

}  // namespace kestrix
