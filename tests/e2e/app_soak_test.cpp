// The operator storm on the installed line, in real time under a real X server with a window
// manager, the real runtime stand-in and the real plug-ins, driven with xdotool; the modules run
// in processes of their own or in the shell's, and some kinds are misbehaving stand-ins that die,
// hang or throw at a random moment or emit from a thread of their own. It runs for about a
// minute, so it is a soak test (label "soak"): the suite runs it once, in one build.
//
// KESTRIX_STORM_REAL_SEEDS=N runs N seeds in each of the two seeded tests (4 by default), and
// KESTRIX_STORM_REAL_SEED=S replays the one seed S.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <csignal>
#include <random>

#include "InstalledLine.h"
#include "host/ModuleKinds.h"

namespace kestrix {
namespace {

// One seed of the operator storm on the real line.
class RealStorm {
public:
    RealStorm(uint32_t seed, const QString& display) : seed_(seed), random_(seed) {
        line.showOn(display);
    }

    ~RealStorm() {
        // Editors that wait to be closed: the operator closes them.
        for (const QByteArray& pid :
             readFile(line.root.path() + QStringLiteral("/editor.pid")).split('\n')) {
            if (pid.toInt() > 0) {
                ::kill(static_cast<pid_t>(pid.toInt()), SIGTERM);
            }
        }
    }

    void run() {
        SCOPED_TRACE(testing::Message()
                     << "seed " << seed_ << " (replay: KESTRIX_STORM_REAL_SEED=" << seed_ << ")");
        configure();
        line.startShell();
        ASSERT_TRUE(line.waitForLog(QStringLiteral("S FormActivate En ")));
        window_ = line.operatorWindow();
        ASSERT_FALSE(window_.isEmpty());

        QElapsedTimer clock;
        clock.start();
        // Mostly past the countdown, so that the modules run (and misbehave) for a while; at times
        // the end comes before or while they start.
        const int duration = chance(25) ? 1500 + draw(4500) : 6000 + draw(4000);
        while (clock.elapsed() < duration && line.shell.state() != QProcess::NotRunning) {
            act();
            QThread::msleep(static_cast<unsigned long>(50 + draw(500)));
        }
        end();
        check();
    }

private:
    int draw(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
    bool chance(int percent) { return draw(100) < percent; }

    void configure() {
        const int machines = 1 + draw(5);
        QByteArray ini = "[Project]\nNumberOfMachines=" + QByteArray::number(machines) + "\n";
        for (int machine = 1; machine <= machines; ++machine) {
            ini += "[Machine" + QByteArray::number(machine) + "]\n";
            for (const ModuleKind& kind : ModuleKinds) {
                ini += QByteArray(kind.key) + "=" + QByteArray::number(chance(50) ? draw(4) : 0) +
                       "\n";
            }
        }
        line.root.writeProgramIni(ini);
        const bool isolated = chance(50);
        line.root.writeKestrixIni(
            QByteArray("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n[Modules]\nIsolation=") +
            (isolated ? "process\n" : "inprocess\n"));
        misbehave(isolated);
        const QString editor = line.root.path() + QStringLiteral("/editor");
        const char* waits[] = {"0", "2", "600"};  // ends at once, after a while, when closed
        writeFile(editor, QByteArray("#!/bin/sh\necho $$ >> \"$0.pid\"\nexec sleep ") +
                              waits[draw(3)] + "\n");
        QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        line.environment.insert(QStringLiteral("KESTRIX_EDITOR"), editor);
        ignoresStop_ = chance(25);
        if (ignoresStop_) {
            line.environment.insert(QStringLiteral("KESTRIX_HMI_COMMAND"),
                                    line.hmi() + QStringLiteral(" --ignore-stop"));
        }
        if (chance(70)) {
            startWatchedWindow();
        }
    }

    // Module kinds whose plug-ins misbehave. In the shell's process only the misbehaviour it
    // survives there: emits from a module's thread, a throw from its timer.
    void misbehave(bool isolated) {
        const char* survivable[] = {"timerthrowing", "threademitting"};
        const char* fatal[] = {"exiting", "crashing", "hanging"};
        for (const char* standIn : survivable) {
            if (chance(50)) {
                line.useStandIn(QLatin1String(standIn));
            }
        }
        for (const char* standIn : fatal) {
            if (isolated && chance(50)) {
                line.useStandIn(QLatin1String(standIn));
            }
        }
        // Under the sanitizers a module's crash stays a crash, without a report of theirs.
        line.environment.insert(QStringLiteral("ASAN_OPTIONS"),
                                line.environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                    QStringLiteral(":handle_segv=0"));
        line.environment.insert(QStringLiteral("KESTRIX_TEST_MISBEHAVE_AFTER_MS"),
                                QString::number(draw(2000)));
        line.environment.insert(QStringLiteral("KESTRIX_MODULE_ANSWER_LIMIT_S"),
                                QStringLiteral("2"));
    }

    void startWatchedWindow() { line.openWatchedWindow(QStringLiteral("Vwwebbrowser")); }

    // A click where the operator clicks: the window is brought back first (the watched window may
    // have covered it, or it may be minimised), without waiting for it, since a box of the
    // program may hold the focus or the window may be gone.
    void click(int x, int y) {
        if (line.logHas(QStringLiteral("D KX.InternEndProgram An "))) {
            return;  // the window is gone
        }
        line.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), window_}, 2000);
        QThread::msleep(100);
        line.run(
            QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window_, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")},
            2000);
    }

    // Answers the newest open box with a key; false when none is open.
    bool answer(const QString& key) {
        const QString box = line.messageBoxes().value(0);
        if (box.isEmpty()) {
            return false;
        }
        line.run(QStringLiteral("xdotool"),
                 {QStringLiteral("windowactivate"), QStringLiteral("--sync"), box,
                  QStringLiteral("key"), key},
                 3000);
        return true;
    }

    // One action at a random moment: clicks on the window's buttons, its plug-in area (the
    // modules' own buttons raise events) and its scroll bar, answers to open boxes, the language,
    // the watched window, TERM.
    void act() {
        ++actions_;
        const int action = draw(10);
        // The actions that may end the program come seldom before the modules have started, so
        // that most seeds see the modules run (and misbehave).
        const bool ends = action == 0 || action == 8 || action == 9;
        if (ends && !line.logHas(QStringLiteral("S KX.TimerErstemal_Timer En ")) && chance(80)) {
            return;
        }
        switch (action) {
            case 0:  // End, answered Yes or No
                click(40, 580);
                QThread::msleep(300);
                answer(chance(30) ? QStringLiteral("Return") : QStringLiteral("Escape"));
                break;
            case 1:  // Hide
                click(40, 548);
                break;
            case 2:  // Log File
                click(700, 545);
                break;
            case 3:
            case 4:  // somewhere in the plug-in area
                click(5 + draw(740), 5 + draw(520));
                break;
            case 5:  // the scroll bar: a click on its track or a drag of its handle
                if (chance(50)) {
                    click(778, 10 + draw(510));
                } else if (!line.logHas(QStringLiteral("D KX.InternEndProgram An "))) {
                    line.run(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QStringLiteral("--window"), window_,
                              QStringLiteral("778"), QString::number(10 + draw(60)),
                              QStringLiteral("mousedown"), QStringLiteral("1"),
                              QStringLiteral("mousemove"), QStringLiteral("--window"), window_,
                              QStringLiteral("778"), QString::number(100 + draw(400)),
                              QStringLiteral("mouseup"), QStringLiteral("1")},
                             2000);
                }
                break;
            case 6:  // open boxes are answered
                for (int i = 0; i < 5 && answer(QStringLiteral("Return")); ++i) {
                }
                break;
            case 7:
                line.run(line.hmi(),
                         {QStringLiteral("set"), QStringLiteral("Ch-1.param_client<.sprache>"),
                          chance(50) ? QStringLiteral("1031") : QStringLiteral("1033")});
                break;
            case 8:  // the watched window goes or comes
                if (line.watched.state() != QProcess::NotRunning) {
                    line.watched.kill();
                    line.watched.waitForFinished(5000);
                } else {
                    startWatchedWindow();
                }
                break;
            case 9:  // TERM, once: a second one ends the program at once
                if (chance(20) && !termSent_) {
                    termSent_ = true;
                    line.shell.terminate();
                }
                break;
        }
    }

    // The schedule is over: TERM ends the program in order, and where the runtime ignores the stop
    // request the shell stays until the runtime ends from outside.
    void end() {
        if (line.shell.state() == QProcess::NotRunning) {
            return;
        }
        if (!termSent_) {
            termSent_ = true;
            line.shell.terminate();
        }
        if (ignoresStop_) {
            ASSERT_TRUE(line.waitForLog(QStringLiteral("D KX.InternEndProgram En ")));
            EXPECT_FALSE(line.shell.waitForFinished(500)) << "ended without the runtime's end";
            line.run(line.hmi(), {QStringLiteral("stop")});
        }
    }

    void check() {
        // Each hung module that the end calls holds it up for the answer limit.
        ASSERT_TRUE(line.shell.waitForFinished(60000)) << "the shell did not end";
        EXPECT_EQ(line.shell.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(line.shell.exitCode(), 0);
        EXPECT_EQ(logMalformation(line.root.defaultLog()), QString());
        const QStringList log = line.log();
        // Only requests beyond the 20th slot fault, as a second start of the modules after the
        // window was activated anew makes them, and the misbehaving modules: a stop each, a line
        // for each throw from a timer.
        const QRegularExpression expected(QStringLiteral(
            "^E Fault (9; |440; the module in slot \\d+ stopped: |440; relay stuck; )"));
        for (const QString& fault : log.filter(QRegularExpression(QStringLiteral("^E ")))) {
            EXPECT_TRUE(expected.match(fault).hasMatch()) << fault.toStdString();
            stops_ += fault.contains(QStringLiteral(" stopped: "));
        }
        EXPECT_LE(log.count(QStringLiteral("D KX.InternEndProgram An ")), 1);
        const qsizetype end = log.indexOf(QStringLiteral("D KX.InternEndProgram An "));
        if (end >= 0) {
            EXPECT_TRUE(log.mid(end).filter(QStringLiteral("KX.NeuesObjekt An ")).isEmpty());
        }
    }

public:
    int actions_ = 0;
    int stops_ = 0;  // of modules in processes of their own

private:
    uint32_t seed_;
    std::mt19937 random_;
    InstalledLine line;
    QString window_;
    bool ignoresStop_ = false;
    bool termSent_ = false;
};

class OperatorStormOnTheLine : public XServerTest {
protected:
    void runSeeds(uint32_t first) {
        uint32_t count = qEnvironmentVariableIntValue("KESTRIX_STORM_REAL_SEEDS");
        count = count > 0 ? count : 4;
        if (qEnvironmentVariableIsSet("KESTRIX_STORM_REAL_SEED")) {
            first = qEnvironmentVariableIntValue("KESTRIX_STORM_REAL_SEED");
            count = 1;
        }
        int actions = 0;
        int stops = 0;
        for (uint32_t seed = first; seed < first + count && !HasFailure(); ++seed) {
            RealStorm storm(seed, x.display());
            storm.run();
            actions += storm.actions_;
            stops += storm.stops_;
        }
        std::printf(
            "operator storm on the line: %u seeds from %u, %d actions, %d modules stopped\n", count,
            first, actions, stops);
    }
};

TEST_F(OperatorStormOnTheLine, SeedsFromOne) {
    runSeeds(1);
}

TEST_F(OperatorStormOnTheLine, SeedsFromThousand) {
    runSeeds(1001);
}

}  // namespace
}  // namespace kestrix
