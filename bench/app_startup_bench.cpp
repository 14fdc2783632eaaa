// Start-up: from process start to the operator window's first paint (offscreen, the runtime
// stand-in answering at once), against the smallest Qt window program, side by side in one run.
// Each program is started afresh for every iteration and killed after its first paint.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include "bench_compare.h"

namespace {

const QString ProgramDir = QStringLiteral(KESTRIX_BENCH_PROGRAM_DIR);

// A line root with the shell and its runtime, so that the shell finds its settings where it
// expects them.
struct BenchRoot {
    BenchRoot() {
        QDir(dir.path()).mkpath(QStringLiteral("Parameter"));
        QDir(dir.path()).mkpath(QStringLiteral("Program/Kestrix/plugins"));
        const QString target = dir.path() + QStringLiteral("/Program/Kestrix/");
        QFile::copy(ProgramDir + QStringLiteral("/kestrix"), target + QStringLiteral("kestrix"));
        QFile::copy(ProgramDir + QStringLiteral("/kestrix-hmi"),
                    target + QStringLiteral("kestrix-hmi"));
        for (const QString& plugin :
             QDir(ProgramDir + QStringLiteral("/plugins")).entryList({QStringLiteral("*.so")})) {
            QFile::copy(ProgramDir + QStringLiteral("/plugins/") + plugin,
                        target + QStringLiteral("plugins/") + plugin);
        }
    }
    QString shell() const { return dir.path() + QStringLiteral("/Program/Kestrix/kestrix"); }
    QTemporaryDir dir;
};

// Starts the program and returns the seconds until it announces its first paint.
double secondsToFirstPaint(const QString& program, const char* marker) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KESTRIX_REPORT_FIRST_PAINT"), QStringLiteral("1"));
    environment.insert(
        QStringLiteral("KESTRIX_HMI_SOCKET"),
        QStringLiteral("kestrix-bench-") + QUuid::createUuid().toString(QUuid::Id128));
    environment.insert(QStringLiteral("KESTRIX_HMI_JOURNAL"), QStringLiteral("/dev/null"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray seen;
    while (!seen.contains(marker) && process.waitForReadyRead(10000)) {
        seen += process.readAll();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    process.kill();
    process.waitForFinished();
    // The shell's runtime outlives the killed shell; it is told to end like any runtime.
    QProcess stop;
    stop.setProcessEnvironment(environment);
    stop.start(ProgramDir + QStringLiteral("/kestrix-hmi"), {QStringLiteral("stop")});
    stop.waitForFinished();
    return seen.contains(marker) ? seconds : -1;
}

void reportOrFail(benchmark::State& state, double seconds) {
    if (seconds < 0) {
        state.SkipWithError("the program never painted");
        return;
    }
    state.SetIterationTime(seconds);
}

void BM_MinimalQtWindowFirstPaint(benchmark::State& state) {
    const QString program = QStringLiteral(KESTRIX_BENCH_DIR "/minimal_window");
    for (auto _ : state) {
        reportOrFail(state, secondsToFirstPaint(program, "minimal: first paint"));
    }
}

void BM_KestrixOperatorWindowFirstPaint(benchmark::State& state) {
    BenchRoot root;
    for (auto _ : state) {
        reportOrFail(state, secondsToFirstPaint(root.shell(), "kestrix: first paint"));
    }
}

BENCHMARK(BM_MinimalQtWindowFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_KestrixOperatorWindowFirstPaint)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    return kestrix::bench::runAndCompare(
        argc, argv,
        {{"BM_KestrixOperatorWindowFirstPaint", "BM_MinimalQtWindowFirstPaint",
          kestrix::bench::Comparison::Ratio, 1.8}});
}
