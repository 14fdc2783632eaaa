// OCXEreignis and the sinks: every module event becomes one modal box with its slot number.

#include "host_fixture.h"

#include <QDeadlineTimer>
#include <QFontMetrics>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

#include "log/FaultScope.h"
#include "platform/QtDialogs.h"

namespace kestrix {
namespace {

using EventTest = HostTest;

TEST_F(EventTest, AnEventShowsItsSlotNumberAndNameInAPlainBox) {
    for (int n = 1; n <= 12; ++n) {
        request("XKX_OCR.OCR");
    }
    controls.control("O12")->raiseEvent("x");
    controls.control("O3")->raiseEvent("y");

    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].prompt, "12 TestEvent");
    EXPECT_EQ(dialogs.boxes[0].style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(dialogs.boxes[0].title, "Kestrix");
    EXPECT_EQ(dialogs.boxes[1].prompt, "3 TestEvent");
    EXPECT_TRUE(logLines().filter("OCXEreignis").isEmpty());
}

TEST_F(EventTest, TheModulesEventCallReturnsOnlyAfterTheBoxIsClosed) {
    request("XKX_OCR.OCR");
    QStringList order;
    dialogs.whileOpen = [&](const FakeDialogs::Box&) { order << "box open"; };
    controls.control("O1")->raiseEvent("x");
    order << "event returned";
    EXPECT_EQ(order, (QStringList{"box open", "event returned"}));
}

TEST_F(EventTest, AnEventDuringInitIsShownWithItsSlotNumber) {
    request("XKX_OCR.OCR");
    request("Test.RaisingEventInInit");
    QStringList seenWhileOpen;
    dialogs.whileOpen = [&](const FakeDialogs::Box&) {
        seenWhileOpen = controls.journal->sequence();
    };
    request("Test.RaisingEventInInit");

    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].prompt, "2 Initialising");
    EXPECT_EQ(dialogs.boxes[1].prompt, "3 Initialising");
    // The box came up inside Init, before Refresh.
    EXPECT_EQ(seenWhileOpen.last(), "O3.Init");
}

// The operator ends the line while the box of an event raised during Init is open: the module is
// terminated inside its Init, Refresh is not called, and no fault line comes of it.
TEST_F(EventTest, AnEndBegunInABoxRaisedDuringInitSkipsRefresh) {
    dialogs.whileOpen = [&](const FakeDialogs::Box&) {
        FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
        host->TerminatePlugins(p);
    };
    request("Test.RaisingEventInInit");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(controls.journal->sequence(), (QStringList{"O1.Init", "O1.Terminate"}));
    EXPECT_TRUE(faultLines().isEmpty()) << faultLines().join('\n').toStdString();
}

TEST_F(EventTest, AFailingBoxIsAFaultLineOfOCXEreignis) {
    request("XKX_OCR.OCR");
    dialogs.whileOpen = [](const FakeDialogs::Box&) {
        throw Fault::ofNumber(ErrorNumber::OutOfMemory);
    };
    controls.control("O1")->raiseEvent("x");
    QStringList faults = faultLines();
    ASSERT_EQ(faults.size(), 1);
    EXPECT_TRUE(faults[0].startsWith("Fault 7; ")) << faults[0].toStdString();
    EXPECT_TRUE(faults[0].endsWith("; KX.OCXEreignis")) << faults[0].toStdString();
}

// Each open box runs a nested event loop in which the next event arrives. At most 16 boxes are
// open at once; later events wait and are shown, oldest first, as boxes close; of more than
// 10,000 waiting the oldest are dropped, with one line saying how many.
TEST_F(EventTest, BoxesNestSixteenDeepAtMostAndTheRestAreShownAsTheyClose) {
    request("XKX_OCR.OCR");
    TestControl& module = *controls.control("O1");
    int open = 0;
    int deepest = 0;
    int raised = 1;
    dialogs.whileOpen = [&](const FakeDialogs::Box&) {
        ++open;
        deepest = std::max(deepest, open);
        // Events 2 .. 16 open one box inside the other; the innermost box lets a burst in.
        const int burst = open < PluginHost::MaxOpenEventBoxes ? 1 : 10050;
        for (int i = 0; i < burst && raised < 16 + 10050; ++i) {
            module.raiseEvent(QString::number(++raised));
        }
        --open;
    };
    module.raiseEvent(QStringLiteral("1"));

    EXPECT_EQ(deepest, PluginHost::MaxOpenEventBoxes);
    ASSERT_EQ(dialogs.boxes.size(), 16 + 10000);
    EXPECT_EQ(faultLines(), QStringList{"Fault 7; 50 events dropped unshown, the oldest first: "
                                        "more than 10000 were waiting; Kestrix; KX.OCXEreignis"});
}

// A module may emit from a thread of its own: the box comes up on the window's thread, and each
// emit returns only after its box is closed.
TEST_F(EventTest, AnEventFromAModulesOwnThreadIsShownOnTheWindowsThreadBeforeItsEmitReturns) {
    request("XKX_OCR.OCR");
    request("Test.EmittingFromThread");
    auto& module = static_cast<ControlEmittingFromThread&>(*controls.control("O2"));
    std::vector<bool> fromOwnThread;
    QObject::connect(host->ObjWithEvent(2), &Extender::ObjectEvent,
                     [&](const EventInfo& info) { fromOwnThread.push_back(info.fromOwnThread); });
    std::vector<bool> onWindowThread;
    std::vector<int> returnedWhileOpen;
    dialogs.whileOpen = [&](const FakeDialogs::Box&) {
        onWindowThread.push_back(QThread::currentThread() == qApp->thread());
        returnedWhileOpen.push_back(module.returned);
    };
    module.raiseFromThread(3);
    const QDeadlineTimer patience(std::chrono::seconds(20));
    while (module.returned < 3 && !patience.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    module.waitForThread();

    ASSERT_EQ(dialogs.boxes.size(), 3);
    EXPECT_EQ(dialogs.boxes[0].prompt, "2 TestEvent");
    EXPECT_EQ(onWindowThread, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(returnedWhileOpen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(fromOwnThread, (std::vector<bool>{true, true, true}));
}

// A module that waits for its thread in Terminate finds it released from the emit it waits in:
// the end neither hangs nor shows the event.
TEST_F(EventTest, TheEndReleasesAModulesThreadWaitingInItsEmit) {
    request("Test.EmittingFromThread");
    auto& module = static_cast<ControlEmittingFromThread&>(*controls.control("O1"));
    module.raiseFromThread(2);
    // Long enough for the thread to be waiting for the window, which does not serve it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
    host->TerminatePlugins(p);
    QCoreApplication::processEvents();

    EXPECT_EQ(module.returned, 2);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(faultLines().isEmpty());
}

// The real box is wide enough for the frame to show its caption whole, beside its buttons.
TEST(EventBox, IsWideEnoughForItsCaption) {
    ensureApplication();
    int width = 0;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            width = box->width();
            box->done(QMessageBox::Ok);
        }
    });
    QtDialogs dialogs;
    dialogs.MsgBox(QStringLiteral("1 x"), MsgBoxStyle::OkOnly);
    const QFontMetrics caption(QApplication::font("QMdiSubWindowTitleBar"));
    EXPECT_GE(width, caption.horizontalAdvance(QStringLiteral("Kestrix")) + 150);
}

TEST_F(EventTest, EmptiedSinksDeliverNothingMore) {
    request("XKX_OCR.OCR");
    request("XKX_OCR.OCR");
    FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
    host->TerminatePlugins(p);
    controls.control("O1")->raiseEvent("x");
    controls.control("O2")->raiseEvent("x");
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

}  // namespace
}  // namespace kestrix
