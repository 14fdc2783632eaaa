// The module processes started ahead (the real module host, offscreen): one per slot as the window
// gets ready, none beside the modules' start, and the spares for restarts once it has ended; a
// spare that died is never handed out, and the factory ends its spares with it.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

#include "ChildProcesses.h"
#include "TestApplication.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ProcessControlFactory.h"
#include "platform/Clock.h"

namespace kestrix {
namespace {

int runningChildCount() {
    return static_cast<int>(runningChildren().size());
}

bool runs(qint64 pid) {
    const std::vector<pid_t> running = runningChildren();
    return std::find(running.begin(), running.end(), static_cast<pid_t>(pid)) != running.end();
}

// Waits without running the test's events, so that the shell's loop does not hear of a process's
// end meanwhile. The limit only keeps a broken run from hanging.
bool waitWithoutEvents(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(20000);
    while (!condition() && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    return condition();
}

TEST(ModuleProcessesAhead, OnePerSlotNoneBesideTheStartTheSparesForRestartsAfterItAndNoneDead) {
    ensureApplication();
    constexpr int Spares = 2;
    constexpr int Killed = 3;
    PluginControlFactory registry({}, ScreenTwips{});
    SystemClock clock;
    auto processes = std::make_unique<ProcessControlFactory>(
        registry, QStringLiteral(KESTRIX_MODULE_HOST), ScreenTwips{}, clock, Spares);
    processes->prepareModules();
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount);

    std::vector<std::unique_ptr<ModuleProcess>> modules;
    const auto take = [&] {
        modules.emplace_back(processes->takeProcess());
        return modules.back()->processId();
    };
    for (int n = 0; n < ModuleCalls::SlotCount - Killed; ++n) {
        take();
    }
    // The spares left are the children no module took. Killed while they wait, they are ended
    // before the shell's loop has heard of it: the last modules still get processes that run.
    std::vector<pid_t> spares = runningChildren();
    std::erase_if(spares, [&](pid_t pid) {
        return std::any_of(modules.begin(), modules.end(),
                           [pid](const auto& module) { return module->processId() == pid; });
    });
    ASSERT_EQ(spares.size(), static_cast<size_t>(Killed));
    for (const pid_t spare : spares) {
        ::kill(spare, SIGKILL);
    }
    ASSERT_TRUE(
        waitWithoutEvents([] { return runningChildCount() == ModuleCalls::SlotCount - Killed; }));
    for (int n = 0; n < Killed; ++n) {
        EXPECT_TRUE(runs(take()));
    }
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount);

    processes->modulesStarted();
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount + Spares);

    // A restart takes a spare, and the next one starts beside it.
    modules.front().reset();
    modules.front().reset(processes->takeProcess());
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount + Spares);

    processes.reset();
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount);
}

}  // namespace
}  // namespace kestrix
