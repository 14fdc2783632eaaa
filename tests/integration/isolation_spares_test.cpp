// The module processes started ahead (the real module host, offscreen): one per slot as the window
// gets ready, none beside the modules' start, and the spares for restarts once it has ended.

#include <gtest/gtest.h>

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

TEST(ModuleProcessesAhead, OnePerSlotNoneBesideTheStartAndTheSparesForRestartsAfterIt) {
    ensureApplication();
    constexpr int Spares = 2;
    PluginControlFactory registry({}, ScreenTwips{});
    SystemClock clock;
    ProcessControlFactory processes(registry, QStringLiteral(KESTRIX_MODULE_HOST), ScreenTwips{},
                                    clock, Spares);
    processes.prepareModules();
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount);

    std::vector<std::unique_ptr<ModuleProcess>> modules;
    for (int n = 0; n < ModuleCalls::SlotCount; ++n) {
        modules.emplace_back(processes.takeProcess());
    }
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount);

    processes.modulesStarted();
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount + Spares);

    // A restart takes a spare, and the next one starts beside it.
    modules.front().reset();
    modules.front().reset(processes.takeProcess());
    EXPECT_EQ(runningChildCount(), ModuleCalls::SlotCount + Spares);
}

}  // namespace
}  // namespace kestrix
