// The operator window at work, on fake seams with the real plug-ins: the countdown and the start
// of the modules, the life sign, the watcher, the commands, the language and the end.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "AppHarness.h"
#include "TestApplication.h"
#include "host/Extender.h"
#include "host/PluginHost.h"

namespace kestrix {
namespace {

class OperatorWindowAtWork : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override {
        app.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n");
        app.root.writeProgramIni(
            "[Project]\nNumberOfMachines=2\n"
            "[Machine1]\nMachineName=Cartoner 1\nOCRNumberOfModules=1\n"
            "[Machine2]\nMachineName=Cartoner "
            "2\nOCRNumberOfModules=1\nHotMeltTankNumberOfTanks=1\n");
    }

    KestrixCentral& activated() {
        central = &app.startOperatorWindow();
        AppHarness::processEvents();
        return *central;
    }

    QStringList log() const { return TempRoot::logTexts(app.root.defaultLog()); }
    QStringList logLinesContaining(const QString& text) const { return log().filter(text); }

    AppHarness app;
    QPointer<KestrixCentral> central;
};

TEST_F(OperatorWindowAtWork, CountsDownFiveSecondsThenStartsTheModulesOnce) {
    KestrixCentral& w = activated();
    QStringList shown;
    for (int tick = 0; tick < 5; ++tick) {
        w.TimerErstemal_Timer();
        shown.append(w.StatusLabel->text());
    }
    EXPECT_EQ(shown,
              (QStringList{"starting in  5 sec.", "starting in  4 sec.", "starting in  3 sec.",
                           "starting in  2 sec.", "starting in  1 sec."}));
    EXPECT_EQ(w.Host->SlotCount, 0);

    w.TimerErstemal_Timer();
    EXPECT_FALSE(w.TimerErstemal.isActive());
    EXPECT_EQ(w.StatusLabel->text(), QStringLiteral("starting in  1 sec."));
    // Hot-melt tanks first, then OCR modules; machine before unit.
    ASSERT_EQ(w.Host->SlotCount, 3);
    EXPECT_EQ(w.Host->PluginSlots[0].ProgID, QStringLiteral("XKX_Xmelt.Xmelt"));
    EXPECT_EQ(w.Host->PluginSlots[0].Machine, 2);
    EXPECT_EQ(w.Host->PluginSlots[1].ProgID, QStringLiteral("XKX_OCR.OCR"));
    EXPECT_EQ(w.Host->PluginSlots[1].Machine, 1);
    EXPECT_EQ(w.Host->PluginSlots[2].Machine, 2);
    for (int slot = 0; slot < 3; ++slot) {
        ASSERT_TRUE(w.Host->PluginSlots[slot].Control);
        EXPECT_TRUE(w.Host->PluginSlots[slot].Control->Visible());
    }
    const QStringList timerLines = logLinesContaining(QStringLiteral("KX.TimerErstemal_Timer"));
    EXPECT_EQ(timerLines.first(), QStringLiteral("S KX.TimerErstemal_Timer An "));
    EXPECT_EQ(timerLines.last(), QStringLiteral("S KX.TimerErstemal_Timer En "));
    EXPECT_TRUE(timerLines.contains(QStringLiteral("D KX.TimerErstemal_Timer.HotmeltStart An ")));

    // The tick counter is never reset: a later arming starts the modules again at once.
    w.TimerErstemal_Timer();
    EXPECT_EQ(w.Host->SlotCount, 6);
}

TEST_F(OperatorWindowAtWork, TheLifeSignWritesTwoLinesAndRearmsUntilTheEnd) {
    KestrixCentral& w = activated();
    const qsizetype before = log().size();
    w.TimerLeben_Timer();
    EXPECT_EQ(log().mid(before),
              (QStringList{"S KX.TimerLeben_Timer An ", "S KX.TimerLeben_Timer 100En "}));
    EXPECT_TRUE(w.TimerLeben.isActive());
    w.ProgramEnding = true;
    w.TimerLeben_Timer();
    EXPECT_FALSE(w.TimerLeben.isActive());
}

TEST_F(OperatorWindowAtWork, WithoutSystemLoggingTheTimersWriteNothing) {
    app.root.writeKestrixIni("[Project]\nLogFileSystem=FALSE\n");
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    KestrixCentral& w = activated();
    w.TimerLeben_Timer();
    w.TimerWebBrowser_Timer();
    w.TimerErstemal_Timer();
    EXPECT_TRUE(log().isEmpty());
    EXPECT_TRUE(w.TimerLeben.isActive());
    EXPECT_TRUE(w.TimerWebBrowser.isActive());
}

TEST_F(OperatorWindowAtWork, TheWatcherKeepsWatchingWhileTheWindowIsThere) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    KestrixCentral& w = activated();
    const qsizetype before = log().size();
    w.TimerWebBrowser_Timer();
    EXPECT_EQ(log().mid(before),
              (QStringList{"S KX.TimerWebBrowser_Timer An ", "S KX.TimerWebBrowser_Timer En "}));
    EXPECT_TRUE(w.TimerWebBrowser.isActive());
    EXPECT_FALSE(w.ProgramEnding);
}

TEST_F(OperatorWindowAtWork, AVanishedWatchedWindowEndsTheWindowsWork) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    KestrixCentral& w = activated();
    for (int tick = 0; tick < 6; ++tick) {
        w.TimerErstemal_Timer();
    }
    app.desktop.closeWindow(QStringLiteral("Vwwebbrowser"));
    w.TimerWebBrowser_Timer();

    EXPECT_TRUE(w.ProgramEnding);
    EXPECT_FALSE(w.TimerWebBrowser.isActive());
    EXPECT_FALSE(w.TimerLeben.isActive());
    EXPECT_FALSE(w.TimerErstemal.isActive());
    EXPECT_EQ(app.runtime.stopRequests, 1);
    EXPECT_TRUE(app.start->isVisible());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(app.forms.forms(), QList<QWidget*>{app.start});
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_FALSE(w.Host->PluginSlots[slot].Control);
        EXPECT_EQ(w.Host->ObjWithEvent(slot + 1), nullptr);
    }
    const QStringList lines = log();
    const qsizetype an = lines.indexOf(QStringLiteral("D KX.InternEndProgram An "));
    const qsizetype en = lines.indexOf(QStringLiteral("D KX.InternEndProgram En "));
    ASSERT_GE(an, 0);
    ASSERT_GT(en, an);
    // The watcher's end marker follows the end of the window's work.
    EXPECT_EQ(lines.last(), QStringLiteral("S KX.TimerWebBrowser_Timer En "));

    // The operator window is deleted once control is back in the event loop.
    AppHarness::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(central.isNull());
}

TEST_F(OperatorWindowAtWork, EndAsksFirstAndNoLeavesEverything) {
    KestrixCentral& w = activated();
    app.dialogs.answers = {MsgBoxResult::No};
    w.cmdEnd->click();
    ASSERT_EQ(app.dialogs.boxes.size(), 1);
    EXPECT_EQ(app.dialogs.boxes[0].prompt, QStringLiteral("Are you sure to close the Kestrix ?"));
    EXPECT_EQ(app.dialogs.boxes[0].style, 20);
    EXPECT_EQ(app.dialogs.boxes[0].title, QStringLiteral("Kestrix"));
    EXPECT_FALSE(w.ProgramEnding);
    EXPECT_EQ(app.runtime.stopRequests, 0);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(OperatorWindowAtWork, EndAnsweredYesEndsFromInsideTheButtonsOwnHandler) {
    KestrixCentral& w = activated();
    app.dialogs.answers = {MsgBoxResult::Yes};
    w.cmdEnd->click();
    EXPECT_TRUE(central->ProgramEnding);
    EXPECT_EQ(app.runtime.stopRequests, 1);
    EXPECT_EQ(app.forms.forms(), QList<QWidget*>{app.start});
    // Only the runtime ended event ends the program.
    EXPECT_TRUE(app.exitCodes.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(central.isNull());
    app.runtime.endRuntime();
    EXPECT_EQ(app.exitCodes, QList<int>{0});
}

TEST_F(OperatorWindowAtWork,
       LogFileOpensTheEditorWithThePathAsOneArgumentAndKeepsTheWindowWorking) {
    app.root.writeKestrixIni("[Project]\nLogFileName=" + app.root.path().toUtf8() +
                             "/a log; \"quoted\" name.log\n");
    KestrixCentral& w = activated();
    qputenv("KESTRIX_EDITOR", "/opt/editor --new-window");
    app.processes.slicesToRun = 3;
    int eventsDuringWait = 0;
    app.processes.duringWait = [&](int) { QTimer::singleShot(0, [&] { ++eventsDuringWait; }); };
    w.cmdError_Click();
    qunsetenv("KESTRIX_EDITOR");

    ASSERT_EQ(app.processes.started.size(), 1);
    EXPECT_EQ(app.processes.started[0].program, QStringLiteral("/opt/editor"));
    EXPECT_EQ(app.processes.started[0].arguments,
              (QStringList{"--new-window", app.root.path() + "/a log; \"quoted\" name.log"}));
    EXPECT_EQ(app.processes.waits, (QList<int>{100, 100, 100, 100}));
    EXPECT_EQ(eventsDuringWait, 3);
    EXPECT_EQ(app.processes.closed, QList<int>{1});
}

TEST_F(OperatorWindowAtWork, LogFileWithAnEditorThatCannotStartReturnsAtOnce) {
    KestrixCentral& w = activated();
    app.processes.canStart = false;
    w.cmdError_Click();
    EXPECT_EQ(app.processes.waits.size(), 1);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(OperatorWindowAtWork, HideBringsTheWatchedWindowBackOnlyWhenThereIsOne) {
    KestrixCentral& w = activated();
    app.desktop.calls.clear();
    w.cmdHide_Click();
    EXPECT_TRUE(app.desktop.calls.isEmpty());

    w.WatchedWindow = app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    w.cmdHide_Click();
    EXPECT_EQ(app.desktop.calls, (QStringList{"foreground 1", "active 1"}));
}

TEST_F(OperatorWindowAtWork, FollowsTheLanguageVariable) {
    activated();
    const QString variable = QStringLiteral("Ch-1.param_client<.sprache>");
    for (const QVariant& value :
         {QVariant(1031), QVariant(1033), QVariant(1036), QVariant(0), QVariant(1031.0),
          QVariant(qint64(1031)), QVariant(1031), QVariant(QStringLiteral("abc"))}) {
        app.runtime.changeVariable(variable, value);
    }
    EXPECT_EQ(app.runtime.languagesSelected,
              (QList<int32_t>{1031, 1033, 1033, 1033, 1031, 1031, 1031, 1033}));
    EXPECT_TRUE(logLinesContaining(QStringLiteral("Fault")).isEmpty());
}

}  // namespace
}  // namespace kestrix
