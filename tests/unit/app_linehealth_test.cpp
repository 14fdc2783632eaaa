// The line's health file: written at once on the first change, then at most once a second with
// the latest state, replaced whole; the service status follows the modules.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "TestApplication.h"
#include "TestFiles.h"
#include "WaitUntil.h"
#include "app/LineHealth.h"

namespace kestrix {
namespace {

TEST(LineHealth, WritesAtOnceThenAtMostOnceASecondWithTheLatestState) {
    ensureApplication();
    QTemporaryDir folder;
    PluginHost::ModuleCounts counts{3, 3, 0};
    LineHealth health([&] { return counts; });
    const QString file = folder.path() + QStringLiteral("/kestrix.prom");

    health.setTextfileDirectory(folder.path());
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(readFile(file).contains("kestrix_modules_running 3\n"));
    EXPECT_EQ(QFileInfo(file).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);

    // Changes within the second wait for its end, and then the last state is written, once.
    counts = {3, 2, 1};
    health.modulesChanged();
    health.faultLine(QStringLiteral(
        "Fault 440; the module in slot 2 stopped: it did not answer; XKX_OCR.OCR; KX.O2"));
    health.eventShown(QStringLiteral("XKX_Tarvo.Tarvo"));
    EXPECT_TRUE(readFile(file).contains("kestrix_modules_running 3\n"));
    ASSERT_TRUE(runEventsUntil(
        [&] { return readFile(file).contains("kestrix_modules_running 2\n"); }, 3000));
    const QByteArray metrics = readFile(file);
    EXPECT_TRUE(metrics.contains("kestrix_modules_stopped 1\n"));
    EXPECT_TRUE(metrics.contains("kestrix_faults_total{progid=\"XKX_OCR.OCR\"} 1\n"));
    EXPECT_TRUE(metrics.contains("kestrix_events_total{progid=\"XKX_Tarvo.Tarvo\"} 1\n"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"kestrix.prom"});
    EXPECT_EQ(health.statusText(), QStringLiteral("2 modules running, 1 stopped"));
}

}  // namespace
}  // namespace kestrix
