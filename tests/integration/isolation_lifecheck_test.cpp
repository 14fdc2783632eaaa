// The shell's life check of a running module in a process of its own (the real module host,
// offscreen): a module that hangs in its own code between the shell's calls is stopped, one that
// runs on (throwing from its timer, even) is not.

#include <gtest/gtest.h>

#include <QWidget>
#include <optional>

#include "TestApplication.h"
#include "WaitUntil.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"
#include "host/PluginControlFactory.h"
#include "isolation/ProcessControlFactory.h"

namespace kestrix {
namespace {

TEST(ModuleLifeCheck, AModuleThatHangsBetweenCallsIsStoppedAndARunningOneIsNot) {
    ensureApplication();
    // The stand-ins misbehave from their timer, 300 ms after Init; the shell waits 1 s.
    qputenv("KESTRIX_MODULE_ANSWER_LIMIT_S", "1");
    qputenv("KESTRIX_TEST_MISBEHAVE_AFTER_MS", "300");
    PluginControlFactory registry({QStringLiteral(KESTRIX_ISOLATION_PLUGIN_DIR)}, ScreenTwips{});
    ProcessControlFactory processes(registry, QStringLiteral(KESTRIX_MODULE_HOST), ScreenTwips{},
                                    0);
    QWidget pictureHaupt;
    std::optional<Fault> hangingStop;
    std::optional<Fault> runningStop;
    Extender* hanging = processes.AddModule(QStringLiteral("XKX_StampInspection.Stamp"),
                                            QStringLiteral("O1"), &pictureHaupt);
    Extender* running = processes.AddModule(QStringLiteral("XKX_DirtyFilterKeyence.DirtyFilter"),
                                            QStringLiteral("O2"), &pictureHaupt);
    QObject::connect(hanging, &Extender::Stopped, [&](const Fault& fault) { hangingStop = fault; });
    QObject::connect(running, &Extender::Stopped, [&](const Fault& fault) { runningStop = fault; });
    ModuleCalls::init(*hanging, 1, 1, QStringLiteral("Packer"));
    ModuleCalls::init(*running, 1, 1, QStringLiteral("Packer"));

    ASSERT_TRUE(runEventsUntil([&] { return hangingStop.has_value(); }, 10000));
    EXPECT_EQ(hangingStop->description(),
              QStringLiteral("the module in slot 1 stopped: did not answer the shell's life "
                             "check within 1 s"));
    runEventsUntil([] { return false; }, 1500);
    EXPECT_FALSE(runningStop.has_value()) << runningStop->description().toStdString();
    qunsetenv("KESTRIX_TEST_MISBEHAVE_AFTER_MS");
    qunsetenv("KESTRIX_MODULE_ANSWER_LIMIT_S");
}

}  // namespace
}  // namespace kestrix
