// A module's process is a peer the shell does not trust. Whatever hostile bytes it writes to its
// channel (lists nested a hundred thousand deep, a value of a foreign type, oversized texts, a
// body shorter or longer than its fields, noise, a flood of valid messages, a frame cut off by its
// end), the shell stops that module once, with the cause, and its memory stays bounded.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <vector>

#include "TestApplication.h"
#include "WaitUntil.h"
#include "isolation/ModuleProcess.h"
#include "isolation/ModuleStop.h"

namespace kestrix {
namespace {

// The process's resident memory in KB.
qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

TEST(HostileModule, EachFormOfHostileBytesStopsItsModuleOnceWithTheCauseInBoundedMemory) {
    ensureApplication();
    const QString peer =
        QCoreApplication::applicationDirPath() + QStringLiteral("/isolation_hostile_peer");
    const QString unreadable = ModuleStop::Unreadable;
    const QString flooded = ModuleStop::flooded(ModuleProcess::MaxMessagesPerSecond);
    std::vector<std::pair<QString, QString>> forms = {
        {"nesting", unreadable}, {"foreign", unreadable},  {"oversized", unreadable},
        {"short", unreadable},   {"long", unreadable},     {"garbage", unreadable},
        {"flood", flooded},      {"truncated", unreadable}};
    [[maybe_unused]] const qint64 before = residentKb();
    for (quint32 seed = 1; seed <= 2; ++seed) {
        QRandomGenerator random(seed);
        std::shuffle(forms.begin(), forms.end(), random);
        for (const auto& [form, cause] : forms) {
            SCOPED_TRACE(qPrintable(QStringLiteral("%1, seed %2").arg(form).arg(seed)));
            qputenv("KESTRIX_TEST_HOSTILE", QStringLiteral("%1:%2").arg(form).arg(seed).toUtf8());
            ModuleProcess process(peer);
            QStringList stops;
            QObject::connect(&process, &ModuleProcess::Stopped,
                             [&](const QString& why) { stops.append(why); });
            ASSERT_TRUE(runEventsUntil([&] { return !stops.isEmpty(); }, 20000));
            runEventsUntil([] { return false; }, 100);  // no second stop follows
            EXPECT_EQ(stops, QStringList{cause});
        }
    }
    qunsetenv("KESTRIX_TEST_HOSTILE");
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine keeps freed memory; a plain build shows what the shell holds.
    EXPECT_LT(residentKb() - before, 64 * 1024);
#endif
}

// A call's answer that has come while another module's box is open can be taken only when that box
// closes: the module answered in time and is not stopped, however long the operator reads.
TEST(ModuleAnswerLimit, AnAnswerHeldUpByAnotherModulesOpenBoxDoesNotStopItsModule) {
    ensureApplication();
    const QString peer =
        QCoreApplication::applicationDirPath() + QStringLiteral("/isolation_hostile_peer");
    qputenv(ModuleProcess::AnswerLimitVariable, "2");
    qputenv("KESTRIX_TEST_HOSTILE", "answer:0");
    ModuleProcess answering(peer);
    qputenv("KESTRIX_TEST_HOSTILE", "event:0");
    ModuleProcess raising(peer);
    qunsetenv("KESTRIX_TEST_HOSTILE");
    qunsetenv(ModuleProcess::AnswerLimitVariable);
    QStringList stops;
    QObject::connect(&answering, &ModuleProcess::Stopped,
                     [&](const QString& why) { stops << why; });
    bool boxShown = false;
    // The other module's box stays open for more than two answer limits.
    QObject::connect(&raising, &ModuleProcess::EventRaised, [&](const EventInfo&) {
        boxShown = true;
        runEventsUntil([] { return false; }, 4500);
    });
    Message::Get get;
    get.member = QStringLiteral("AbsoluteHoehe");
    const std::optional<QVariantList> answer =
        answering.call(get.frame(), QStringLiteral("AbsoluteHoehe"));
    EXPECT_TRUE(boxShown);
    EXPECT_TRUE(answer.has_value());
    EXPECT_EQ(stops, QStringList());
}

}  // namespace
}  // namespace kestrix
