// The log under failing file systems and dying processes, with real files and real processes:
// a writer process (log_writer_child) is limited in the size of the files it may write, or is
// killed at random moments while it writes and reduces a small log.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FixedClock.h"
#include "LogFiles.h"
#include "log/LogWriter.h"

namespace kestrix {
namespace {

using logtest::Friday;

constexpr int LimitKb = 10;
constexpr qsizetype LineLength = 64;

// The text the writer process gives line `number`, and the whole line it becomes in the log.
QByteArray numberedText(long number) {
    return "line " + QByteArray::number(qlonglong{number}).rightJustified(6, '0') + ' ' +
           QByteArray(30, 'x');
}

QByteArray numberedLine(long number) {
    return "S 09:41:05 03.27.26 " + numberedText(number) + "\r\n";
}

QByteArray numberedLines(long first, long last) {
    QByteArray lines;
    for (long number = first; number <= last; ++number) {
        lines += numberedLine(number);
    }
    return lines;
}

// A running log_writer_child, with the read end of its standard output.
class WriterProcess {
public:
    WriterProcess(const QString& logPath, long first, long count, long long fileSizeLimit) {
        const std::string program =
            QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath().toStdString() +
            "/log_writer_child";
        std::vector<std::string> arguments{program,
                                           QFile::encodeName(logPath).toStdString(),
                                           std::to_string(LimitKb),
                                           std::to_string(first),
                                           std::to_string(count),
                                           std::to_string(fileSizeLimit)};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(output[1]);
        output_ = output[0];
    }

    ~WriterProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitForEnd();
        }
        if (output_ >= 0) {
            ::close(output_);
        }
    }

    // True once the process has said that it is about to write its first line.
    bool isWriting() {
        char ready = 0;
        return pid_ > 0 && ::read(output_, &ready, 1) == 1 && ready == 'r';
    }

    void kill() { ::kill(pid_, SIGKILL); }

    // The wait status of the ended process.
    int waitForEnd() {
        int status = -1;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

class LogWriterFaultsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString logPath() const { return dir.filePath("Kestrix.log"); }
    QString temporaryPath() const { return logPath() + ".tmp"; }

    // A line written by this process, like a writer that starts after the child has ended.
    void writeLaterLine(long number) {
        LogWriter log(clock, logtest::germanLocale());
        log.LogDateiName = logPath();
        log.LogDateiGroesse = LimitKb;
        log.LogSystem = true;
        log.WriteLogLine(QString::fromLatin1(numberedText(number)), true, false, false);
    }

    QTemporaryDir dir;
    FixedClock clock{Friday};
};

TEST_F(LogWriterFaultsTest, ReducedCopyThatCannotBeCompletedLeavesTheLogAsItWas) {
    const QByteArray before = numberedLines(1, 480);  // 30 KB, three times the limit
    writeFile(logPath(), before);

    // The process may write 8 KB per file: its line fails, its copy breaks off at 8 KB.
    WriterProcess limited(logPath(), 481, 1, 8 * 1024);
    const int status = limited.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(logPath()), before);
    EXPECT_FALSE(QFile::exists(temporaryPath()));

    // Byte 1024 ends line 16: everything from line 17 on stays.
    writeLaterLine(481);
    EXPECT_EQ(readFile(logPath()),
              logtest::FridayReductionLine + before.mid(1024) + numberedLine(481));
    EXPECT_FALSE(QFile::exists(temporaryPath()));
}

TEST_F(LogWriterFaultsTest, LineCutShortByTheFileSizeLimitIsTakenBack) {
    const QByteArray before = numberedLines(1, 50);
    writeFile(logPath(), before);

    WriterProcess limited(logPath(), 51, 1, before.size() + 10);  // room for 10 bytes of it
    const int status = limited.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(logPath()), before);
}

TEST_F(LogWriterFaultsTest, PlacesThatCannotHoldALogLoseTheLineQuietly) {
    writeFile(dir.filePath("plain"), "a plain file");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    int errorLines = 0;
    LogWriter log(clock, logtest::germanLocale());
    log.onErrorLine = [&] { ++errorLines; };
    log.LogDateiGroesse = 0;  // every length is over the limit: each line tries a reduction too

    for (const char* name : {"plain/Kestrix.log", "folder"}) {
        log.LogDateiName = dir.filePath(name);
        log.WriteLogLine("lost", false, false, true);
        log.ReduceLogFile();
    }

    EXPECT_EQ(errorLines, 2);
    EXPECT_EQ(readFile(dir.filePath("plain")), "a plain file");
    EXPECT_TRUE(QDir(dir.filePath("folder")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"folder", "plain"}));
}

TEST_F(LogWriterFaultsTest, PipeUnderTheLogsNameLosesTheLineWithoutHoldingTheWriterUp) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(logPath()).constData(), 0600), 0);
    int errorLines = 0;
    LogWriter log(clock, logtest::germanLocale());
    log.onErrorLine = [&] { ++errorLines; };
    log.LogDateiName = logPath();
    log.LogDateiGroesse = 0;  // every length is over the limit: no reduction may touch it either

    // Written on a thread of its own: a writer waiting for a reader of the pipe fails the test
    // instead of hanging it, and is then set free by a reader.
    auto firstLine =
        std::async(std::launch::async, [&] { log.WriteLogLine("lost", false, false, true); });
    if (firstLine.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int reader = ::open(QFile::encodeName(logPath()).constData(), O_RDONLY | O_NONBLOCK);
        firstLine.wait();
        ::close(reader);
        FAIL() << "the writer waited for a reader of the pipe";
    }
    // With a reader at the pipe nothing goes into it either.
    const int reader = ::open(QFile::encodeName(logPath()).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    log.WriteLogLine("lost as well", false, false, true);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0);
    ::close(reader);

    EXPECT_EQ(errorLines, 2);
    struct stat status {};
    EXPECT_TRUE(::stat(QFile::encodeName(logPath()).constData(), &status) == 0 &&
                S_ISFIFO(status.st_mode));
    EXPECT_FALSE(QFile::exists(temporaryPath()));
}

// What a log left by a killed writer holds, and what a check of it found.
struct LogState {
    long firstNumber = 0;
    long lastNumber = 0;
    bool reduced = false;
};

// The log holds only whole lines: either its numbered lines from the first on, or a reduction
// line followed by a run of them no shorter than a reduction leaves. The numbers run on without
// a gap, and nothing that was there before the round has come back.
::testing::AssertionResult isWholeLog(const QByteArray& log, const LogState& before,
                                      LogState& found) {
    if (log.isEmpty() || !log.endsWith("\r\n")) {
        return ::testing::AssertionFailure() << "missing, empty or ends in a torn line";
    }
    const QByteArray reduction = logtest::FridayReductionLine;
    found = LogState{};
    found.reduced = log.startsWith(reduction);
    qsizetype position = found.reduced ? reduction.size() : 0;
    long expected = 0;
    while (position < log.size()) {
        const QByteArray line = log.mid(position, LineLength);
        const long number = line.mid(25, 6).toLong();
        if (line != numberedLine(number) || (expected != 0 && number != expected)) {
            return ::testing::AssertionFailure()
                   << "unexpected line at byte " << position << ": " << line.constData();
        }
        if (found.firstNumber == 0) {
            found.firstNumber = number;
        }
        found.lastNumber = number;
        expected = number + 1;
        position += LineLength;
    }
    const qsizetype limit = LimitKb * 1024;
    const qsizetype shortestReduction = reduction.size() + limit + 1 - 1024 - (LineLength - 1);
    if (log.size() > limit + LineLength) {
        return ::testing::AssertionFailure() << "over the limit by more than a line";
    }
    if (found.reduced ? log.size() < shortestReduction : found.firstNumber != 1) {
        return ::testing::AssertionFailure()
               << "lost lines: " << log.size() << " bytes from line " << found.firstNumber;
    }
    if (found.firstNumber < before.firstNumber || found.lastNumber < before.lastNumber ||
        (before.reduced && !found.reduced)) {
        return ::testing::AssertionFailure() << "older than before the round";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(LogWriterFaultsTest, WriterKilledAtRandomMomentsNeverBreaksTheLog) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> microseconds(0, 6000);

    writeLaterLine(1);
    LogState state{1, 1, false};
    int roundsEndedMidReduction = 0;
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        WriterProcess writer(logPath(), state.lastNumber + 1, 0, 0);
        ASSERT_TRUE(writer.isWriting());
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds(random)));
        writer.kill();
        const int status = writer.waitForEnd();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

        LogState found;
        ASSERT_TRUE(isWholeLog(readFile(logPath()), state, found));
        state = found;
        roundsEndedMidReduction += QFile::exists(temporaryPath()) ? 1 : 0;

        writeLaterLine(++state.lastNumber);
        EXPECT_FALSE(QFile::exists(temporaryPath()));
        ASSERT_TRUE(isWholeLog(readFile(logPath()), state, found));
        state = found;
    }
    std::printf("120 writers killed, %d of them in the middle of a reduction\n",
                roundsEndedMidReduction);
    EXPECT_TRUE(state.reduced);
}

}  // namespace
}  // namespace kestrix
