// A line of 20 modules, each in a process of its own, under a real X server with a window manager:
// two end their process, two crash, two hang in Init, two throw from their own timer and two emit
// from a thread of their own, while the other ten run on (three of them line edits that raise an
// event for each text typed). The shell stays, the operator restarts a
// stopped module, and "End" ends the shell with no module process left behind.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>

#include "InstalledLine.h"
#include "isolation/ModuleFrame.h"

namespace kestrix {
namespace {

// Slots 1–10 are the misbehaving kinds, two machines each; 11–20 the line's own modules.
QByteArray lineOfTwenty() {
    QByteArray ini = "[Project]\nNumberOfMachines=4\n";
    for (const char* machine : {"[Machine1]\n", "[Machine2]\n"}) {
        ini += machine;
        ini +=
            "HotMeltTankNumberOfTanks=1\nOCRNumberOfModules=1\nStampInspectionSystems=1\n"
            "LEDwithDirtyFilter=1\nTopFoldSystems=1\nStampInspectionBoxerSystems=1\n"
            "TarvoSystems=1\nClosureStampInspectionSystems=1\n";
    }
    ini +=
        "[Machine3]\nStampInspectionBoxerSystems=1\nTarvoSystems=1\n"
        "ClosureStampInspectionSystems=1\n[Machine4]\nClosureStampInspectionSystems=1\n";
    return ini;
}

class ModulesInProcesses : public InstalledLineTest {
protected:
    ModulesInProcesses() : InstalledLineTest(lineOfTwenty()) {
        line.environment.insert(QStringLiteral("KESTRIX_MODULE_ANSWER_LIMIT_S"),
                                QStringLiteral("2"));
        // Under the sanitizers a module's crash and exit stay what they are: no report of the
        // sanitizer's own in their place (a SEGV it catches, leaks it finds at exit).
        line.environment.insert(QStringLiteral("ASAN_OPTIONS"),
                                line.environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                    QStringLiteral(":handle_segv=0:detect_leaks=0"));
        for (const char* standIn :
             {"exiting", "crashing", "hanging", "timerthrowing", "threademitting", "typing"}) {
            line.useStandIn(QLatin1String(standIn));
        }
    }

    int moduleProcesses() const { return line.moduleProcesses(); }

    // The stop lines of slot n: faults under its control name that say it stopped.
    QStringList stopLines(int n) const {
        return line.log()
            .filter(QStringLiteral("; KX.O%1").arg(n))
            .filter(QStringLiteral("the module in slot %1 stopped: ").arg(n));
    }

    // The newest of the boxes: the one on top, which takes the input while they nest.
    static QString newest(const QStringList& windows) {
        QString top;
        for (const QString& window : windows) {
            if (top.isEmpty() || window.toULongLong() > top.toULongLong()) {
                top = window;
            }
        }
        return top;
    }

    // Clicks, Tab, Backtab and keys across the two typing modules of a line, slot 1 above slot 2:
    // the texts the modules recorded. Where the modules have windows of their own, each key waits
    // until the keyboard has reached the window it is meant for, as an operator's would.
    // Waits, as an operator watching the focus frame does, until X gives the keyboard to the
    // window.
    static bool keyboardReaches(const InstalledLine& on, const QString& window) {
        return waitUntil(
            [&] {
                return on.run(QStringLiteral("xdotool"),
                              {QStringLiteral("getwindowfocus"), QStringLiteral("-f")}) == window;
            },
            5000);
    }

    static QStringList typeAcrossTwoModules(const InstalledLine& on) {
        const QString window = on.operatorWindow();
        QStringList modules = on.windowsTitled(QStringLiteral("XKX_Tarvo.Tarvo"));
        std::sort(modules.begin(), modules.end(),
                  [&](const QString& a, const QString& b) { return on.topOf(a) < on.topOf(b); });
        const auto typed = [&] {
            return QString::fromUtf8(readFile(on.root.path() + QStringLiteral("/typed")))
                .split('\n', Qt::SkipEmptyParts);
        };
        // Each key once the keyboard is on the window (the slot's module's, 0 the operator
        // window's); a key that must reach a field waits until it has been recorded.
        const auto type = [&](int slot, const char* key, bool recorded) {
            const QString target =
                modules.isEmpty() || slot == 0 ? window : modules.value(slot - 1);
            keyboardReaches(on, target);
            const qsizetype before = typed().size();
            on.xdotool({QStringLiteral("type"), QLatin1String(key)});
            if (recorded) {
                waitUntil([&] { return typed().size() > before; }, 5000);
            }
        };
        const auto press = [&](const char* key) {
            on.xdotool({QStringLiteral("key"), QLatin1String(key)});
        };
        on.clickAt(window, 100, 30);  // slot 1's field; the pointer stays there
        type(1, "a", true);
        press("Tab");
        type(2, "b", true);
        press("shift+Tab");
        type(1, "c", true);
        press("Tab");
        type(2, "d", true);
        press("Tab");  // out of the last module
        type(0, "e", false);
        press("shift+Tab");  // back into it
        type(2, "f", true);
        // Slot 1's background, the operator window left as it is.
        on.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                    QStringLiteral("100"), QString::number(30 + TypingModuleHeight / 2),
                    QStringLiteral("click"), QStringLiteral("1")});
        type(2, "g", true);
        return typed();
    }

    static constexpr int TypingModuleHeight = 80;

    // Answers every event box that opens until the condition holds, each one once, the newest
    // first: the number answered.
    int answerBoxesUntil(const std::function<bool()>& condition, int milliseconds) {
        int answered = 0;
        waitUntil(
            [&] {
                const QString box = newest(line.messageBoxes());
                if (!box.isEmpty()) {
                    line.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box,
                                  QStringLiteral("key"), QStringLiteral("Return")});
                    waitUntil([&] { return !line.messageBoxes().contains(box); }, 5000);
                    ++answered;
                }
                return condition();
            },
            milliseconds);
        return answered;
    }
};

TEST_F(ModulesInProcesses, MisbehavingModulesAreStoppedAloneAndTheLineGoesOn) {
    // Each stand-in that runs at the end marks its destructor; slot 7's hangs there.
    const QString destroyed = line.root.path() + QStringLiteral("/destroyed");
    line.environment.insert(QStringLiteral("KESTRIX_TEST_DESTROYED_MARKS"), destroyed);
    line.environment.insert(QStringLiteral("KESTRIX_TEST_HANG_IN_DESTRUCTOR"),
                            QStringLiteral("O7"));
    line.startShell();
    const auto allStopped = [&] {
        for (int n = 1; n <= 6; ++n) {
            if (stopLines(n).isEmpty()) {
                return false;
            }
        }
        return line.logHas(QStringLiteral("S KX.TimerErstemal_Timer En "));
    };
    // The thread emitters' three events each are shown, one box each.
    int boxes = answerBoxesUntil(allStopped, 60000);
    ASSERT_TRUE(allStopped()) << line.log().join('\n').toStdString();
    boxes += answerBoxesUntil([&] { return boxes >= 6; }, 10000);
    EXPECT_EQ(boxes, 6);
    ASSERT_FALSE(line.shell.waitForFinished(100)) << "the shell ended";

    // One line per stop, naming the ProgID, the slot and the cause.
    const std::pair<const char*, const char*> causes[] = {
        {"XKX_Xmelt.Xmelt", "its process ended with exit status 3"},
        {"XKX_OCR.OCR", "its process ended on signal 11 (Segmentation fault)"},
        {"XKX_StampInspection.Stamp", "did not answer Init within 2 s"}};
    for (int n = 1; n <= 6; ++n) {
        const auto& [progId, cause] = causes[(n - 1) / 2];
        const QStringList lines = stopLines(n);
        ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        EXPECT_EQ(lines[0].toStdString(),
                  QStringLiteral("E Fault 440; the module in slot %1 stopped: %2; %3; KX.O%1")
                      .arg(n)
                      .arg(QLatin1String(cause), QLatin1String(progId))
                      .toStdString());
    }
    // A module's own timer that throws is a fault line of the module's; the module runs on.
    for (int n : {7, 8}) {
        EXPECT_EQ(line.log()
                      .filter(QStringLiteral("relay stuck; XKX_DirtyFilterKeyence."
                                             "DirtyFilter; KX.O%1")
                                  .arg(n))
                      .size(),
                  1);
        EXPECT_TRUE(stopLines(n).isEmpty());
    }
    for (int n = 9; n <= 20; ++n) {
        EXPECT_TRUE(stopLines(n).isEmpty()) << n;
    }
    EXPECT_GE(moduleProcesses(), 14);

    // "Restart" on slot 1's panel starts it afresh, logged like a creation; it ends again.
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());
    const int creations = line.log().count(QStringLiteral("D KX.NeuesObjekt An "));
    // "Restart" stands below the panel's alarm strip, in its left corner.
    const int left = 3 + ModuleFrame::PanelMargin + 6;
    line.clickAt(window, left, left + ModuleFrame::StripHeight);
    ASSERT_TRUE(waitUntil([&] { return stopLines(1).size() == 2; }, 15000))
        << line.log().join('\n').toStdString();
    EXPECT_EQ(line.log().count(QStringLiteral("D KX.NeuesObjekt An ")), creations + 1);
    EXPECT_FALSE(line.shell.waitForFinished(100)) << "the shell ended";

    // A turn of the wheel over slot 7's window (the top of it shows below the six panels), which
    // its own process does not take, scrolls the stack as the scroll bar does: the window moves up.
    QString slot7;
    for (const QString& module :
         line.windowsTitled(QStringLiteral("XKX_DirtyFilterKeyence.DirtyFilter"))) {
        if (slot7.isEmpty() || line.topOf(module) < line.topOf(slot7)) {
            slot7 = module;
        }
    }
    ASSERT_FALSE(slot7.isEmpty());
    const int top = line.topOf(slot7);
    line.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), slot7,
                  QStringLiteral("20"), QStringLiteral("10"), QStringLiteral("click"),
                  QStringLiteral("5")});
    EXPECT_TRUE(waitUntil([&] { return line.topOf(slot7) < top; }, 5000)) << top;

    // "End", answered Yes: the shell ends with 0 and takes every module process with it. The
    // controls of the running stand-ins were destroyed in their processes first (slots 8–10 and
    // the three line edits); slot 7's, which hangs in its destructor, was killed.
    line.clickAt(window, 40, 580);
    ASSERT_TRUE(line.answerBox(QStringLiteral("Return")));
    ASSERT_TRUE(line.shell.waitForFinished(30000));
    EXPECT_EQ(line.shell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(line.shell.exitCode(), 0);
    EXPECT_TRUE(waitUntil([&] { return moduleProcesses() == 0; }, 5000))
        << moduleProcesses() << " module processes outlived the shell";
    QFile marks(destroyed);
    ASSERT_TRUE(marks.open(QIODevice::ReadOnly)) << "no module's destructor ran";
    const QStringList names = QString::fromUtf8(marks.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(names.size(), 6) << names.join(' ').toStdString();
    EXPECT_FALSE(names.contains(QStringLiteral("O7")));
    for (const char* name : {"O8", "O9", "O10"}) {
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
    }
}

// A click into a module's line edit gives it the keyboard wherever the pointer goes next; Tab from
// it gives the keyboard back to the operator window, Backtab from there enters it again at its last
// field, and Tab from the field before it at its first. A shell killed outright then takes its
// module processes with it all the same, and what a module started (the closure stamp's stand-in
// leaves a process in Init).
TEST_F(ModulesInProcesses, AModuleTakesTheKeyboardOnAClickAndDiesWithAKilledShell) {
    line.root.writeProgramIni(
        "[Project]\nNumberOfMachines=1\n[Machine1]\nTarvoSystems=1\n"
        "ClosureStampInspectionSystems=1\n");
    line.useStandIn(QStringLiteral("leavinginit"));
    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());
    const auto typeAway = [&](const char* text) {
        line.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                      QStringLiteral("400"), QStringLiteral("560")});
        line.xdotool({QStringLiteral("type"), QLatin1String(text)});
    };
    line.clickAt(window, 100, 30);  // slot 1's line edit
    typeAway("a");
    EXPECT_TRUE(line.answerBox(QStringLiteral("Return"), 5000)) << "the module got no key";
    line.clickAt(window, 100, 30);
    line.xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
    typeAway("b");
    EXPECT_FALSE(line.answerBox(QStringLiteral("Return"), 1500)) << "the module kept the keyboard";
    const QStringList modules = line.windowsTitled(QStringLiteral("XKX_Tarvo.Tarvo"));
    ASSERT_EQ(modules.size(), 1);
    line.xdotool({QStringLiteral("key"), QStringLiteral("shift+Tab")});
    keyboardReaches(line, modules[0]);
    typeAway("c");
    EXPECT_TRUE(line.answerBox(QStringLiteral("Return"), 5000)) << "Backtab did not enter it";
    // Backtab from its first field leaves it for the field before it; Tab from there enters it.
    line.clickAt(window, 100, 30);
    line.xdotool({QStringLiteral("key"), QStringLiteral("shift+Tab")});
    typeAway("e");
    EXPECT_FALSE(line.answerBox(QStringLiteral("Return"), 1500)) << "Backtab did not leave it";
    line.xdotool({QStringLiteral("key"), QStringLiteral("Tab")});
    keyboardReaches(line, modules[0]);
    typeAway("d");
    EXPECT_TRUE(line.answerBox(QStringLiteral("Return"), 5000)) << "Tab did not enter it";

    EXPECT_GE(moduleProcesses(), 3);  // the two modules' and the one left behind
    line.shell.kill();
    line.shell.waitForFinished(5000);
    EXPECT_TRUE(waitUntil([&] { return moduleProcesses() == 0; }, 5000))
        << moduleProcesses() << " module processes outlived the shell";
}

// The keys of one sequence land where they land when the modules run in the shell's own process
// (that line runs beside, on an X server of its own): Tab and Backtab into a field with text select
// it, so the text typed replaces it; after Tab out of the last module the keys are the window's,
// though the pointer rests on a module (none reaches a module's field, and Backtab goes back into
// the module); a click on a module's background leaves the keyboard where it was. Two typing
// modules record each text they are given, and, as the line ends, that their destructor ran.
TEST_F(ModulesInProcesses, KeysLandWhereTheyLandWithTheModulesInTheShellsProcess) {
    XServer otherX(XServer::WithWindowManager);
    ASSERT_TRUE(otherX.ok()) << otherX.error();
    InstalledLine inProcess;
    inProcess.showOn(otherX.display());
    inProcess.root.writeKestrixIni(
        "[Project]\nLogFileSystem=TRUE\n[Modules]\nIsolation=InProcess\n");
    for (InstalledLine* each : {&line, &inProcess}) {
        each->root.writeProgramIni(
            "[Project]\nNumberOfMachines=2\n[Machine1]\nTarvoSystems=1\n"
            "[Machine2]\nTarvoSystems=1\n");
        each->useStandIn(QStringLiteral("typing"));
        each->environment.insert(QStringLiteral("KESTRIX_TEST_TYPED_MARKS"),
                                 each->root.path() + QStringLiteral("/typed"));
        each->environment.insert(QStringLiteral("KESTRIX_TEST_DESTROYED_MARKS"),
                                 each->root.path() + QStringLiteral("/destroyed"));
        each->startShell();
    }
    const QStringList expected = {QStringLiteral("O1 a"), QStringLiteral("O2 b"),
                                  QStringLiteral("O1 c"), QStringLiteral("O2 d"),
                                  QStringLiteral("O2 f"), QStringLiteral("O2 fg")};
    for (InstalledLine* each : {&line, &inProcess}) {
        ASSERT_TRUE(each->waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
        EXPECT_EQ(typeAcrossTwoModules(*each).join('|').toStdString(),
                  expected.join('|').toStdString())
            << (each == &line ? "in processes of their own" : "in the shell's process");
    }
    // Ended as by "End": in both ways each module's destructor runs.
    for (InstalledLine* each : {&line, &inProcess}) {
        each->shell.terminate();
        ASSERT_TRUE(each->shell.waitForFinished(30000));
        EXPECT_EQ(each->shell.exitCode(), 0);
        QFile marks(each->root.path() + QStringLiteral("/destroyed"));
        ASSERT_TRUE(marks.open(QIODevice::ReadOnly)) << "no module's destructor ran";
        QStringList names = QString::fromUtf8(marks.readAll()).split('\n', Qt::SkipEmptyParts);
        names.sort();
        EXPECT_EQ(names, QStringList({QStringLiteral("O1"), QStringLiteral("O2")}))
            << (each == &line ? "in processes of their own" : "in the shell's process");
    }
}

// While a box of the shell's is open, a module's process refuses the pointer and the keyboard, as
// the shell's own windows do: a click into the typing module's line edit and a key sent to its
// window raise no event of it (its event would open a second box). Once the box has closed, they
// do.
TEST_F(ModulesInProcesses, AModuleRefusesThePointerAndTheKeyboardWhileABoxIsOpen) {
    line.root.writeProgramIni("[Project]\nNumberOfMachines=1\n[Machine1]\nTarvoSystems=1\n");
    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
    const QString window = line.operatorWindow();
    const QStringList modules = line.windowsTitled(QStringLiteral("XKX_Tarvo.Tarvo"));
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(modules.size(), 1);
    const auto boxes = [&] { return line.messageBoxes().size(); };
    line.clickAt(window, 100, 30);  // slot 1's line edit
    line.xdotool({QStringLiteral("type"), QStringLiteral("1")});
    ASSERT_TRUE(waitUntil([&] { return boxes() == 1; }, 5000)) << "the module got no key";

    // The operator window is not activated first: the box is open over it. The window manager
    // gives the keyboard to the box, so the key is sent to the module's window itself.
    const auto clickAndType = [&](const char* text) {
        line.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                      QStringLiteral("100"), QStringLiteral("30"), QStringLiteral("click"),
                      QStringLiteral("1")});
        line.xdotool(
            {QStringLiteral("type"), QStringLiteral("--window"), modules[0], QLatin1String(text)});
    };
    clickAndType("2");
    EXPECT_FALSE(waitUntil([&] { return boxes() > 1; }, 1500)) << "the module took the input";
    ASSERT_TRUE(line.answerBox(QStringLiteral("Return"), 1000));
    ASSERT_TRUE(waitUntil([&] { return boxes() == 0; }, 5000));
    clickAndType("3");
    EXPECT_TRUE(line.answerBox(QStringLiteral("Return"), 5000)) << "the module refuses the input";
}

// A shell killed outright while a module hangs in Init takes that module's process with it (the
// module host dies with its parent, whatever its module does), and the daemon another module
// started (setsid and a second fork) too: it stayed below its module's process, which ends
// whatever it started as it ends.
TEST_F(ModulesInProcesses, AShellKilledWhileAModuleHangsInInitLeavesNothingOfItsModules) {
    line.environment.insert(QStringLiteral("KESTRIX_MODULE_ANSWER_LIMIT_S"), QStringLiteral("60"));
    line.root.writeProgramIni(
        "[Project]\nNumberOfMachines=1\n[Machine1]\nOCRNumberOfModules=1\n"
        "StampInspectionSystems=1\n");
    line.useStandIn(QStringLiteral("leavingdaemon"));
    line.useStandIn(QStringLiteral("hanging"));
    line.startShell();
    // The OCR's Init has left its daemon, and the stamp inspection's Init has begun.
    ASSERT_TRUE(waitUntil([&] { return moduleProcesses() >= 3; }, 20000));
    ASSERT_TRUE(
        line.waitForLog(QStringLiteral("D KX.TimerErstemal_Timer.StampInspectionStart An ")));
    QThread::msleep(1500);
    line.shell.kill();
    line.shell.waitForFinished(5000);
    EXPECT_TRUE(waitUntil([&] { return moduleProcesses() == 0; }, 5000))
        << moduleProcesses() << " module processes outlived the shell";
}

}  // namespace
}  // namespace kestrix
