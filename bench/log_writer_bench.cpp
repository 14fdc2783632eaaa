// The log writer's cost beside the file work it cannot avoid, measured side by side in one run:
// a log line against a bare open + write + close + stat of the same bytes, and the reduction of a
// 2 MB log against copying 2 MB flushed to disk (the safe replace needs the flush; the unflushed
// copy is shown beside them). The ratios of the medians are printed at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_compare.h"
#include "log/LogWriter.h"
#include "platform/Clock.h"

namespace kestrix {
namespace {

const QTemporaryDir& workDir() {
    static const QTemporaryDir dir;
    return dir;
}

std::string pathOf(const char* name) {
    return workDir().filePath(name).toStdString();
}

void writeFile(const std::string& path, const QByteArray& content) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0 || ::write(file, content.constData(), content.size()) != content.size()) {
        std::perror(path.c_str());
    }
    ::close(file);
}

const QString LineText = QStringLiteral("KX.TimerErstemal_Timer.HotmeltStart An ");

// --- A log line ----------------------------------------------------------------------------------

void LogLine(benchmark::State& state) {
    const std::string path = pathOf("line.log");
    ::unlink(path.c_str());
    SystemClock clock;
    LogWriter log(clock);
    log.LogDateiName = QString::fromStdString(path);
    log.LogDateiGroesse = 2000000;  // far beyond what the run writes: no reduction
    log.LogSystem = true;
    for (auto _ : state) {
        log.WriteLogLine(LineText, LogWriter::Line::System);
    }
}

void LogLineFloor(benchmark::State& state) {
    const std::string path = pathOf("floor.log");
    ::unlink(path.c_str());
    const QByteArray line = "S 09:41:05 03.27.26 " + LineText.toLatin1() + "\r\n";
    for (auto _ : state) {
        const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(file, line.constData(), line.size()));
        ::close(file);
        struct stat status {};
        benchmark::DoNotOptimize(::stat(path.c_str(), &status));
    }
}

// --- A reduction of 2 MB -------------------------------------------------------------------------

const QByteArray& twoMegabyteLog() {
    static const QByteArray log = [] {
        QByteArray lines;
        for (int number = 0; lines.size() < 2 * 1024 * 1024; ++number) {
            lines += "S 09:41:05 03.27.26 line " +
                     QByteArray::number(number).rightJustified(6, '0') + ' ' + QByteArray(30, 'x') +
                     "\r\n";
        }
        return lines;
    }();
    return log;
}

// Each round starts from the same freshly written 2 MB log, outside the measured time.
void restoreLog(benchmark::State& state, const std::string& path) {
    state.PauseTiming();
    writeFile(path, twoMegabyteLog());
    state.ResumeTiming();
}

void Reduce2MB(benchmark::State& state) {
    const std::string path = pathOf("reduce.log");
    SystemClock clock;
    LogWriter log(clock);
    log.LogDateiName = QString::fromStdString(path);
    log.LogDateiGroesse = 2000;
    for (auto _ : state) {
        restoreLog(state, path);
        log.ReduceLogFile();
    }
}

void copyFile(const std::string& from, const std::string& to, bool flushToDisk) {
    std::vector<char> buffer(256 * 1024);
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int copy = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ssize_t count;
    while ((count = ::read(source, buffer.data(), buffer.size())) > 0) {
        benchmark::DoNotOptimize(::write(copy, buffer.data(), static_cast<size_t>(count)));
    }
    if (flushToDisk) {
        ::fsync(copy);
    }
    ::close(copy);
    ::close(source);
}

void Copy2MB(benchmark::State& state) {
    const std::string path = pathOf("copy.log");
    const std::string copy = pathOf("copy.log.copy");
    for (auto _ : state) {
        restoreLog(state, path);
        copyFile(path, copy, false);
    }
}

void Copy2MBFlushed(benchmark::State& state) {
    const std::string path = pathOf("flushed.log");
    const std::string copy = pathOf("flushed.log.copy");
    for (auto _ : state) {
        restoreLog(state, path);
        copyFile(path, copy, true);
    }
}

constexpr int Repetitions = 9;

BENCHMARK(LogLine)->UseRealTime()->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(LogLineFloor)->UseRealTime()->Repetitions(Repetitions)->ReportAggregatesOnly(true);
BENCHMARK(Reduce2MB)
    ->UseRealTime()
    ->Repetitions(Repetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);
BENCHMARK(Copy2MB)
    ->UseRealTime()
    ->Repetitions(Repetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);
BENCHMARK(Copy2MBFlushed)
    ->UseRealTime()
    ->Repetitions(Repetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);

}  // namespace
}  // namespace kestrix

int main(int argc, char** argv) {
    return kestrix::bench::runAndCompare(
        argc, argv,
        {{"LogLine", "LogLineFloor", kestrix::bench::Comparison::Ratio, 1.15},
         {"Reduce2MB", "Copy2MBFlushed", kestrix::bench::Comparison::Ratio, 1.2}});
}
