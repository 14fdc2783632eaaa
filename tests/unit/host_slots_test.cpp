// NeuesObjekt and the slot table: slot numbers, control names, sinks, the creation-failure
// handler, requests beyond the 20th slot and the data markers around every call.

#include "host_fixture.h"

#include "host/Extender.h"

namespace kestrix {
namespace {

using SlotTest = HostTest;

TEST_F(SlotTest, EachRequestTakesTheNextSlotItsNameAndItsSink) {
    for (int n = 1; n <= 20; ++n) {
        host->NeuesObjekt(QStringLiteral("XKX_OCR.OCR"), 1, static_cast<int16_t>(1 + n % 2),
                          QStringLiteral("M"));
    }
    ASSERT_EQ(controls.addCalls.size(), 20u);
    EXPECT_EQ(host->slotCount(), 20);
    for (int n = 1; n <= 20; ++n) {
        SCOPED_TRACE(n);
        const PluginSlot& slot = host->slot(n);
        const QString name = QStringLiteral("O%1").arg(n);
        EXPECT_EQ(controls.addCalls[static_cast<size_t>(n - 1)].name, name);
        EXPECT_EQ(controls.addCalls[static_cast<size_t>(n - 1)].container, &pictureHaupt);
        ASSERT_NE(host->ObjWithEvent(n), nullptr);
        EXPECT_EQ(host->ObjWithEvent(n)->name(), name);
        EXPECT_EQ(slot.Control.data(), host->ObjWithEvent(n));
        EXPECT_EQ(slot.ProgID, "XKX_OCR.OCR");
        EXPECT_EQ(slot.Machine, 1 + n % 2);
        EXPECT_EQ(slot.CreateFailed, 0);
        // Created hidden: the layout shows it.
        EXPECT_TRUE(controls.control(name)->isHidden());
    }
}

TEST_F(SlotTest, InitGetsUnitMachineAndNameThenRefreshFollows) {
    host->NeuesObjekt(QStringLiteral("XKX_Xmelt.Xmelt"), 2, 4, QStringLiteral("Boxer"));
    TestControl* control = controls.control("O1");
    ASSERT_NE(control, nullptr);
    std::vector<ControlCall> calls = control->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].member, "Init");
    EXPECT_EQ(calls[0].arguments,
              (QVariantList{QVariant::fromValue<short>(2), QVariant::fromValue<short>(4),
                            QStringLiteral("Boxer"), true}));
    EXPECT_EQ(calls[1].member, "Refresh");
    EXPECT_EQ(calls[1].arguments, QVariantList{true});
    EXPECT_EQ(logLines(), (QStringList{"D KX.NeuesObjekt An ", "D KX.NeuesObjekt En "}));
}

TEST_F(SlotTest, AFailedCreationMarksItsSlotAndTheNextRequestTakesTheNextNumber) {
    request("XKX_OCR.OCR");
    request("XKX_OCR.OCR");
    request("Nobody.Registered");
    request("XKX_OCR.OCR");

    const PluginSlot& failed = host->slot(3);
    EXPECT_EQ(failed.CreateFailed, 1);
    EXPECT_EQ(failed.Control, nullptr);
    EXPECT_EQ(failed.ProgID, "Nobody.Registered");
    EXPECT_EQ(failed.Machine, 1);
    EXPECT_EQ(host->ObjWithEvent(3), nullptr);
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].startsWith("Fault 429; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[0].endsWith("; KX.NeuesObjekt Object:Nobody.Registered[3]"))
        << faults[0].toStdString();

    EXPECT_EQ(host->slotCount(), 4);
    EXPECT_EQ(host->ObjWithEvent(4)->name(), "O4");
    EXPECT_EQ(host->slot(4).Control.data(), host->ObjWithEvent(4));
    EXPECT_EQ(controls.journal->sequence(), (QStringList{"O1.Init", "O1.Refresh", "O2.Init",
                                                         "O2.Refresh", "O4.Init", "O4.Refresh"}));
}

TEST_F(SlotTest, TheTwentyFirstRequestFaultsFiveTimesAndLeavesTheSlotsAlone) {
    for (int n = 1; n <= 20; ++n) {
        request("XKX_OCR.OCR");
    }
    QFile::remove(log.LogDateiName);
    host->NeuesObjekt(QStringLiteral("XKX_Tarvo.Tarvo"), 1, 3, QStringLiteral("Packer 3"));

    EXPECT_EQ(host->slotCount(), 21);
    EXPECT_EQ(controls.addCalls.size(), 20u);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(host->slot(n).ProgID, "XKX_OCR.OCR");
        EXPECT_NE(host->slot(n).Control, nullptr);
    }
    QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.first(), "D KX.NeuesObjekt An ");
    for (int i = 1; i <= 5; ++i) {
        EXPECT_TRUE(lines[i].startsWith("E Fault 9; ")) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].endsWith("; KX.NeuesObjekt")) << lines[i].toStdString();
    }
    EXPECT_EQ(lines.last(), "D KX.NeuesObjekt En ");
}

TEST_F(SlotTest, FaultsInInitOrRefreshAreLoggedAndTheModuleStaysCreated) {
    request("Test.WithoutInit");
    request("Test.ThrowingInRefresh");

    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 2);
    EXPECT_TRUE(faults[0].startsWith("Fault 438; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[0].endsWith("; KX.NeuesObjekt")) << faults[0].toStdString();
    EXPECT_TRUE(faults[1].startsWith("Fault 440; refresh failed; Test.ThrowingInRefresh; "))
        << faults[1].toStdString();
    EXPECT_TRUE(faults[1].endsWith("; KX.NeuesObjekt")) << faults[1].toStdString();
    for (int n = 1; n <= 2; ++n) {
        EXPECT_EQ(host->slot(n).CreateFailed, 0);
        EXPECT_NE(host->slot(n).Control, nullptr);
    }
    // Refresh still runs after a missing Init.
    EXPECT_EQ(controls.journal->sequence(), (QStringList{"O1.Refresh", "O2.Init", "O2.Refresh"}));
}

TEST_F(SlotTest, TheSlotCounterStopsAt32767WithAnOverflowFault) {
    // Every slot number up to the last one taken, with the log off: each request beyond the 20th
    // faults five times.
    const QString logName = log.LogDateiName;
    log.LogDateiName.clear();
    for (int n = 1; n <= 32767; ++n) {
        request("XKX_OCR.OCR");
    }
    log.LogDateiName = logName;
    ASSERT_EQ(host->slotCount(), 32767);

    request("XKX_OCR.OCR");
    EXPECT_EQ(host->slotCount(), 32767);
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 6);
    EXPECT_TRUE(faults[0].startsWith("Fault 6; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[1].startsWith("Fault 9; ")) << faults[1].toStdString();
    EXPECT_EQ(controls.addCalls.size(), 20u);
}

}  // namespace
}  // namespace kestrix
