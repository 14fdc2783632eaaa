// The operator window at work, on fake seams with the test controls in the modules' place: the
// countdown and the start of the modules, the life sign, the watcher, the commands, the language
// and the end, also when the end comes in the middle of other work.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <string>

#include "AppHarness.h"
#include "ScopedVariable.h"
#include "TestFiles.h"
#include "WaitUntil.h"
#include "app/Modul.h"
#include "host/ModuleKinds.h"
#include "platform/QProcessRunner.h"

namespace kestrix {
namespace {

class OperatorWindowAtWork : public AppTest {
protected:
    void SetUp() override {
        app.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n");
        app.root.writeProgramIni(
            "[Project]\nNumberOfMachines=2\n"
            "[Machine1]\nMachineName=Cartoner 1\nOCRNumberOfModules=1\n"
            "[Machine2]\nMachineName=Cartoner 2\nOCRNumberOfModules=1\n"
            "HotMeltTankNumberOfTanks=1\n");
    }

    OperatorSession& activated() {
        session = &app.activated();
        return *session;
    }

    // The countdown's five ticks and the sixth, which starts the modules.
    void countDownAndStart() {
        for (int tick = 0; tick < 6; ++tick) {
            session->TimerErstemal_Timer();
        }
    }

    QStringList logLinesContaining(const QString& text) const { return app.log().filter(text); }
    QStringList created() const { return app.testControls.journal->sequence().filter(".Init"); }
    QStringList terminated() const {
        return app.testControls.journal->sequence().filter(".Terminate");
    }

    // After the end: the session is gone once the procedures have returned, only the start window
    // is left, the runtime has been asked to stop once, and every module was terminated.
    void expectOrderlyEnd() {
        AppHarness::processEvents();
        EXPECT_TRUE(session.isNull());
        EXPECT_EQ(app.forms.forms(), QList<QWidget*>{app.start});
        EXPECT_TRUE(app.start->isVisible());
        EXPECT_EQ(app.runtime.stopRequests, 1);
        EXPECT_EQ(terminated().size(), created().size());
        EXPECT_TRUE(logLinesContaining(QStringLiteral("Fault")).isEmpty())
            << app.log().join('\n').toStdString();
        app.runtime.endRuntime();
        EXPECT_EQ(app.exitCodes, QList<int>{0});
    }

    QPointer<OperatorSession> session;
};

TEST_F(OperatorWindowAtWork, CountsDownFiveSecondsThenStartsTheModulesOnce) {
    activated();
    QStringList shown;
    for (int tick = 0; tick < 5; ++tick) {
        session->TimerErstemal_Timer();
        shown.append(app.window().StatusLabel()->text());
    }
    EXPECT_EQ(shown,
              (QStringList{"starting in  5 sec.", "starting in  4 sec.", "starting in  3 sec.",
                           "starting in  2 sec.", "starting in  1 sec."}));
    EXPECT_TRUE(created().isEmpty());

    session->TimerErstemal_Timer();
    EXPECT_FALSE(app.armed("TimerErstemal"));
    EXPECT_EQ(app.window().StatusLabel()->text(), QStringLiteral("starting in  1 sec."));
    // Hot-melt tanks first, then OCR modules; machine before unit.
    const std::vector<ControlCall>& calls = app.testControls.journal->calls;
    QStringList initialised;
    for (const ControlCall& call : calls) {
        if (call.member == QLatin1String("Init")) {
            initialised << call.control + ' ' + call.arguments.value(2).toString();
        }
    }
    EXPECT_EQ(initialised, (QStringList{"O1 Cartoner 2", "O2 Cartoner 1", "O3 Cartoner 2"}));
    EXPECT_EQ(app.testControls.addCalls.at(0).progId, QStringLiteral("XKX_Xmelt.Xmelt"));
    EXPECT_EQ(app.testControls.addCalls.at(1).progId, QStringLiteral("XKX_OCR.OCR"));
    for (const auto& control : app.testControls.controls) {
        EXPECT_TRUE(control->isVisibleTo(app.window().PictureHaupt()));
    }
    const QStringList timerLines = logLinesContaining(QStringLiteral("KX.TimerErstemal_Timer"));
    EXPECT_EQ(timerLines.first(), QStringLiteral("S KX.TimerErstemal_Timer An "));
    EXPECT_EQ(timerLines.last(), QStringLiteral("S KX.TimerErstemal_Timer En "));

    // The tick counter is never reset: a later arming starts the modules again at once.
    session->TimerErstemal_Timer();
    EXPECT_EQ(created().size(), 6);
}

// A turn of the wheel that no module took (a module in its own process passes it to the window)
// scrolls the modules as the scroll bar does; beside the plug-in area it scrolls nothing.
TEST_F(OperatorWindowAtWork, AWheelTurnTheModulesDidNotTakeScrollsThemAsTheScrollBarDoes) {
    for (const char* progId : {"XKX_Xmelt.Xmelt", "XKX_OCR.OCR"}) {
        app.testControls.registerProgId(QLatin1String(progId), FakeControlFactory::Kind::Recording,
                                        6000);
    }
    activated();
    countDownAndStart();
    KestrixCentral& window = app.window();
    const auto turn = [&](QPoint at) {
        QWheelEvent wheel(at, window.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&window, &wheel);
        AppHarness::processEvents();
    };
    const auto barPosition = [&] { return window.ScrollBar()->get("position").toInt(); };

    turn(window.cmdEnd()->geometry().center());
    EXPECT_EQ(barPosition(), 1);
    EXPECT_EQ(window.PictureHaupt()->y(), 0);

    turn(QPoint(200, 200));
    EXPECT_GT(barPosition(), 1);
    EXPECT_EQ(window.PictureHaupt()->y(), 1 - barPosition());
}

// One unit of each kind: the eight start procedures run in the countdown's fixed order.
TEST_F(OperatorWindowAtWork, StartsTheEightKindsInTheirFixedOrder) {
    QByteArray ini = "[Project]\nNumberOfMachines=1\n[Machine1]\n";
    for (const char* key :
         {"ClosureStampInspectionSystems", "TarvoSystems", "StampInspectionBoxerSystems",
          "TopFoldSystems", "LEDwithDirtyFilter", "StampInspectionSystems", "OCRNumberOfModules",
          "HotMeltTankNumberOfTanks"}) {
        ini += QByteArray(key) + "=1\n";
    }
    app.root.writeProgramIni(ini);
    activated();
    countDownAndStart();

    QStringList starts;
    for (const QString& line : app.log()) {
        if (line.startsWith("D KX.TimerErstemal_Timer.") && line.endsWith(" An ")) {
            starts << line.mid(25).chopped(4);
        }
    }
    EXPECT_EQ(starts, (QStringList{"HotmeltStart", "OCRStart", "StampInspectionStart",
                                   "DirtyFilterStart", "TopFoldStart", "StampInspectionBoxerStart",
                                   "TarvoStart", "ClosureStampInspectionStart"}));
    QStringList progIds;
    for (const auto& add : app.testControls.addCalls) {
        progIds << add.progId;
    }
    EXPECT_EQ(progIds, (QStringList{"XKX_Xmelt.Xmelt", "XKX_OCR.OCR", "XKX_StampInspection.Stamp",
                                    "XKX_DirtyFilterKeyence.DirtyFilter", "XKX_TopFold.TopFold",
                                    "XKX_StampInspectionBoxer.Stamp", "XKX_Tarvo.Tarvo",
                                    "XKX_ClosureStampInspection.CSI"}));
}

TEST_F(OperatorWindowAtWork, TheLifeSignWritesTwoLinesAndRearmsUntilTheEnd) {
    activated();
    const qsizetype before = app.log().size();
    session->TimerLeben_Timer();
    EXPECT_EQ(app.log().mid(before),
              (QStringList{"S KX.TimerLeben_Timer An ", "S KX.TimerLeben_Timer 100En "}));
    EXPECT_TRUE(app.armed("TimerLeben"));

    // A tick that arrives while the end runs is the last; an activation then reads and shows
    // but arms no timer.
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    bool armedAfterTick = true;
    bool armedAfterActivation = true;
    atNextYield([&] {
        session->TimerLeben_Timer();
        armedAfterTick = app.armed("TimerLeben");
        app.desktop.calls.clear();
        session->Form_Activate();
        armedAfterActivation =
            app.armed("TimerLeben") || app.armed("TimerErstemal") || app.armed("TimerWebBrowser");
    });
    session->InternEndProgram();
    EXPECT_FALSE(armedAfterTick);
    EXPECT_FALSE(armedAfterActivation);
    EXPECT_EQ(app.desktop.calls,
              (QStringList{"find Vwwebbrowser", "foreground 1", "active 1", "minimise"}));
    expectOrderlyEnd();
}

TEST_F(OperatorWindowAtWork, WithoutSystemLoggingTheTimersWriteNothing) {
    app.root.writeKestrixIni("[Project]\nLogFileSystem=FALSE\n");
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    activated();
    session->TimerLeben_Timer();
    session->TimerWebBrowser_Timer();
    session->TimerErstemal_Timer();
    EXPECT_TRUE(app.log().isEmpty());
    EXPECT_TRUE(app.armed("TimerLeben"));
    EXPECT_TRUE(app.armed("TimerWebBrowser"));
}

TEST_F(OperatorWindowAtWork, TheWatcherKeepsWatchingWhileTheWindowIsThere) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    activated();
    const qsizetype before = app.log().size();
    session->TimerWebBrowser_Timer();
    EXPECT_EQ(app.log().mid(before),
              (QStringList{"S KX.TimerWebBrowser_Timer An ", "S KX.TimerWebBrowser_Timer En "}));
    EXPECT_TRUE(app.armed("TimerWebBrowser"));
    EXPECT_EQ(app.runtime.stopRequests, 0);
}

TEST_F(OperatorWindowAtWork, AVanishedWatchedWindowEndsTheWindowsWork) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    activated();
    countDownAndStart();
    app.desktop.closeWindow(QStringLiteral("Vwwebbrowser"));
    session->TimerWebBrowser_Timer();

    EXPECT_FALSE(app.armed("TimerWebBrowser"));
    EXPECT_FALSE(app.armed("TimerLeben"));
    EXPECT_FALSE(app.armed("TimerErstemal"));
    EXPECT_FALSE(app.window().isVisible());
    EXPECT_EQ(terminated(), (QStringList{"O1.Terminate", "O2.Terminate", "O3.Terminate"}));
    const QStringList lines = app.log();
    const qsizetype an = lines.indexOf(QStringLiteral("D KX.InternEndProgram An "));
    const qsizetype en = lines.indexOf(QStringLiteral("D KX.InternEndProgram En "));
    ASSERT_GE(an, 0);
    ASSERT_GT(en, an);
    // The watcher's end marker follows the end of the window's work.
    EXPECT_EQ(lines.last(), QStringLiteral("S KX.TimerWebBrowser_Timer En "));
    expectOrderlyEnd();
}

// The end from inside the start sequence: the watched window vanishes, or the operator answers
// Yes to "End", while a start procedure lets events run. No module is created after the others
// were terminated, nothing more of the start sequence is written, and the end is orderly.
// Every start marker in the log has its end marker after it, however the work ended.
void expectEveryStartMarkerEnded(const QStringList& lines) {
    static const QRegularExpression marker(QStringLiteral("^\\S+ (KX\\.\\S+) (An|En) $"));
    QStringList open;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = marker.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        if (match.captured(2) == QLatin1String("An")) {
            open << match.captured(1);
        } else {
            EXPECT_TRUE(open.removeOne(match.captured(1))) << line.toStdString();
        }
    }
    EXPECT_TRUE(open.isEmpty()) << open.join(", ").toStdString();
}

TEST_F(OperatorWindowAtWork, EndingInsideTheStartSequenceStopsItAtItsNextStep) {
    QByteArray fiveFullMachines = "[Project]\nNumberOfMachines=5\n";
    for (int machine = 1; machine <= 5; ++machine) {
        fiveFullMachines += "[Machine" + QByteArray::number(machine) + "]\n";
        for (const ModuleKind& kind : ModuleKinds) {
            fiveFullMachines += QByteArray(kind.key) + "=3\n";
        }
    }
    for (const char* way : {"watched window gone", "End answered Yes", "in an Init's box"}) {
        SCOPED_TRACE(way);
        const bool inInitsBox = way == std::string("in an Init's box");
        AppHarness harness;
        harness.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n");
        harness.root.writeProgramIni(fiveFullMachines);
        harness.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
        QPointer<OperatorSession> ending = &harness.activated();
        for (int tick = 0; tick < 5; ++tick) {
            ending->TimerErstemal_Timer();
        }
        auto endNow = [&] {
            if (way == std::string("End answered Yes")) {
                harness.window().cmdEnd()->click();
            } else {
                harness.desktop.closeWindow(QStringLiteral("Vwwebbrowser"));
                ending->TimerWebBrowser_Timer();
            }
        };
        // Inside the yield after the third module, or in the box of an event the third module
        // raises in its Init.
        std::function<void()> endAtThirdModule = [&] {
            if (harness.testControls.addCalls.size() < 3) {
                atNextYield(endAtThirdModule);
            } else {
                endNow();
            }
        };
        if (inInitsBox) {
            for (const ModuleKind& kind : ModuleKinds) {
                harness.testControls.registerProgId(QString::fromLatin1(kind.progId),
                                                    FakeControlFactory::Kind::RaisingEventInInit);
            }
            harness.dialogs.whileOpen = [&](const FakeDialogs::Box& box) {
                if (harness.testControls.addCalls.size() == 3 && box.prompt == "3 Initialising") {
                    endNow();
                }
            };
        } else {
            atNextYield(endAtThirdModule);
        }
        ending->TimerErstemal_Timer();

        EXPECT_EQ(harness.testControls.addCalls.size(), 3u);
        EXPECT_EQ(harness.testControls.journal->sequence().filter(".Terminate").size(), 3);
        EXPECT_EQ(harness.testControls.journal->sequence().filter(".Refresh").size(),
                  inInitsBox ? 2 : 3);
        const QStringList lines = harness.log();
        expectEveryStartMarkerEnded(lines);
        // Nothing was created after the end began.
        const QStringList afterTheEnd =
            lines.mid(lines.indexOf(QStringLiteral("D KX.InternEndProgram An ")));
        EXPECT_TRUE(afterTheEnd.filter("KX.NeuesObjekt An").isEmpty());
        EXPECT_TRUE(harness.log().filter("Fault").isEmpty());
        AppHarness::processEvents();
        EXPECT_TRUE(ending.isNull());
        EXPECT_EQ(harness.runtime.stopRequests, 1);
        harness.runtime.endRuntime();
        EXPECT_EQ(harness.exitCodes, QList<int>{0});
    }
}

// The end hands the screen back before it closes anything: the start window is shown before the
// operator window is unloaded, and the runtime is asked to stop only when no other window is left.
TEST_F(OperatorWindowAtWork, ReturnToStartShowsTheStartWindowFirstAndAsksTheRuntimeToStopLast) {
    activated();
    QStringList order;
    EventHook unloaded(&app.window(), QEvent::Hide, [&](QObject*) {
        order << QStringLiteral("operator window unloaded, start window shown: %1")
                     .arg(app.start->isVisible());
        return false;
    });
    app.runtime.onStopRequest = [&] {
        order << QStringLiteral("stop request, windows left: %1").arg(app.forms.forms().size());
    };
    session->InternEndProgram();
    EXPECT_EQ(order, (QStringList{"operator window unloaded, start window shown: 1",
                                  "stop request, windows left: 1"}));
    expectOrderlyEnd();
}

// A fault that escapes a module's own timer takes nothing with it: each is a fault line naming
// the module's ProgID and control (also from Qt's object of a single-shot timer the module
// started), and the window goes on to an orderly end.
TEST_F(OperatorWindowAtWork, AFaultEscapingAModulesOwnTimerIsAFaultLineAndTheWindowGoesOn) {
    app.testControls.registerProgId(QStringLiteral("XKX_OCR.OCR"),
                                    FakeControlFactory::Kind::ThrowingFromTimer);
    activated();
    countDownAndStart();
    QEventLoop ticks;
    QTimer::singleShot(100, &ticks, &QEventLoop::quit);
    ticks.exec();

    const QStringList faults = logLinesContaining(QStringLiteral("Fault"));
    ASSERT_GE(faults.size(), 2);
    EXPECT_FALSE(faults.filter(QStringLiteral("relay stuck once")).isEmpty());
    static const QRegularExpression expected(
        QStringLiteral("^E Fault 440; relay stuck( once)?; XKX_OCR\\.OCR; KX\\.O[0-9]+$"));
    for (const QString& fault : faults) {
        EXPECT_TRUE(expected.match(fault).hasMatch()) << fault.toStdString();
    }
    EXPECT_FALSE(session.isNull());
    app.dialogs.answers = {MsgBoxResult::Yes};
    app.window().cmdEnd()->click();
    AppHarness::processEvents();
    EXPECT_TRUE(session.isNull());
    EXPECT_EQ(app.runtime.stopRequests, 1);
}

// Before there is an operator window, a fault escaping an event is one line on stderr.
TEST_F(AppTest, WithoutTheOperatorWindowAnEscapedFaultIsOneLineOnStderr) {
    QTimer throwing;
    throwing.setSingleShot(true);
    QObject::connect(&throwing, &QTimer::timeout, [] { throw std::runtime_error("no window"); });
    throwing.start(0);
    testing::internal::CaptureStderr();
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Kestrix: Fault 440; no window; Kestrix; KX.QTimer\n");
}

TEST_F(OperatorWindowAtWork, EndAsksFirstAndNoLeavesEverything) {
    activated();
    app.dialogs.answers = {MsgBoxResult::No};
    app.window().cmdEnd()->click();
    ASSERT_EQ(app.dialogs.boxes.size(), 1);
    EXPECT_EQ(app.dialogs.boxes[0].prompt, QStringLiteral("Are you sure to close the Kestrix ?"));
    EXPECT_EQ(app.dialogs.boxes[0].style, 20);
    EXPECT_EQ(app.dialogs.boxes[0].title, QStringLiteral("Kestrix"));
    EXPECT_TRUE(app.armed("TimerLeben"));
    EXPECT_EQ(app.runtime.stopRequests, 0);
    EXPECT_TRUE(app.window().isVisible());
}

// Yes ends from inside the button's own handler; so does the window's close box, and a TERM
// signal the same way without asking. A second request while the end runs changes nothing.
TEST_F(OperatorWindowAtWork, EndAnsweredYesTheCloseBoxAndTermEndAlike) {
    for (const char* way : {"End", "close box", "TERM"}) {
        SCOPED_TRACE(way);
        AppHarness harness;
        QPointer<OperatorSession> ending = &harness.activated();
        harness.dialogs.answers = {MsgBoxResult::Yes};
        atNextYield([&] { harness.start->EndOnSignal(); });
        if (way == std::string("End")) {
            harness.window().cmdEnd()->click();
        } else if (way == std::string("close box")) {
            harness.window().close();
        } else {
            harness.start->EndOnSignal();
        }
        EXPECT_EQ(harness.runtime.stopRequests, 1);
        EXPECT_EQ(harness.forms.forms(), QList<QWidget*>{harness.start});
        // Only the runtime ended event ends the program.
        EXPECT_TRUE(harness.exitCodes.isEmpty());
        AppHarness::processEvents();
        EXPECT_TRUE(ending.isNull());
        harness.runtime.endRuntime();
        EXPECT_EQ(harness.exitCodes, QList<int>{0});
    }
}

TEST_F(OperatorWindowAtWork,
       LogFileOpensTheEditorWithThePathAsOneArgumentAndKeepsTheWindowWorking) {
    app.root.writeKestrixIni("[Project]\nLogFileName=" + app.root.path().toUtf8() +
                             "/a log; \"quoted\" name.log\n");
    activated();
    qputenv("KESTRIX_EDITOR", "/opt/editor --new-window");
    app.processes.slicesToRun = 3;
    int eventsDuringWait = 0;
    app.processes.duringWait = [&](int) { QTimer::singleShot(0, [&] { ++eventsDuringWait; }); };
    session->cmdError_Click();
    qunsetenv("KESTRIX_EDITOR");

    ASSERT_EQ(app.processes.started.size(), 1);
    EXPECT_EQ(app.processes.started[0].program, QStringLiteral("/opt/editor"));
    EXPECT_EQ(app.processes.started[0].arguments,
              (QStringList{"--new-window", app.root.path() + "/a log; \"quoted\" name.log"}));
    EXPECT_EQ(app.processes.waits, (QList<int>{100, 100, 100, 100}));
    EXPECT_EQ(eventsDuringWait, 3);
    EXPECT_EQ(app.processes.closed, QList<int>{1});
}

// With no editor known, the shell's own read-only view shows the log, its newest line at the
// bottom, and follows it as it grows; an editor that cannot start returns at once; "End" during
// the wait of one that can ends the window's work while the wait goes on, and the window lasts
// until the wait is over.
TEST_F(OperatorWindowAtWork, LogFileWaitsOnThroughAnEndAndReturnsAtOnceWithoutAnEditor) {
    activated();
    {
        QTemporaryDir noEditors;
        ScopedVariable path("PATH", noEditors.path().toLocal8Bit());
        ScopedVariable editor("KESTRIX_EDITOR", {});
        session->cmdError_Click();
        EXPECT_TRUE(app.processes.started.isEmpty());
        QWidget* view = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("LogView") && window->isVisible()) {
                view = window;
            }
        }
        ASSERT_NE(view, nullptr) << "no view of the log";
        const auto* text = view->findChild<QPlainTextEdit*>();
        EXPECT_TRUE(text->isReadOnly());
        const auto lastShown = [&] { return text->document()->lastBlock().text(); };
        const QString logged = QString::fromLatin1(readFile(app.root.defaultLog()));
        EXPECT_EQ(lastShown(), logged.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last());
        QFile log(app.root.defaultLog());
        ASSERT_TRUE(log.open(QIODevice::Append));
        log.write("X 09:14:03 12.08.26 a line written later\r\n");
        log.close();
        // The life sign goes on writing its lines below it.
        EXPECT_TRUE(runEventsUntil(
            [&] {
                return text->toPlainText().contains(
                    QStringLiteral("\nX 09:14:03 12.08.26 a line written later"));
            },
            5000))
            << text->toPlainText().toStdString();
        view->close();
    }
    qputenv("KESTRIX_EDITOR", "/opt/editor");
    app.processes.canStart = false;
    session->cmdError_Click();
    EXPECT_EQ(app.processes.waits.size(), 1);
    EXPECT_TRUE(app.window().isVisible());

    app.processes.canStart = true;
    app.processes.slicesToRun = 5;
    app.dialogs.answers = {MsgBoxResult::Yes};
    app.processes.duringWait = [&](int) {
        if (app.processes.waits.size() == 3) {
            app.window().cmdEnd()->click();
        }
        AppHarness::processEvents();
        EXPECT_FALSE(session.isNull());
    };
    session->cmdError_Click();
    qunsetenv("KESTRIX_EDITOR");
    EXPECT_EQ(app.processes.waits.size(), 1 + 6);
    expectOrderlyEnd();
}

// With the real process runner: RunAndWait returns only once the program has ended, and at once
// when it cannot be started.
TEST(RunAndWait, WaitsForTheEndOfARealProgram) {
    ensureApplication();
    QTemporaryDir folder;
    const QString done = folder.filePath(QStringLiteral("done"));
    QProcessRunner processes;
    Modul::RunAndWait(processes, QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("sleep 0.3; : > \"$0\""), done});
    EXPECT_TRUE(QFile::exists(done));
    Modul::RunAndWait(processes, folder.filePath(QStringLiteral("missing")), {});
}

TEST_F(OperatorWindowAtWork, HideBringsTheWatchedWindowBackOnlyWhenThereIsOne) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    activated();
    app.desktop.calls.clear();
    session->cmdHide_Click();
    EXPECT_EQ(app.desktop.calls, (QStringList{"foreground 1", "active 1"}));
}

TEST_F(OperatorWindowAtWork, FollowsTheLanguageVariable) {
    activated();
    const QStringList logBefore = app.log();
    const QString variable = QStringLiteral("Ch-1.param_client<.sprache>");
    for (const QVariant& value :
         {QVariant(1031), QVariant(1033), QVariant(1036), QVariant(0), QVariant(1031.0),
          QVariant(qint64(1031)), QVariant(1031), QVariant(QStringLiteral("abc"))}) {
        app.runtime.changeVariable(variable, value);
    }
    EXPECT_EQ(app.runtime.languagesSelected,
              (QList<int32_t>{1031, 1033, 1033, 1033, 1031, 1031, 1031, 1033}));
    // With system and data logging on, a change writes no line at all.
    EXPECT_EQ(app.log(), logBefore);
}

}  // namespace
}  // namespace kestrix
