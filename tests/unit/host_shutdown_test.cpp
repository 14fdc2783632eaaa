// The module part of the end: Terminate on every slot, references dropped, then all 20 sinks.

#include "host_fixture.h"

#include "host/Extender.h"
#include "host/InProcessControl.h"
#include "log/FaultScope.h"

namespace kestrix {

// A module that raises an event while it terminates: the box shows only while its sink holds it.
class ControlRaisingEventInTerminate : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short, short, const QString&, bool) {}
    Q_INVOKABLE void Refresh(bool) {}
    Q_INVOKABLE void Terminate(bool) { emit Terminating(); }

Q_SIGNALS:
    void Terminating();
};

class TerminatingControls final : public ControlFactory {
public:
    Extender* Add(const QString& progId, const QString& name, QWidget* container) override {
        auto* control = new ControlRaisingEventInTerminate(container);
        control->hide();
        return InProcessControl::extend(control, progId, name, ScreenTwips{});
    }
    bool isRegistered(const QString&) const override { return true; }
};

namespace {

using ShutdownTest = HostTest;

TEST_F(ShutdownTest, EveryModuleIsTerminatedBeforeAnySinkIsEmptied) {
    TerminatingControls terminating;
    PluginHost ending(log, dialogs, terminating, service, line, ScreenTwips{}, procedures);
    ending.attach(&pictureHaupt, nullptr);
    for (int n = 1; n <= 3; ++n) {
        ending.NeuesObjekt("Any.Module", 1, 1, "Packer 1");
    }
    FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
    ending.TerminatePlugins(p);

    QStringList prompts;
    for (const auto& box : dialogs.boxes) {
        prompts << box.prompt;
    }
    EXPECT_EQ(prompts, (QStringList{"1 Terminating", "2 Terminating", "3 Terminating"}));
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(ending.ObjWithEvent(n), nullptr);
        EXPECT_EQ(ending.slot(n).Control, nullptr);
    }
    EXPECT_TRUE(faultLines().isEmpty());
}

TEST_F(ShutdownTest, TerminateRunsInSlotOrderAndFaultsCostOneLineEach) {
    request("XKX_OCR.OCR");
    request("Nobody.Registered");
    request("Test.FailingTerminate");
    request("Test.WithoutInit");
    QFile::remove(log.LogDateiName);

    FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
    host->TerminatePlugins(p);

    QStringList terminates = controls.journal->sequence().filter(".Terminate");
    EXPECT_EQ(terminates, (QStringList{"O1.Terminate", "O3.Terminate", "O4.Terminate"}));
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 2);
    EXPECT_TRUE(faults[0].startsWith("Fault 91; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[1].startsWith("Fault 440; terminate failed; Test.FailingTerminate; "))
        << faults[1].toStdString();
    for (const QString& fault : faults) {
        EXPECT_TRUE(fault.endsWith("; KX.InternEndProgram")) << fault.toStdString();
    }
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(host->slot(n).Control, nullptr);
    }
    EXPECT_EQ(host->slotCount(), 4);
    EXPECT_EQ(host->slot(2).CreateFailed, 1);
}

TEST_F(ShutdownTest, SlotNumbersBeyondTwentyFaultTwiceEach) {
    for (int n = 1; n <= 22; ++n) {
        request("XKX_OCR.OCR");
    }
    QFile::remove(log.LogDateiName);
    FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
    host->TerminatePlugins(p);

    EXPECT_EQ(controls.journal->sequence().filter(".Terminate").size(), 20);
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 4);
    for (const QString& fault : faults) {
        EXPECT_TRUE(fault.startsWith("Fault 9; ")) << fault.toStdString();
    }
}

}  // namespace
}  // namespace kestrix

#include "host_shutdown_test.moc"
