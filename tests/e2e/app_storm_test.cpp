// Ending at any moment on the installed line, in real time under a real X server with a window
// manager, the real runtime stand-in and the real plug-ins: "End" answered Yes and a TERM signal
// while the modules are being created, and a module whose events come as a storm. The operator
// storm on the line is in app_soak_test.cpp.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "InstalledLine.h"
#include "host/ModuleKinds.h"

namespace kestrix {
namespace {

// Five machines with every unit of every kind: 50 requests, 20 modules.
QByteArray fiveFullMachines() {
    QByteArray ini = "[Project]\nNumberOfMachines=5\n";
    for (int machine = 1; machine <= 5; ++machine) {
        ini += "[Machine" + QByteArray::number(machine) + "]\n";
        for (const ModuleKind& kind : ModuleKinds) {
            ini += QByteArray(kind.key) + "=3\n";
        }
    }
    return ini;
}

// The end came in the middle of the start of the modules, not after it: the start's end marker,
// which it writes whatever happens, follows the end's start marker.
void expectTheEndInTheMiddleOfTheStart(InstalledLine& line) {
    const QStringList log = line.log();
    const qsizetype end = log.indexOf(QStringLiteral("D KX.InternEndProgram An "));
    const qsizetype started = log.indexOf(QStringLiteral("S KX.TimerErstemal_Timer En "));
    EXPECT_GT(started, end) << "the end came after the start of the modules, not in its middle:\n"
                            << log.join(QLatin1Char('\n')).toStdString();
}

// The end of the window's work as the log and the runtime's journal show it: once, with no
// module created after it, the stop request before the runtime's end, and the program's
// exit code 0.
void expectOrderlyEnd(InstalledLine& line) {
    ASSERT_TRUE(line.shell.waitForFinished(20000)) << "the shell did not end";
    EXPECT_EQ(line.shell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(line.shell.exitCode(), 0);
    EXPECT_EQ(logMalformation(line.root.defaultLog()), QString());
    const QStringList log = line.log();
    const qsizetype end = log.indexOf(QStringLiteral("D KX.InternEndProgram An "));
    ASSERT_GE(end, 0) << log.join('\n').toStdString();
    EXPECT_EQ(log.count(QStringLiteral("D KX.InternEndProgram An ")), 1);
    EXPECT_TRUE(log.mid(end).contains(QStringLiteral("D KX.InternEndProgram En ")));
    EXPECT_TRUE(log.mid(end).filter(QStringLiteral("KX.NeuesObjekt An ")).isEmpty())
        << log.mid(end).join('\n').toStdString();
    const QStringList journal = line.journal();
    const qsizetype stop = journal.indexOf(QStringLiteral("stop-request"));
    ASSERT_GE(stop, 0);
    EXPECT_GT(journal.indexOf(QStringLiteral("ended")), stop);
}

class EndingOnTheLine : public InstalledLineTest {
protected:
    EndingOnTheLine() : InstalledLineTest(fiveFullMachines()) {}

    // The line's ten hot-melt tanks take 50 ms each to start: the start of the modules then lasts
    // half a second, long enough to end the program in its middle whatever the machine's pace.
    void startTheModulesSlowly() {
        line.replacePlugin(QStringLiteral("kestrix_module_xmelt.so"),
                           QStringLiteral(KESTRIX_SLOWSTART_PLUGIN));
    }

    // Until the countdown's last tick has begun the start of the modules, watched closely.
    void waitForTheStartOfTheModules() {
        QElapsedTimer waited;
        waited.start();
        while (!line.logHas(QStringLiteral("S KX.TimerErstemal_Timer An ")) &&
               waited.elapsed() < 20000) {
            QThread::msleep(5);
        }
    }
};

// "End" answered Yes as soon as the countdown's last tick has begun the start of the modules: the
// pointer waits on "End" (45, 8475 twips: pixel 3, 565) during the countdown, and clicks the
// moment the log shows the start.
TEST_F(EndingOnTheLine, EndAnsweredYesWhileTheModulesAreCreatedEndsCleanly) {
    startTheModulesSlowly();
    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S FormActivate En ")));
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());
    line.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window,
                  QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                  QStringLiteral("40"), QStringLiteral("580")});
    waitForTheStartOfTheModules();
    line.xdotool({QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(line.answerBox(QStringLiteral("Return")));
    expectOrderlyEnd(line);
    expectTheEndInTheMiddleOfTheStart(line);
}

// TERM from outside, as a service stop sends it, in the middle of the start of the modules.
TEST_F(EndingOnTheLine, TermWhileTheModulesAreCreatedEndsCleanly) {
    startTheModulesSlowly();
    line.startShell();
    waitForTheStartOfTheModules();
    line.shell.terminate();
    expectOrderlyEnd(line);
    expectTheEndInTheMiddleOfTheStart(line);
}

// With a runtime that does not stop, the first TERM ends the window's work and the shell waits
// for the runtime; a second TERM ends the shell at once, as the signal does by itself.
TEST_F(EndingOnTheLine, ASecondTermEndsAtOnce) {
    line.environment.insert(QStringLiteral("KESTRIX_HMI_COMMAND"),
                            line.hmi() + QStringLiteral(" --ignore-stop"));
    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S FormActivate En ")));
    line.shell.terminate();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("D KX.InternEndProgram En ")));
    EXPECT_FALSE(line.shell.waitForFinished(500));
    EXPECT_TRUE(line.journal().contains(QStringLiteral("stop-request")));
    line.shell.terminate();
    ASSERT_TRUE(line.shell.waitForFinished(5000));
    EXPECT_EQ(line.shell.exitStatus(), QProcess::CrashExit);
}

// Five OCR modules raising an event every 50 ms each: the boxes nest sixteen deep and no deeper,
// and TERM still ends the program in order.
TEST_F(EndingOnTheLine, AnEventStormStopsAtSixteenOpenBoxesAndTermEndsIt) {
    line.replacePlugin(QStringLiteral("kestrix_module_ocr.so"),
                       QStringLiteral(KESTRIX_EVENTSTORM_PLUGIN));
    line.root.writeProgramIni(
        "[Project]\nNumberOfMachines=5\n[Machine1]\nOCRNumberOfModules=1\n"
        "[Machine2]\nOCRNumberOfModules=1\n[Machine3]\nOCRNumberOfModules=1\n"
        "[Machine4]\nOCRNumberOfModules=1\n[Machine5]\nOCRNumberOfModules=1\n");
    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("D KX.NeuesObjekt En ")));
    ASSERT_TRUE(waitUntil([&] { return line.messageBoxes().size() >= 16; }, 15000))
        << "the boxes did not pile up";
    // Two more seconds of storm: some 200 more events wait, none opens a box.
    QThread::msleep(2000);
    EXPECT_EQ(line.messageBoxes().size(), 16);
    line.shell.terminate();
    expectOrderlyEnd(line);
}

}  // namespace
}  // namespace kestrix
