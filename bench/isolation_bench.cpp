// Modules in processes of their own, on an X display (bench/on_x_server gives the program one):
//
//  - start-up: the 20 modules of a full two-machine line created by the process factory into a
//    shown window's plug-in area and laid out, from the factory getting ready (it starts its spare
//    processes) until the layout has read the 20th module's height, against 20 minimal window
//    programs started at once until each has painted; target: at most 1.3 times the floor; and
//    the same line as the operator window starts it, its module processes started as the window
//    gets ready and the countdown's five seconds later its modules created and laid out (timed
//    from the first creation), against the same floor;
//  - memory: the proportional set size of the shell's process, its 20 module processes and its
//    spare processes, with the line shown and running (each measured in a run of this program of
//    its own), beside the same line in the shell's process; target: at most 150 MiB in all;
//  - an event: the time from a module's emit until the shell's handler has it, and until the emit
//    returns after the handler, in a process of its own and in the shell's process.

#include <benchmark/benchmark.h>
#include <sys/types.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "ChildProcesses.h"
#include "WaitUntil.h"
#include "bench_compare.h"
#include "bench_self_run.h"
#include "host_line_window.h"
#include "isolation/ProcessControlFactory.h"
#include "platform/Clock.h"

namespace {

using kestrix::ControlFactory;
using kestrix::Extender;
using kestrix::ModuleCalls;
using kestrix::PluginControlFactory;
using kestrix::ProcessControlFactory;
using kestrix::runEventsUntil;
using kestrix::runningChildren;
using kestrix::ScreenTwips;
using kestrix::bench::LineSetup;
using kestrix::bench::LineWindow;

const QString ModuleHost = QStringLiteral(KESTRIX_BENCH_PROGRAM_DIR "/kestrix-module");
const kestrix::SystemClock systemClock{};
const QString MinimalWindow = QStringLiteral(KESTRIX_BENCH_DIR "/minimal_window");
constexpr double TargetStartRatio = 1.3;
constexpr double TargetTotalMiB = 150.0;
constexpr int CountdownMs = 5000;
constexpr int WaitMs = 10000;  // the longest wait for a window, a paint or the events
constexpr int EchoRounds = 5;
constexpr int EchoesPerRound = 1000;

LineSetup* line = nullptr;  // while the program runs

// Whether the process has loaded a library of the line's plug-in folder: a module process that
// runs its module, where a spare has loaded none.
bool runsAModule(pid_t pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    const QByteArray folder =
        QFileInfo(kestrix::bench::pluginFolder()).canonicalFilePath().toUtf8();
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(folder + '/');
}

int moduleProcesses() {
    const std::vector<pid_t> pids = runningChildren();
    return static_cast<int>(std::count_if(pids.begin(), pids.end(), runsAModule));
}

// The proportional set size of the process in MiB (its share of the pages it shares), or -1.
double pssMiB(const QString& pid) {
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& row : rollup.readAll().split('\n')) {
        if (row.startsWith("Pss:")) {
            return row.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

// The CPU time that the processes have used so far, in milliseconds.
double cpuMs(const std::vector<pid_t>& pids) {
    double ticks = 0;
    for (pid_t pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            // After the name in parentheses: the state is field 3, utime 14 and stime 15.
            const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
            ticks += fields.value(12).toDouble() + fields.value(13).toDouble();
        }
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// How long a start-up took, and the CPU time its other processes used meanwhile.
struct StartUp {
    double seconds = -1;
    double processCpuMs = 0;
};

// The window of the line, shown (and exposed on the display) before its modules are created.
bool showEmptyWindow(LineWindow& window) {
    window.window->show();
    return runEventsUntil([&] { return window.window->windowHandle()->isExposed(); }, WaitMs);
}

// The line's modules, all created.
bool allCreated(const LineWindow& window) {
    if (window.host->slotCount() != ModuleCalls::SlotCount) {
        return false;
    }
    for (int n = 1; n <= ModuleCalls::SlotCount; ++n) {
        if (window.host->ObjWithEvent(n) == nullptr) {
            return false;
        }
    }
    return true;
}

// From the factory's getting ready to the layout of the 20th module; or, as the operator window
// has it, the countdown's time passing after the factory got ready and timed from the creation of
// the first module. No time when a module was not created or its process is not running.
StartUp lineLaidOut(bool isolated, int countdownMs = 0) {
    ProcessControlFactory processes(line->registry(), ModuleHost, ScreenTwips{}, systemClock);
    ControlFactory& controls =
        isolated ? static_cast<ControlFactory&>(processes) : line->registry();
    LineWindow window = LineSetup::emptyPluginArea();
    if (!showEmptyWindow(window)) {
        return {};
    }
    QElapsedTimer clock;
    clock.start();
    line->attachHost(window, controls);
    double cpuBefore = 0;
    if (countdownMs > 0) {
        QElapsedTimer countdown;
        countdown.start();
        runEventsUntil([&] { return countdown.elapsed() >= countdownMs; }, countdownMs + WaitMs);
        cpuBefore = cpuMs(runningChildren());
        clock.restart();
    }
    line->startModules(window, controls);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool running = !isolated || moduleProcesses() == ModuleCalls::SlotCount;
    if (!allCreated(window) || !running) {
        return {};
    }
    return {seconds, cpuMs(runningChildren()) - cpuBefore};
}

// The floor: one minimal window program per module, all started at once, until each has announced
// its first paint; no time when one did not.
StartUp minimalWindowsPainted() {
    std::vector<std::unique_ptr<QProcess>> programs;
    std::vector<QByteArray> output(ModuleCalls::SlotCount);
    int painted = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < ModuleCalls::SlotCount; ++i) {
        auto& program = programs.emplace_back(std::make_unique<QProcess>());
        program->setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(program.get(), &QProcess::readyRead, [&, i] {
            const bool before = output[i].contains("minimal: first paint");
            output[i] += programs[i]->readAll();
            painted += !before && output[i].contains("minimal: first paint");
        });
        program->start(MinimalWindow, {});
    }
    const bool allPainted =
        runEventsUntil([&] { return painted == ModuleCalls::SlotCount; }, WaitMs);
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::vector<pid_t> pids;
    for (auto& program : programs) {
        pids.push_back(static_cast<pid_t>(program->processId()));
    }
    const StartUp startUp{allPainted ? seconds : -1, cpuMs(pids)};
    for (auto& program : programs) {
        program->kill();
        program->waitForFinished();
    }
    return startUp;
}

// The time, and the CPU time of the module processes or the window programs beside it (most of
// the time is theirs on a machine of few cores).
void reportOrFail(benchmark::State& state, const StartUp& startUp) {
    if (startUp.seconds < 0) {
        state.SkipWithError("a module or a window did not start");
        return;
    }
    state.SetIterationTime(startUp.seconds);
    state.counters["process_cpu_ms"] = startUp.processCpuMs;
}

void BM_TwentyMinimalWindowsPainted(benchmark::State& state) {
    for (auto _ : state) {
        reportOrFail(state, minimalWindowsPainted());
    }
}

void BM_TwentyIsolatedModulesLaidOut(benchmark::State& state) {
    for (auto _ : state) {
        reportOrFail(state, lineLaidOut(true));
    }
}

void BM_TwentyIsolatedModulesAfterTheCountdown(benchmark::State& state) {
    for (auto _ : state) {
        reportOrFail(state, lineLaidOut(true, CountdownMs));
    }
}

// For comparison only: the same line in the shell's process.
void BM_TwentyModulesInProcessLaidOut(benchmark::State& state) {
    for (auto _ : state) {
        reportOrFail(state, lineLaidOut(false));
    }
}

void onceEachRepeated(benchmark::internal::Benchmark* run) {
    run->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
}
BENCHMARK(BM_TwentyMinimalWindowsPainted)->Apply(onceEachRepeated);
BENCHMARK(BM_TwentyIsolatedModulesLaidOut)->Apply(onceEachRepeated);
BENCHMARK(BM_TwentyIsolatedModulesAfterTheCountdown)->Apply(onceEachRepeated);
BENCHMARK(BM_TwentyModulesInProcessLaidOut)->Apply(onceEachRepeated);

// A run of its own: the line shown with its modules running for a while, then its memory printed
// as "shell modules spares module-processes" (MiB, MiB, MiB, count); the modules and spares are
// those of the process factory, none when the modules run in the shell's process.
int measureMemory(bool isolated) {
    ProcessControlFactory processes(line->registry(), ModuleHost, ScreenTwips{}, systemClock);
    LineWindow window = LineSetup::emptyPluginArea();
    if (!showEmptyWindow(window)) {
        return 1;
    }
    line->addModules(window, isolated ? static_cast<ControlFactory&>(processes) : line->registry());
    QTimer::singleShot(2500, qApp, &QApplication::quit);
    QApplication::exec();
    if (!allCreated(window)) {
        return 1;
    }
    double modules = 0;
    double spares = 0;
    int count = 0;
    for (pid_t pid : runningChildren()) {
        const bool module = runsAModule(pid);
        (module ? modules : spares) += pssMiB(QString::number(pid));
        count += module;
    }
    std::printf("%.2f %.2f %.2f %d\n", pssMiB(QStringLiteral("self")), modules, spares, count);
    return 0;
}

struct Memory {
    double shell = -1;
    double modules = 0;
    double spares = 0;
    int moduleProcesses = 0;
};

Memory memoryOfAnotherRun(const char* argument) {
    Memory memory;
    const auto output = kestrix::bench::outputOfSelfRun(std::string("memory ") + argument);
    if (!output || std::sscanf(output->c_str(), "%lf %lf %lf %d", &memory.shell, &memory.modules,
                               &memory.spares, &memory.moduleProcesses) != 4) {
        memory.shell = -1;
    }
    return memory;
}

bool compareMemory() {
    const Memory inProcess = memoryOfAnotherRun("in-process");
    const Memory isolated = memoryOfAnotherRun("isolated");
    if (inProcess.shell < 0 || isolated.shell < 0 ||
        isolated.moduleProcesses != ModuleCalls::SlotCount) {
        std::printf("%-60s did not run: missed\n", "memory of the line");
        return false;
    }
    std::printf("\nMemory (PSS) with the line shown and running:\n");
    std::printf("%-60s %8.2f MiB\n", "modules in the shell's process: the shell", inProcess.shell);
    std::printf("%-60s %8.2f MiB\n", "modules in processes of their own: the shell",
                isolated.shell);
    std::printf("%-60s %8.2f MiB\n", "  its 20 module processes", isolated.modules);
    std::printf("%-60s %8.2f MiB\n", "  its spare processes, started ahead", isolated.spares);
    return kestrix::bench::printVerdict(
        "modules in processes of their own: shell, modules and spares",
        isolated.shell + isolated.modules + isolated.spares, " MiB", TargetTotalMiB);
}

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double median(std::vector<double> values) {
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The echo module of one factory, and what its rounds measured: each event's time from the emit
// to the shell's handler, and each round's median time from an emit until it returned.
struct Echo {
    Extender* module = nullptr;
    std::vector<double> deliveredNs;
    std::vector<double> returnedNs;
};

// One round: the module raises its events one after the other; false when they did not all come.
bool echoRound(Echo& echo) {
    echo.deliveredNs.reserve(echo.deliveredNs.size() + EchoesPerRound);
    const size_t expected = echo.deliveredNs.size() + EchoesPerRound;
    echo.module->let(QStringLiteral("Emit"), true, {EchoesPerRound});
    if (!runEventsUntil([&] { return echo.deliveredNs.size() == expected; }, WaitMs)) {
        return false;
    }
    const double returned = echo.module->get(QStringLiteral("MedianEmitNs")).toDouble();
    echo.returnedNs.push_back(returned);
    return returned > 0;
}

bool compareEvents() {
    PluginControlFactory registry({QStringLiteral(KESTRIX_BENCH_ECHO_PLUGIN_DIR)}, ScreenTwips{});
    ProcessControlFactory processes(registry, ModuleHost, ScreenTwips{}, systemClock);
    QWidget window;
    window.resize(400, 300);
    window.show();
    Echo isolated;
    Echo inProcess;
    const QString progId = QStringLiteral("KestrixBench.Echo");
    try {
        isolated.module = processes.AddModule(progId, QStringLiteral("O1"), &window);
        inProcess.module = registry.AddModule(progId, QStringLiteral("O2"), &window);
    } catch (...) {
        std::printf("%-60s the echo module was not created: missed\n", "events");
        return false;
    }
    for (Echo* echo : {&isolated, &inProcess}) {
        QObject::connect(
            echo->module, &Extender::ObjectEvent, [echo](const kestrix::EventInfo& info) {
                echo->deliveredNs.push_back(
                    static_cast<double>(nowNs() - info.Parameters.value(0).toLongLong()));
            });
    }
    // The rounds alternate, so that a busy moment of the machine does not fall on one side only.
    for (int round = 0; round < EchoRounds; ++round) {
        if (!echoRound(isolated) || !echoRound(inProcess)) {
            std::printf("%-60s the echo module's events did not all come: missed\n", "events");
            return false;
        }
    }
    std::printf("\nAn event, %d rounds of %d (medians):\n", EchoRounds, EchoesPerRound);
    std::printf("%-60s %8.1f us\n", "emit to the shell's handler, module in its own process",
                median(isolated.deliveredNs) / 1e3);
    std::printf("%-60s %8.1f us\n", "emit to the shell's handler, module in the shell's process",
                median(inProcess.deliveredNs) / 1e3);
    std::printf("%-60s %8.1f us\n", "emit to its return, module in its own process",
                median(isolated.returnedNs) / 1e3);
    std::printf("%-60s %8.1f us\n", "emit to its return, module in the shell's process",
                median(inProcess.returnedNs) / 1e3);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "an X display is needed (QT_QPA_PLATFORM=xcb): bench/on_x_server\n");
        return 1;
    }
    LineSetup setup;
    if (!setup.findsEveryKind()) {
        return 1;
    }
    line = &setup;
    if (argc == 3 && std::strcmp(argv[1], "memory") == 0) {
        return measureMemory(std::strcmp(argv[2], "isolated") == 0);
    }
    kestrix::bench::runAndCompare(
        argc, argv,
        {{"BM_TwentyIsolatedModulesLaidOut", "BM_TwentyMinimalWindowsPainted",
          kestrix::bench::Comparison::Ratio, TargetStartRatio},
         {"BM_TwentyIsolatedModulesAfterTheCountdown", "BM_TwentyMinimalWindowsPainted",
          kestrix::bench::Comparison::Ratio, TargetStartRatio}});
    compareMemory();
    compareEvents();
    return 0;
}
