// The operator storm: seeded random schedules of everything that can happen to the shell, at
// random moments, against the real windows on fake seams with the test controls as modules. An
// action runs either directly, or at the next pass of the event loop, whichever procedure lets it
// run: the start sequence, the scroll refresh, the wait for the editor, the end itself, or an open
// message box. The storm drives the timers' ticks and the clock itself, so a seed takes
// milliseconds.
//
// Per seed it checks: the program ends, with exit code 0, exactly when an end was asked for (and
// the runtime ends on the stop request) and keeps running otherwise; the runtime is asked to stop
// once per end; every module created was terminated at the end and none was created after; the
// log is well formed, ends in a whole line, and has no fault lines but those the line's
// configuration provokes. A crash or a sanitizer report fails the run with the seed named.
//
// KESTRIX_STORM_SEEDS=N runs N seeds (300 by default) from KESTRIX_STORM_FIRST (1);
// KESTRIX_STORM_SEED=S replays the one seed S.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>

#include <unistd.h>

#include "AppHarness.h"
#include "host/Extender.h"
#include "host/ModuleKinds.h"

namespace kestrix {
namespace {

// The seed being run, for a crash report.
char crashNote[96] = "operator storm: crashed before the first seed\n";
struct sigaction previousActions[NSIG];

extern "C" void onCrash(int number) {
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, crashNote, std::strlen(crashNote));
    // The handler that was there before (the sanitizer's report, or the default) takes over.
    sigaction(number, &previousActions[number], nullptr);
    if (number == SIGABRT) {
        std::raise(number);
    }
}

void reportCrashesWithTheSeed() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) {
        sigaction(number, &action, &previousActions[number]);
    }
}

struct Figures {
    int seeds = 0;
    long actions = 0;
    long nested = 0;      // actions run inside a yield, a wait or an open box
    int withModules = 0;  // seeds that got as far as creating modules
    int endsAsked = 0;
    int endsAskedNested = 0;  // ends asked for inside a yield, a wait or a box
    int programEnds = 0;
};

class Storm {
public:
    explicit Storm(uint32_t seed) : seed_(seed), random_(seed) {}

    // The schedule runs from the program's event loop, as clicks and ticks do: each top-level
    // action is one event, and the loop carries out deferred work between them as it would.
    void run(Figures& figures) {
        configure();
        app.activated();
        session_ = app.session();
        // The storm ticks the timers itself: their own ticks would come only after an hour.
        for (QTimer* timer : session_->findChildren<QTimer*>()) {
            timer->setInterval(3600 * 1000);
        }
        QEventLoop loop;
        std::function<void()> next = [&] {
            if (budget_ <= 0 || ended()) {
                loop.quit();
                return;
            }
            step(0);
            advanceClock();
            atNextYield(next);
        };
        atNextYield(next);
        loop.exec();
        windDown();
        check();
        figures.actions += actions_;
        figures.nested += nested_;
        figures.withModules += app.testControls.addCalls.empty() ? 0 : 1;
        figures.endsAsked += endAsked_ ? 1 : 0;
        figures.endsAskedNested += endAsked_ && endNesting_ > 0 ? 1 : 0;
        figures.programEnds += ended() ? 1 : 0;
    }

private:
    enum class Action {
        TickCountdown,
        TickLifeSign,
        TickWatcher,
        End,
        CloseBox,
        Hide,
        LogFile,
        CloseEditors,
        Language,
        WatchedWindowGoes,
        WatchedWindowComes,
        Events,
        ScrollMove,
        ScrollDrag,
        Activate,
        Term,
        RuntimeDies,
        Count
    };

    int draw(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
    bool chance(int percent) { return draw(100) < percent; }

    // Ticks and events often, ends seldom, so that most seeds get through the countdown and the
    // start of the modules before something ends them.
    Action drawAction() {
        static constexpr std::array<int, static_cast<size_t>(Action::Count)> Weights = {
            28, 6, 6,  // ticks: countdown, life sign, watcher
            3,  1, 5,  // End, the close box, Hide
            5,  4,     // Log File, the editors closed
            6,  2, 4,  // language, the watched window going and coming
            12, 8, 6,  // module events, scroll-bar moves and drags
            4,  1, 1,  // activation, TERM, the runtime dying
        };
        int left = draw(std::accumulate(Weights.begin(), Weights.end(), 0));
        size_t action = 0;
        while (left >= Weights[action]) {
            left -= Weights[action++];
        }
        return static_cast<Action>(action);
    }

    // The line, the log settings, how the runtime and the editor behave.
    void configure() {
        const int machines = 1 + draw(5);
        QByteArray ini = "[Project]\nNumberOfMachines=" + QByteArray::number(machines) + "\n";
        for (int machine = 1; machine <= machines; ++machine) {
            ini += "[Machine" + QByteArray::number(machine) + "]\nMachineName=M" +
                   QByteArray::number(machine) + "\n";
            for (const ModuleKind& kind : ModuleKinds) {
                const int mask = chance(40) ? draw(4) : 0;
                ini += QByteArray(kind.key) + "=" + QByteArray::number(mask) + "\n";
                for (int unit = 1; unit <= kind.highestUnit; ++unit) {
                    units_ += (mask >> (unit - 1)) & 1;
                }
            }
        }
        app.root.writeProgramIni(ini);
        app.root.writeKestrixIni(QByteArray("[Project]\nLogFileSystem=") +
                                 (chance(70) ? "TRUE" : "FALSE") +
                                 "\nLogFileData=" + (chance(80) ? "TRUE" : "FALSE") +
                                 "\nLogFileSize=" + (chance(30) ? "10" : "2000") + "\n");
        if (chance(70)) {
            app.desktop.openWindow(WatchedTitle);
        }
        runtimeStops_ = chance(75);
        app.runtime.onStopRequest = [this] {
            if (runtimeStops_) {
                atNextYield([this] { app.runtime.endRuntime(); });
            }
        };
        budget_ = 30 + draw(150);
        qputenv("KESTRIX_EDITOR", "/opt/storm-editor");
        app.processes.duringWait = [this](int) {
            if (budget_ <= 0 || ended()) {
                app.processes.endAll();
            } else {
                step(nesting_ + 1);
            }
        };
        app.dialogs.whileOpen = [this](const FakeDialogs::Box& box) {
            ++boxesOpen_;
            for (int i = draw(3); i > 0; --i) {
                step(nesting_ + 1);
            }
            --boxesOpen_;
            const bool question = (box.style & 0x0F) == MsgBoxStyle::YesNo;
            const bool yes = question && chance(35);
            endAsked_ = endAsked_ || (yes && !ended());
            app.dialogs.answers.prepend(question ? (yes ? MsgBoxResult::Yes : MsgBoxResult::No)
                                                 : MsgBoxResult::Ok);
        };
    }

    bool ended() const { return !app.exitCodes.isEmpty(); }
    bool windowUsable() const {
        return session_ && boxesOpen_ == 0 && session_->window().isVisible();
    }

    void advanceClock() {
        LocalDateTime& at = app.clock.at;
        at.second += 1 + draw(2);
        if (at.second >= 60) {
            at.second -= 60;
            at.minute = (at.minute + 1) % 60;
        }
    }

    // One action of the schedule, now or at the next pass of the event loop.
    void step(int nesting) {
        if (budget_ <= 0 || ended() || nesting > MaxNesting) {
            return;
        }
        --budget_;
        const Action action = drawAction();
        if (chance(35)) {
            atNextYield([this, action, nesting] { perform(action, nesting + 1); });
        } else {
            perform(action, nesting);
        }
    }

    void perform(Action action, int nesting) {
        if (ended()) {
            return;
        }
        ++actions_;
        nested_ += nesting > 0 ? 1 : 0;
        const int outer = nesting_;
        nesting_ = nesting;
        const bool endAskedBefore = endAsked_;
        switch (action) {
            case Action::TickCountdown:
                // Work for the next pass first, so that it lands inside the start sequence.
                for (int i = draw(3); i > 0; --i) {
                    step(nesting + 1);
                }
                tick("TimerErstemal", &OperatorSession::TimerErstemal_Timer);
                break;
            case Action::TickLifeSign:
                tick("TimerLeben", &OperatorSession::TimerLeben_Timer);
                break;
            case Action::TickWatcher:
                if (session_ && app.armed("TimerWebBrowser") &&
                    !app.desktop.windows.contains(WatchedTitle)) {
                    endAsked_ = true;
                }
                tick("TimerWebBrowser", &OperatorSession::TimerWebBrowser_Timer);
                break;
            case Action::End:
                click([this] { session_->window().cmdEnd()->click(); });
                break;
            case Action::CloseBox:
                click([this] { session_->window().close(); });
                break;
            case Action::Hide:
                click([this] { session_->window().cmdHide()->click(); });
                break;
            case Action::LogFile: {
                const int kind = draw(3);  // ends at once, after a while, when closed
                app.processes.slicesToRun = kind == 0 ? 0 : kind == 1 ? 1 + draw(6) : 1000000;
                click([this] { session_->window().cmdError()->click(); });
                break;
            }
            case Action::CloseEditors:
                app.processes.endAll();
                break;
            case Action::Language: {
                const QVariant values[] = {1031, 1033, 1036, 0, 1031.0, QStringLiteral("x")};
                app.runtime.changeVariable(QStringLiteral("Ch-1.param_client<.sprache>"),
                                           values[draw(6)]);
                break;
            }
            case Action::WatchedWindowGoes:
                app.desktop.closeWindow(WatchedTitle);
                break;
            case Action::WatchedWindowComes:
                app.desktop.openWindow(WatchedTitle);
                break;
            case Action::Events:
                raiseEvents();
                break;
            case Action::ScrollMove:
            case Action::ScrollDrag:
                scroll(action == Action::ScrollDrag);
                break;
            case Action::Activate:
                if (windowUsable()) {
                    emit session_->window().activated();
                }
                break;
            case Action::Term:
                endAsked_ = true;
                if (!session_) {
                    ++stopsWithoutWindow_;
                }
                app.start->EndOnSignal();
                break;
            case Action::RuntimeDies:
                runtimeDied_ = true;
                app.runtime.endRuntime();
                break;
            case Action::Count:
                break;
        }
        if (endAsked_ && !endAskedBefore) {
            endNesting_ = nesting;
        }
        nesting_ = outer;
    }

    // A tick of an armed timer, as the timer delivers it.
    void tick(const char* timer, void (OperatorSession::*handler)()) {
        if (session_ && app.armed(timer)) {
            if (handler == &OperatorSession::TimerErstemal_Timer) {
                ++countdownTicks_;
            }
            (session_.data()->*handler)();
        }
    }

    // A click reaches the window only while it is shown and no box of the program is open.
    void click(const std::function<void()>& work) {
        if (windowUsable()) {
            work();
        }
    }

    void raiseEvents() {
        std::vector<QPointer<TestControl>> alive;
        for (const auto& control : app.testControls.controls) {
            if (control) {
                alive.push_back(control);
            }
        }
        if (alive.empty()) {
            return;
        }
        for (int i = 1 + draw(5); i > 0; --i) {
            const QPointer<TestControl>& control =
                alive[static_cast<size_t>(draw(static_cast<int>(alive.size())))];
            if (control) {
                control->raiseEvent(QStringLiteral("storm"));
            }
        }
    }

    // The scroll bar moved to a position, or dragged across several; some positions arrive
    // while the refresh runs.
    void scroll(bool drag) {
        if (!windowUsable() || !session_->window().ScrollBar()) {
            return;
        }
        auto* bar = session_->window().ScrollBar()->control()->findChild<QScrollBar*>();
        if (bar == nullptr) {
            return;
        }
        const auto position = [&] {
            return bar->minimum() + draw(bar->maximum() - bar->minimum() + 1);
        };
        if (!drag) {
            bar->setValue(position());
            return;
        }
        bar->setSliderDown(true);
        for (int i = 2 + draw(5); i > 0; --i) {
            const int to = position();
            if (chance(50)) {
                QPointer<QScrollBar> dragged = bar;
                atNextYield([dragged, to] {
                    if (dragged) {
                        dragged->setSliderPosition(to);
                    }
                });
            } else {
                bar->setSliderPosition(to);
            }
        }
        bar->setSliderDown(false);
    }

    // The schedule is over: editors close, pending work runs, the runtime answers a stop request
    // that is still on its way.
    void windDown() {
        budget_ = 0;
        app.processes.endAll();
        QEventLoop loop;
        int passes = 5;
        std::function<void()> pass = [&] {
            if (--passes > 0) {
                atNextYield(pass);
            } else {
                loop.quit();
            }
        };
        atNextYield(pass);
        loop.exec();
    }

    void check() {
        SCOPED_TRACE(testing::Message() << "seed " << seed_);
        // The session is destroyed only by the end of the operator window's work.
        const bool windowEnded = session_.isNull();
        if (runtimeDied_) {
            // The runtime's end ends the program at once, whatever else happened.
            EXPECT_EQ(app.exitCodes.value(0, -1), 0);
            return;
        }
        // One stop request per end of the window's work, and one for each TERM after it.
        EXPECT_EQ(app.runtime.stopRequests, (windowEnded ? 1 : 0) + stopsWithoutWindow_);
        if (endAsked_) {
            EXPECT_TRUE(windowEnded) << "the operator window outlived an end";
            if (runtimeStops_) {
                EXPECT_EQ(app.exitCodes.value(0, -1), 0) << "the program did not end";
            } else {
                EXPECT_TRUE(app.exitCodes.isEmpty());
                EXPECT_EQ(app.forms.forms(), QList<QWidget*>{app.start});
                EXPECT_TRUE(app.start->isVisible());
            }
        } else {
            EXPECT_TRUE(app.exitCodes.isEmpty()) << "the program ended unasked";
            EXPECT_FALSE(windowEnded) << "the operator window ended unasked";
        }
        checkModules(windowEnded);
        checkLog();
    }

    // Every module created was terminated once at the end, none before, and none was created
    // after the first was terminated.
    void checkModules(bool windowEnded) {
        const QStringList calls = app.testControls.journal->sequence();
        const qsizetype firstTerminate = calls.indexOf(QRegularExpression("\\.Terminate$"));
        if (firstTerminate >= 0) {
            EXPECT_TRUE(calls.mid(firstTerminate).filter(QRegularExpression("\\.Init$")).isEmpty())
                << "a module was created after the end began";
        }
        const QStringList initialised = calls.filter(QRegularExpression("\\.Init$"));
        for (const QString& init : initialised) {
            const QString name = init.chopped(5);
            EXPECT_EQ(calls.count(name + ".Terminate"), windowEnded ? 1 : 0) << name.toStdString();
        }
    }

    void checkLog() {
        const QString log = app.root.defaultLog();
        EXPECT_EQ(logMalformation(log), QString());
        const QStringList lines = logTexts(log);
        // Only requests beyond the 20th slot fault (the slot does not exist); the sixth tick of
        // the countdown and every one after a new activation start all units again.
        const int requests = units_ * std::max(0, countdownTicks_ - 5);
        for (const QString& fault : lines.filter(QRegularExpression("^E "))) {
            EXPECT_TRUE(requests > 20 && fault.startsWith("E Fault 9; ")) << fault.toStdString();
        }
        const qsizetype end = lines.indexOf(QStringLiteral("D KX.InternEndProgram An "));
        if (end >= 0) {
            EXPECT_TRUE(lines.mid(end).filter("KX.NeuesObjekt").isEmpty());
            EXPECT_TRUE(lines.mid(end).filter("Start An ").isEmpty());
            EXPECT_EQ(lines.count(QStringLiteral("D KX.InternEndProgram An ")), 1);
        }
    }

    static constexpr int MaxNesting = 4;
    static inline const QString WatchedTitle = QStringLiteral("Vwwebbrowser");

    uint32_t seed_;
    std::mt19937 random_;
    AppHarness app;
    QPointer<OperatorSession> session_;
    int units_ = 0;
    int countdownTicks_ = 0;
    int budget_ = 0;
    int nesting_ = 0;
    int boxesOpen_ = 0;
    bool runtimeStops_ = true;
    bool runtimeDied_ = false;
    bool endAsked_ = false;
    int endNesting_ = 0;
    int stopsWithoutWindow_ = 0;
    long actions_ = 0;
    long nested_ = 0;
};

uint32_t environmentNumber(const char* name, uint32_t otherwise) {
    bool ok = false;
    const uint32_t value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : otherwise;
}

TEST(OperatorStorm, EndsSafelyAtAnyMomentOfRandomSchedules) {
    ensureApplication<KestrixApplication>();
    reportCrashesWithTheSeed();
    uint32_t first = environmentNumber("KESTRIX_STORM_FIRST", 1);
    uint32_t count = environmentNumber("KESTRIX_STORM_SEEDS", 300);
    if (qEnvironmentVariableIsSet("KESTRIX_STORM_SEED")) {
        first = environmentNumber("KESTRIX_STORM_SEED", 1);
        count = 1;
    }
    Figures figures;
    for (uint32_t seed = first; seed < first + count; ++seed) {
        std::snprintf(crashNote, sizeof crashNote,
                      "operator storm: crashed in seed %u (replay: KESTRIX_STORM_SEED=%u)\n", seed,
                      seed);
        Storm(seed).run(figures);
        ++figures.seeds;
        if (HasFailure()) {
            ADD_FAILURE() << "replay with KESTRIX_STORM_SEED=" << seed;
            break;
        }
    }
    std::printf(
        "operator storm: %d seeds, %ld actions (%ld inside a yield, a wait or a box); %d seeds "
        "created modules; %d asked for an end (%d inside a yield, a wait or a box); %d program "
        "ends\n",
        figures.seeds, figures.actions, figures.nested, figures.withModules, figures.endsAsked,
        figures.endsAskedNested, figures.programEnds);
}

}  // namespace
}  // namespace kestrix
