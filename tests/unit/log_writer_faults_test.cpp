// The log under failing file systems, dying processes and other writers of its folder, with real
// files and real processes: a writer process (log_writer_child) is limited in the size of the
// files it may write, is killed at random moments while it writes and reduces a small log, writes
// the same log as other writer processes, or meets what another member of the log folder's group
// put at the names the writer uses.

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
#include <map>
#include <memory>
#include <optional>
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
using logtest::numberedLine;
using logtest::numberedLines;
using logtest::numberedText;

constexpr int LimitKb = 10;
constexpr qsizetype LineLength = 64;

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

    // The wait status of the process once it has ended; nothing while it runs.
    std::optional<int> endStatus() {
        int status = -1;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        return std::nullopt;
    }

    // The wait status of the process once it has ended, nothing when it still runs after `limit`
    // (a writer held up for good; it is killed with this object).
    std::optional<int> waitForEnd(std::chrono::seconds limit) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const std::optional<int> status = endStatus()) {
                return status;
            }
            if (std::chrono::steady_clock::now() >= giveUp) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

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
    // The fixed name under which earlier versions made the reduced copy.
    QString temporaryPath() const { return logPath() + ".tmp"; }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    // A line written by this process, like a writer that starts after the child has ended.
    void writeLaterLine(long number) {
        LogWriter log(clock, logtest::germanLocale());
        log.LogDateiName = logPath();
        log.LogDateiGroesse = LimitKb;
        log.LogSystem = true;
        log.WriteLogLine(QString::fromLatin1(numberedText(number, LineLength)), true, false, false);
    }

    QTemporaryDir dir;
    FixedClock clock{Friday};
};

TEST_F(LogWriterFaultsTest, ReducedCopyThatCannotBeCompletedLeavesTheLogAsItWas) {
    const QByteArray before = numberedLines(1, 480, LineLength);  // 30 KB, three times the limit
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
              logtest::FridayReductionLine + before.mid(1024) + numberedLine(481, LineLength));
    EXPECT_FALSE(QFile::exists(temporaryPath()));
}

TEST_F(LogWriterFaultsTest, LineThatDidNotFitIsWrittenOnceTheReductionHasMadeRoom) {
    const QByteArray before = numberedLines(1, 161, LineLength);  // just over the limit
    writeFile(logPath(), before);

    // Room for 10 bytes of the line; the reduced copy is a kilobyte shorter than the log.
    WriterProcess limited(logPath(), 162, 1, before.size() + 10);
    const int status = limited.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(logPath()),
              logtest::FridayReductionLine + before.mid(1024) + numberedLine(162, LineLength));
}

TEST_F(LogWriterFaultsTest, LineCutShortByTheFileSizeLimitIsTakenBack) {
    const QByteArray before = numberedLines(1, 50, LineLength);
    writeFile(logPath(), before);

    WriterProcess limited(logPath(), 51, 1, before.size() + 10);  // room for 10 bytes of it
    const int status = limited.waitForEnd();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(logPath()), before);
}

// Lost lines are said once per log name on stderr: an operator outside the log folder's group
// would otherwise lose every line with nothing said.
TEST_F(LogWriterFaultsTest, PlacesThatCannotHoldALogLoseTheLineWithOneLineOnStderr) {
    writeFile(dir.filePath("plain"), "a plain file");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    int errorLines = 0;
    LogWriter log(clock, logtest::germanLocale());
    log.onErrorLine = [&](const QString&) { ++errorLines; };
    log.LogDateiGroesse = 0;  // every length is over the limit: each line tries a reduction too

    ::testing::internal::CaptureStderr();
    for (const char* name : {"plain/Kestrix.log", "folder", "plain/Kestrix.log"}) {
        log.LogDateiName = dir.filePath(name);
        log.WriteLogLine("lost", false, false, true);
        log.WriteLogLine("lost as well", false, false, true);
        log.ReduceLogFile();
    }
    const QStringList said = QString::fromStdString(::testing::internal::GetCapturedStderr())
                                 .split('\n', Qt::SkipEmptyParts);

    EXPECT_EQ(errorLines, 6);
    ASSERT_EQ(said.size(), 2) << said.join('\n').toStdString();
    EXPECT_TRUE(said[0].startsWith("kestrix: the log " + dir.filePath("plain/Kestrix.log") +
                                   " cannot be written ("));
    EXPECT_TRUE(
        said[1].startsWith("kestrix: the log " + dir.filePath("folder") + " cannot be written ("));
    EXPECT_EQ(readFile(dir.filePath("plain")), "a plain file");
    EXPECT_TRUE(QDir(dir.filePath("folder")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    EXPECT_EQ(entries(), (QStringList{"folder", "plain"}));
}

TEST_F(LogWriterFaultsTest, PipeUnderTheLogsNameLosesTheLineWithoutHoldingTheWriterUp) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(logPath()).constData(), 0600), 0);
    int errorLines = 0;
    LogWriter log(clock, logtest::germanLocale());
    log.onErrorLine = [&](const QString&) { ++errorLines; };
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

// --- What another member of the log folder's group puts at the names the writer uses -----------

// A link at the log's name, to a file of somebody else's or to nothing: no line goes through it,
// no reduction copies what it points to, and nothing is created at its target.
TEST_F(LogWriterFaultsTest, LinkAtTheLogsNameIsNeverWrittenThrough) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString notes = home.filePath("notes.txt");
    const QByteArray private_ = QByteArray("private notes\n").repeated(2000);  // over the limit
    writeFile(notes, private_);
    const QString nothing = home.filePath("created-through-the-link");
    const QByteArray log = QFile::encodeName(logPath());

    for (const bool hard : {false, true}) {
        for (const QString& target : {notes, nothing}) {
            if (hard && target == nothing) {
                continue;
            }
            SCOPED_TRACE((hard ? "hard link to " : "symbolic link to ") + target.toStdString());
            const QByteArray to = QFile::encodeName(target);
            ASSERT_EQ(hard ? ::link(to.constData(), log.constData())
                           : ::symlink(to.constData(), log.constData()),
                      0);
            LogWriter writer(clock, logtest::germanLocale());
            writer.LogDateiName = logPath();
            writer.LogDateiGroesse = LimitKb;
            ::testing::internal::CaptureStderr();
            for (int line = 0; line < 3; ++line) {
                writer.WriteLogLine("Fault 6; Overflow", false, false, true);
            }
            writer.ReduceLogFile();
            ::testing::internal::GetCapturedStderr();

            EXPECT_EQ(readFile(notes), private_);
            EXPECT_FALSE(QFile::exists(nothing));
            EXPECT_EQ(entries(), QStringList{"Kestrix.log"});
            ASSERT_EQ(::unlink(log.constData()), 0);
        }
    }
}

enum class Squatter { Pipe, Folder, Link, StaleFile };

// What stays at the fixed name: it is no business of the writer's.
::testing::AssertionResult isAsPlaced(Squatter squatter, const QString& path,
                                      const QString& linkTarget) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        return ::testing::AssertionFailure() << "gone";
    }
    switch (squatter) {
        case Squatter::Pipe:
            return S_ISFIFO(status.st_mode) ? ::testing::AssertionSuccess()
                                            : ::testing::AssertionFailure() << "no pipe any more";
        case Squatter::Folder:
            return QFile::exists(path + "/inside") ? ::testing::AssertionSuccess()
                                                   : ::testing::AssertionFailure() << "emptied";
        case Squatter::Link:
            return S_ISLNK(status.st_mode) && readFile(linkTarget) == "somebody's file"
                       ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << "link or its target changed";
        case Squatter::StaleFile:
            return readFile(path) == "half a reduction"
                       ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << "changed";
    }
    return ::testing::AssertionFailure();
}

// A pipe, a folder, a link or a stale file at the fixed name of the reduced copy, put there after
// the writer's first line: the reduction still happens, without waiting for a reader of the pipe
// (the line is written on a thread of its own, so that a writer held up fails the test instead
// of hanging it), and the reduced log has the mode of a new log, not the old log's.
TEST_F(LogWriterFaultsTest, WhatLiesAtTheOldTemporaryNameNeitherHoldsUpNorStopsTheReduction) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString linkTarget = elsewhere.filePath("somebodys-file");
    writeFile(linkTarget, "somebody's file");
    const mode_t umask = ::umask(0);
    ::umask(umask);
    const QByteArray squat = QFile::encodeName(temporaryPath());

    for (const Squatter squatter :
         {Squatter::Pipe, Squatter::Folder, Squatter::Link, Squatter::StaleFile}) {
        SCOPED_TRACE(::testing::Message() << "squatter " << static_cast<int>(squatter));
        writeFile(logPath(), numberedLines(1, 159, LineLength));
        LogWriter log(clock, logtest::germanLocale());
        log.LogDateiName = logPath();
        log.LogDateiGroesse = LimitKb;
        log.LogSystem = true;
        log.WriteLogLine(QString::fromLatin1(numberedText(160, LineLength)), true, false,
                         false);  // 10240
        ASSERT_EQ(::chmod(QFile::encodeName(logPath()).constData(), 0600), 0);
        switch (squatter) {
            case Squatter::Pipe:
                ASSERT_EQ(::mkfifo(squat.constData(), 0666), 0);
                break;
            case Squatter::Folder:
                ASSERT_TRUE(QDir(dir.path()).mkpath("Kestrix.log.tmp/inside"));
                break;
            case Squatter::Link:
                ASSERT_EQ(::symlink(QFile::encodeName(linkTarget).constData(), squat.constData()),
                          0);
                break;
            case Squatter::StaleFile:
                writeFile(temporaryPath(), "half a reduction");
                break;
        }

        auto overTheLimit = std::async(std::launch::async, [&] {
            log.WriteLogLine(QString::fromLatin1(numberedText(161, LineLength)), true, false,
                             false);
        });
        if (overTheLimit.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            const int reader = ::open(squat.constData(), O_RDONLY | O_NONBLOCK);
            overTheLimit.wait();
            ::close(reader);
            FAIL() << "the reduction waited for a reader of the pipe";
        }

        EXPECT_EQ(readFile(logPath()),
                  logtest::FridayReductionLine + numberedLines(1, 161, LineLength).mid(1024));
        struct stat reduced {};
        ASSERT_EQ(::stat(QFile::encodeName(logPath()).constData(), &reduced), 0);
        EXPECT_EQ(reduced.st_mode & 07777, 0666 & ~umask);
        EXPECT_TRUE(isAsPlaced(squatter, temporaryPath(), linkTarget));
        EXPECT_EQ(entries(), (QStringList{"Kestrix.log", "Kestrix.log.tmp"}));
        QDir(temporaryPath()).removeRecursively();
        QFile::remove(temporaryPath());
    }
}

// In a setgid folder, as the shared log folder is, the reduced log stays writable by the group
// whatever the writer's umask, and never becomes writable by others; elsewhere it has the mode of
// a new log.
TEST_F(LogWriterFaultsTest, ReducedLogInTheSharedFolderStaysWritableByTheGroupOnly) {
    const mode_t umask = ::umask(0);
    ::umask(umask);
    struct Case {
        mode_t folderMode;
        mode_t umask;
        mode_t reduced;
    };
    for (const Case& c : {Case{02775, 022, 0664}, Case{02775, 0, 0664}, Case{02770, 077, 0660},
                          Case{0775, 022, 0644}}) {
        SCOPED_TRACE(::testing::Message()
                     << std::oct << "folder " << c.folderMode << " umask " << c.umask);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), c.folderMode), 0);
        writeFile(logPath(), numberedLines(1, 160, LineLength));
        ASSERT_EQ(::chmod(QFile::encodeName(logPath()).constData(), 0664), 0);
        ::umask(c.umask);
        writeLaterLine(161);  // over the limit: the log is reduced
        ::umask(umask);
        EXPECT_TRUE(readFile(logPath()).startsWith(logtest::FridayReductionLine));
        struct stat reduced {};
        ASSERT_EQ(::stat(QFile::encodeName(logPath()).constData(), &reduced), 0);
        EXPECT_EQ(reduced.st_mode & 07777, c.reduced);
    }
}

// --- Several writers of one log
// -------------------------------------------------------------------

// Writer k numbers its lines from k × WriterNumbers + 1.
constexpr long WriterNumbers = 100000;

// A log written by several writer processes at once holds whole lines (but for the last, which
// may still be being written), and each writer's lines in order without a gap: a reduction only
// cuts the oldest lines off. `lastOf` gets each writer's last line number.
::testing::AssertionResult losesNoLine(const QByteArray& log, std::map<long, long>& lastOf) {
    lastOf.clear();
    const QByteArray reduction = logtest::FridayReductionLine;
    qsizetype position = log.startsWith(reduction) ? reduction.size() : 0;
    for (; position + LineLength <= log.size(); position += LineLength) {
        const QByteArray line = log.mid(position, LineLength);
        const long number = line.mid(25, 6).toLong();
        if (line != numberedLine(number, LineLength)) {
            return ::testing::AssertionFailure()
                   << "unexpected line at byte " << position << ": " << line.constData();
        }
        const long writer = number / WriterNumbers;
        if (lastOf.count(writer) != 0 && number != lastOf[writer] + 1) {
            return ::testing::AssertionFailure()
                   << "lines " << lastOf[writer] + 1 << " to " << number - 1 << " lost";
        }
        lastOf[writer] = number;
    }
    return ::testing::AssertionSuccess();
}

// Two to four writers (operators' shells sharing the log folder) write a small log at once, with
// a reduction every sixteen lines or so; the log is read again and again meanwhile.
TEST_F(LogWriterFaultsTest, WritersOfOneLogLoseNoLineInEachOthersReductions) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);
    const int writerCount = std::uniform_int_distribution<int>(2, 4)(random);
    std::vector<long> counts;
    std::vector<std::unique_ptr<WriterProcess>> writers;
    for (int k = 1; k <= writerCount; ++k) {
        counts.push_back(std::uniform_int_distribution<long>(600, 1500)(random));
        writers.push_back(
            std::make_unique<WriterProcess>(logPath(), k * WriterNumbers + 1, counts.back(), 0));
    }
    for (const auto& writer : writers) {
        ASSERT_TRUE(writer->isWriting());
    }

    std::map<long, long> lastOf;
    int snapshots = 0;
    for (size_t ended = 0; ended < writers.size();) {
        ASSERT_TRUE(losesNoLine(readFile(logPath()), lastOf)) << "snapshot " << snapshots;
        ++snapshots;
        for (const auto& writer : writers) {
            if (const std::optional<int> status = writer->endStatus()) {
                ASSERT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
                ++ended;
            }
        }
    }
    const QByteArray log = readFile(logPath());
    ASSERT_TRUE(losesNoLine(log, lastOf));
    // A writer that ended early may have been cut off whole; one still there ends in its last line.
    EXPECT_FALSE(lastOf.empty());
    for (const auto& [k, last] : lastOf) {
        EXPECT_EQ(last, k * WriterNumbers + counts[static_cast<size_t>(k - 1)]) << k;
    }
    EXPECT_TRUE(log.startsWith(logtest::FridayReductionLine));
    EXPECT_LE(log.size(), LimitKb * 1024 + LineLength);
    EXPECT_EQ(entries(), QStringList{"Kestrix.log"});
    std::printf("%d writers, %d snapshots\n", writerCount, snapshots);
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
        if (line != numberedLine(number, LineLength) || (expected != 0 && number != expected)) {
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
    int copiesLeft = 0;
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
        // A named copy is left only by a kill between naming it and putting it in place; the
        // next writer removes it once it is old enough not to be another writer's at work.
        copiesLeft += static_cast<int>(entries().size()) - 1;
        for (const QString& entry : entries()) {
            const timespec longAgo[2]{{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(entry)).constData(),
                                  longAgo, 0),
                      0);
        }

        writeLaterLine(++state.lastNumber);
        EXPECT_EQ(entries(), QStringList{"Kestrix.log"});
        ASSERT_TRUE(isWholeLog(readFile(logPath()), state, found));
        state = found;
    }
    std::printf("120 writers killed, %d reduced copies left behind\n", copiesLeft);
    EXPECT_TRUE(state.reduced);
}

}  // namespace
}  // namespace kestrix
