// The module processes started ahead (the real module host, offscreen): one per slot as the window
// gets ready, none beside the modules' start, and the spares for restarts once it has ended.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <memory>
#include <vector>

#include "TestApplication.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ProcessControlFactory.h"

namespace kestrix {
namespace {

// The processes this test started that still run (not ended and waiting to be reaped).
int runningChildren() {
    int running = 0;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (!children.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& pid : children.readAll().simplified().split(' ')) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
            if (!pid.isEmpty() && stat.open(QIODevice::ReadOnly) &&
                !stat.readAll().split(')').value(1).trimmed().startsWith('Z')) {
                ++running;
            }
        }
    }
    return running;
}

TEST(ModuleProcessesAhead, OnePerSlotNoneBesideTheStartAndTheSparesForRestartsAfterIt) {
    ensureApplication();
    constexpr int Spares = 2;
    PluginControlFactory registry({}, ScreenTwips{});
    ProcessControlFactory processes(registry, QStringLiteral(KESTRIX_MODULE_HOST), ScreenTwips{},
                                    Spares);
    processes.prepareModules();
    EXPECT_EQ(runningChildren(), ModuleCalls::SlotCount);

    std::vector<std::unique_ptr<ModuleProcess>> modules;
    for (int n = 0; n < ModuleCalls::SlotCount; ++n) {
        modules.emplace_back(processes.takeProcess());
    }
    EXPECT_EQ(runningChildren(), ModuleCalls::SlotCount);

    processes.modulesStarted();
    EXPECT_EQ(runningChildren(), ModuleCalls::SlotCount + Spares);

    // A restart takes a spare, and the next one starts beside it.
    modules.front().reset();
    modules.front().reset(processes.takeProcess());
    EXPECT_EQ(runningChildren(), ModuleCalls::SlotCount + Spares);
}

}  // namespace
}  // namespace kestrix
