// A two-machine line from start to end under a real X server with a window manager: the
// countdown, the modules, the life sign, the commands, the language and the two ways to end.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "InstalledLine.h"

namespace kestrix {
namespace {

const QString LanguageVariable = QStringLiteral("Ch-1.param_client<.sprache>");

class Line : public InstalledLineTest {
protected:
    Line()
        : InstalledLineTest(
              "[Project]\nNumberOfMachines=2\n"
              "[Machine1]\nMachineName=Cartoner 1\nHotMeltTankNumberOfTanks=3\n"
              "OCRNumberOfModules=1\n"
              "[Machine2]\nMachineName=Cartoner 2\nOCRNumberOfModules=1\n"
              "TarvoSystems=1\n") {}

    bool logHas(const QString& text) const { return line.logHas(text); }
    bool waitForLog(const QString& text) const { return line.waitForLog(text); }
    void clickAt(const QString& window, int x, int y) const { line.clickAt(window, x, y); }
    void answerBox(const QString& key) const { ASSERT_TRUE(line.answerBox(key)) << "no box"; }
};

TEST_F(Line, CreatesTheModulesAfterTheCountdownAndEndsWhenTheWatchedWindowClosesNotWhenHidden) {
    const QString watched = line.openWatchedWindow(QStringLiteral("Vwwebbrowser"));
    ASSERT_FALSE(watched.isEmpty());
    line.startShell();
    ASSERT_TRUE(waitForLog(QStringLiteral("S FormActivate En ")));
    QElapsedTimer sinceActivation;
    sinceActivation.start();

    // During the countdown the other program hides its window for two of the watcher's ticks:
    // the window still exists, so the shell goes on.
    const QString watcherTick = QStringLiteral("S KX.TimerWebBrowser_Timer En ");
    line.tellWatchedWindow("hide");
    ASSERT_TRUE(waitUntil([&] {
        return !line.run(QStringLiteral("xprop"),
                         {QStringLiteral("-id"), watched, QStringLiteral("WM_STATE")})
                    .contains(QStringLiteral("Normal"));
    }));
    const qsizetype ticksBefore = line.log().count(watcherTick);
    ASSERT_TRUE(waitUntil([&] { return line.log().count(watcherTick) >= ticksBefore + 2; }));
    EXPECT_FALSE(line.shell.waitForFinished(100)) << "the shell ended while it was hidden";
    EXPECT_FALSE(logHas(QStringLiteral("D KX.InternEndProgram An ")));
    line.tellWatchedWindow("show");

    ASSERT_TRUE(waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
    // The countdown's five one-second ticks come first (a lower bound: a slow machine only
    // makes it longer).
    EXPECT_GE(sinceActivation.elapsed(), 4000);

    // Modules in the order of the kinds, machine before unit: tanks 1 and 2 of machine 1, the
    // OCR modules of both machines, then the Tarvo system of machine 2.
    const QStringList lines = line.log();
    auto countBetween = [&](const QString& kind) {
        const qsizetype from = lines.indexOf("D KX.TimerErstemal_Timer." + kind + " An ");
        const qsizetype to = lines.indexOf("D KX.TimerErstemal_Timer." + kind + " En ");
        return from < 0 || to < from
                   ? -1
                   : static_cast<int>(lines.mid(from, to - from)
                                          .filter(QStringLiteral("D KX.NeuesObjekt An "))
                                          .size());
    };
    EXPECT_EQ(countBetween(QStringLiteral("HotmeltStart")), 2);
    EXPECT_EQ(countBetween(QStringLiteral("OCRStart")), 2);
    EXPECT_EQ(countBetween(QStringLiteral("TarvoStart")), 1);
    EXPECT_EQ(countBetween(QStringLiteral("StampInspectionStart")), 0);
    EXPECT_TRUE(lines.filter(QStringLiteral("Fault")).isEmpty()) << lines.join('\n').toStdString();
    EXPECT_GE(lines.count(QStringLiteral("S KX.TimerLeben_Timer 100En ")), 3);

    // The language follows the HMI variable.
    line.run(line.hmi(), {QStringLiteral("set"), LanguageVariable, QStringLiteral("1031")});
    line.run(line.hmi(), {QStringLiteral("set"), LanguageVariable, QStringLiteral("1036")});
    EXPECT_TRUE(
        waitUntil([&] { return line.journal().contains(QStringLiteral("language 1033")); }));
    EXPECT_TRUE(line.journal().contains(QStringLiteral("language 1031")));
    EXPECT_LT(line.journal().indexOf(QStringLiteral("language 1031")),
              line.journal().indexOf(QStringLiteral("language 1033")));

    // The watched window goes: the watcher's next tick ends the window's work, and the runtime's
    // ended event the program.
    line.watched.kill();
    line.watched.waitForFinished(5000);
    ASSERT_TRUE(line.shell.waitForFinished(15000));
    EXPECT_EQ(line.shell.exitCode(), 0);
    const QStringList ending =
        line.log().mid(line.log().lastIndexOf(QStringLiteral("S KX.TimerWebBrowser_Timer An ")));
    EXPECT_EQ(ending, (QStringList{"S KX.TimerWebBrowser_Timer An ", "D KX.InternEndProgram An ",
                                   "D KX.InternEndProgram En ", "S KX.TimerWebBrowser_Timer En "}));
    const QStringList journal = line.journal();
    const qsizetype stop = journal.indexOf(QStringLiteral("stop-request"));
    ASSERT_GE(stop, 0);
    EXPECT_GT(journal.indexOf(QStringLiteral("ended")), stop);
}

TEST_F(Line, EndAnsweredNoLeavesEverythingAndYesEnds) {
    line.startShell();
    ASSERT_TRUE(waitForLog(QStringLiteral("S FormActivate En ")));
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());

    // "End" sits at 45, 8475 twips: pixel 3, 565, 73 × 29 pixels.
    clickAt(window, 40, 580);
    answerBox(QStringLiteral("Escape"));
    ASSERT_TRUE(waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
    EXPECT_FALSE(logHas(QStringLiteral("D KX.InternEndProgram An ")));
    EXPECT_FALSE(line.shell.waitForFinished(100)) << "the shell ended after No";

    clickAt(window, 40, 580);
    answerBox(QStringLiteral("Return"));
    ASSERT_TRUE(line.shell.waitForFinished(15000));
    EXPECT_EQ(line.shell.exitCode(), 0);
    EXPECT_TRUE(logHas(QStringLiteral("D KX.InternEndProgram En ")));
    const QStringList journal = line.journal();
    EXPECT_GT(journal.indexOf(QStringLiteral("ended")),
              journal.indexOf(QStringLiteral("stop-request")));
}

TEST_F(Line, LogFileOpensTheEditorWhileTheWindowKeepsTicking) {
    // A test editor that records its argument vector and stays open for three seconds.
    const QString editor = line.root.path() + QStringLiteral("/editor");
    const QString arguments = line.root.path() + QStringLiteral("/editor-arguments");
    writeFile(editor,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0-arguments\"\n"
              "sleep 3\n");
    QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    line.environment.insert(QStringLiteral("KESTRIX_EDITOR"), editor);
    const QString logName =
        line.root.path() + QStringLiteral("/log with blanks; and \"quotes\".log");
    line.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileName=" + logName.toUtf8() +
                              "\n");
    line.startShell();
    ASSERT_TRUE(waitUntil(
        [&] { return logTexts(logName).contains(QStringLiteral("S FormActivate En ")); }));
    const QString window = line.operatorWindow();
    ASSERT_FALSE(window.isEmpty());

    // "Log File" sits at 10245, 7995 twips: pixel 683, 533.
    clickAt(window, 700, 545);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(arguments); }, 10000));
    const qsizetype ticksBefore =
        logTexts(logName).count(QStringLiteral("S KX.TimerLeben_Timer 100En "));
    EXPECT_TRUE(waitUntil(
        [&] {
            return logTexts(logName).count(QStringLiteral("S KX.TimerLeben_Timer 100En ")) >=
                   ticksBefore + 2;
        },
        10000))
        << "the window stopped ticking while the editor was open";
    EXPECT_EQ(QString::fromUtf8(readFile(arguments)).split('\n', Qt::SkipEmptyParts),
              QStringList{logName});
}

}  // namespace
}  // namespace kestrix
