// The shell's life check of a running module in a process of its own (the real module host,
// offscreen): the host counts a hung module's slot as stopped until "Restart" has started it
// afresh, in a new process. At the end each module's control is destroyed in its process, which
// then ends by itself; one whose destructor hangs is killed.

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <vector>

#include "ChildProcesses.h"
#include "FakeDialogs.h"
#include "FixedClock.h"
#include "TestApplication.h"
#include "WaitUntil.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "host/PluginHost.h"
#include "host/RunningProcedures.h"
#include "isolation/ProcessControlFactory.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {
namespace {

// The operator window's plug-in host with its modules each in a process of its own (the build's
// module host and the isolation stand-ins, no spares), logging into a folder of its own. Made after
// the test has set the environment its module processes read.
struct HostedLine {
    PluginControlFactory registry{{QStringLiteral(KESTRIX_ISOLATION_PLUGIN_DIR)}, ScreenTwips{}};
    const FixedClock clock;
    ProcessControlFactory processes{registry, QStringLiteral(KESTRIX_MODULE_HOST), ScreenTwips{},
                                    clock, 0};
    QTemporaryDir folder;
    LogWriter log{clock};
    FakeDialogs dialogs;
    const Service service{dialogs};
    const LineSettings line;
    RunningProcedures procedures;
    QWidget pictureHaupt;
    PluginHost host{log, dialogs, processes, service, line, ScreenTwips{}, procedures};

    HostedLine() {
        log.LogDateiName = folder.filePath(QStringLiteral("Kestrix.log"));
        host.attach(&pictureHaupt, nullptr);
    }
};

TEST(ModuleLifeCheck, AStoppedModulesSlotCountsAsStoppedUntilRestartStartsItAfresh) {
    ensureApplication();
    qputenv("KESTRIX_MODULE_ANSWER_LIMIT_S", "1");
    qputenv("KESTRIX_TEST_MISBEHAVE_AFTER_MS", "300");
    HostedLine hosted;
    PluginHost& host = hosted.host;
    QWidget& pictureHaupt = hosted.pictureHaupt;
    int changes = 0;
    QObject::connect(&host, &PluginHost::stoppedModulesChanged, [&] { ++changes; });
    host.NeuesObjekt(QStringLiteral("XKX_DirtyFilterKeyence.DirtyFilter"), 1, 1, "Packer");
    host.NeuesObjekt(QStringLiteral("XKX_StampInspection.Stamp"), 2, 1, "Packer");

    ASSERT_TRUE(runEventsUntil([&] { return changes == 1; }, 10000));
    EXPECT_EQ(host.stoppedSlots(), std::vector<int16_t>{2});
    pictureHaupt.findChild<QWidget*>(QStringLiteral("O2"))->findChild<QPushButton*>()->click();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(host.stoppedSlots().empty());
    // The new process hangs as the old one did.
    ASSERT_TRUE(runEventsUntil([&] { return changes == 3; }, 10000));
    EXPECT_EQ(host.stoppedSlots(), std::vector<int16_t>{2});
    qunsetenv("KESTRIX_TEST_MISBEHAVE_AFTER_MS");
    qunsetenv("KESTRIX_MODULE_ANSWER_LIMIT_S");
}

// The end as the shell runs it: Terminate on every module, then the controls destroyed, each in its
// process, all at once; the program's end waits for the processes. The module whose destructor
// hangs is killed at the answer limit; the others' destructors have run, and no end is a stop.
TEST(ModuleEnd, EachControlIsDestroyedInItsProcessAndOneThatHangsThereIsKilled) {
    ensureApplication();
    QTemporaryDir folder;
    const QString marks = folder.filePath(QStringLiteral("destroyed"));
    qputenv("KESTRIX_MODULE_ANSWER_LIMIT_S", "1");
    qputenv("KESTRIX_TEST_DESTROYED_MARKS", QFile::encodeName(marks));
    qputenv("KESTRIX_TEST_HANG_IN_DESTRUCTOR", "O2");
    HostedLine hosted;
    PluginHost& host = hosted.host;
    ProcessControlFactory& processes = hosted.processes;
    LogWriter& log = hosted.log;
    for (int16_t machine = 1; machine <= 3; ++machine) {
        host.NeuesObjekt(QStringLiteral("XKX_Tarvo.Tarvo"), 1, machine, "Packer");
    }
    const size_t running = runningChildren().size();  // the three modules' and the spares

    {
        FaultScope p(log, ModuleCalls::EndSource);
        host.TerminatePlugins(p);
    }
    processes.awaitModulesEnd();
    EXPECT_EQ(runningChildren().size(), running - 3);
    QFile destroyed(marks);
    ASSERT_TRUE(destroyed.open(QIODevice::ReadOnly));
    QStringList names = QString::fromUtf8(destroyed.readAll()).split('\n', Qt::SkipEmptyParts);
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("O1"), QStringLiteral("O3")}));
    QFile written(log.LogDateiName);
    if (written.open(QIODevice::ReadOnly)) {
        EXPECT_FALSE(written.readAll().contains("stopped"));
    }
    qunsetenv("KESTRIX_TEST_HANG_IN_DESTRUCTOR");
    qunsetenv("KESTRIX_TEST_DESTROYED_MARKS");
    qunsetenv("KESTRIX_MODULE_ANSWER_LIMIT_S");
}

}  // namespace
}  // namespace kestrix
