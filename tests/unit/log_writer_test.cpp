#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <random>
#include <stdexcept>
#include <string>

#include "FixedClock.h"
#include "LogFiles.h"
#include "log/LogWriter.h"

namespace kestrix {
namespace {

using logtest::Friday;
using logtest::FridayReductionLine;
using logtest::numberedLines;

class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log.LogDateiName = logPath();
        log.LogDateiGroesse = 10;
        log.onErrorLine = [this](const QString&) { ++errorLinesSignalled; };
    }

    QString logPath() const { return dir.filePath("Kestrix.log"); }
    QByteArray logContent() const { return readFile(logPath()); }
    // Nothing but the log in its folder: no copy of a reduction is left.
    bool logIsAlone() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ==
               QStringList{"Kestrix.log"};
    }

    QTemporaryDir dir;
    FixedClock clock{Friday};
    LogWriter log{clock, logtest::germanLocale()};
    int errorLinesSignalled = 0;
};

// --- The line: flag letters, stamp, text, CRLF -------------------------------------------------

TEST_F(LogWriterTest, SystemLineReadsFlagTimeMonthFirstDateAndTextUnchanged) {
    log.LogSystem = true;
    log.WriteLogLine("KX.TimerErstemal_Timer An ", true, false, false);
    EXPECT_EQ(logContent(), "S 09:41:05 03.27.26 KX.TimerErstemal_Timer An \r\n");
}

TEST_F(LogWriterTest, StampFieldsAreTwoDigitsWithTheYearCutToItsLastTwo) {
    clock.at = LocalDateTime{2105, 1, 2, 3, 4, 5};
    log.WriteLogLine("x", false, false, true);
    EXPECT_EQ(logContent(), "E 03:04:05 01.02.05 x\r\n");
}

TEST_F(LogWriterTest, FlagLettersComeInTheOrderErrorDataSystem) {
    log.Logdaten = true;
    log.WriteLogLine("all", true, true, true);
    log.WriteLogLine("data and system", true, true, false);
    EXPECT_EQ(logContent(),
              "E D S 09:41:05 03.27.26 all\r\n"
              "D S 09:41:05 03.27.26 data and system\r\n");
}

TEST_F(LogWriterTest, TextIsWrittenAsSingleByteTextWithQuestionMarksBeyondLatin1) {
    log.WriteLogLine(QString::fromUtf8("Gr\u00f6\u00dfe \u2192 ok"), false, false, true);
    EXPECT_EQ(logContent(),
              "E 09:41:05 03.27.26 Gr\xf6\xdf"
              "e ? ok\r\n");
}

// A line break inside a text (a module's fault description "relay\nstuck") would split the log
// line and leave a second one without its stamp; an escape sequence would reach the terminal that
// shows the log.
TEST_F(LogWriterTest, ControlCharactersInsideTheTextAreWrittenAsBlanks) {
    log.WriteLogLine(
        QString::fromLatin1("Fault 5; relay\nstuck\r\nat 3\r; \x1b[31mHot\x07\x01\x7f\x85melt"),
        false, false, true);
    EXPECT_EQ(logContent(),
              "E 09:41:05 03.27.26 Fault 5; relay stuck  at 3 ;  [31mHot    melt\r\n");
}

// A text longer than a tenth of the log's limit (at most 4 KB) is cut, so that no one line (a
// module's fault text of megabytes) pushes the others out in the next reductions.
TEST_F(LogWriterTest, ALongTextIsCutToATenthOfTheLimitAndTheLinesAroundItSurviveTheReduction) {
    for (int n = 100; n < 300; ++n) {
        log.WriteLogLine(QStringLiteral("line %1").arg(n), false, false, true);
    }
    log.WriteLogLine(QString(7'000'000, QLatin1Char('x')), false, false, true);
    const QByteArray cut = "E 09:41:05 03.27.26 " + QByteArray(1024 - 6, 'x') + " [cut]\r\n";
    EXPECT_TRUE(logContent().endsWith("line 299\r\n" + cut));
    for (int n = 300; n < 450; ++n) {
        log.WriteLogLine(QStringLiteral("line %1").arg(n), false, false, true);
    }
    const QByteArray reduced = logContent();
    EXPECT_TRUE(reduced.startsWith(FridayReductionLine)) << reduced.left(80).constData();
    EXPECT_TRUE(reduced.contains("line 200\r\n"));
    EXPECT_TRUE(reduced.contains(cut));
    log.LogDateiGroesse = 100;
    log.WriteLogLine(QString(5000, QLatin1Char('y')), false, false, true);
    EXPECT_TRUE(logContent().endsWith(" " + QByteArray(4096 - 6, 'y') + " [cut]\r\n"));
}

TEST_F(LogWriterTest, LinesAreAppendedToWhatTheLogAlreadyHolds) {
    writeFile(logPath(), "earlier\r\n");
    log.WriteLogLine("first", false, false, true);
    log.WriteLogLine("second", false, false, true);
    EXPECT_EQ(logContent(),
              "earlier\r\n"
              "E 09:41:05 03.27.26 first\r\n"
              "E 09:41:05 03.27.26 second\r\n");
}

// --- Which lines pass, and the owner's error signal ---------------------------------------------

TEST_F(LogWriterTest, ErrorLinesAreWrittenAndSignalledWhateverTheSettings) {
    log.WriteLogLine("Fault 6; Overflow; Kestrix; KX.Form_Activate", false, false, true);
    EXPECT_EQ(logContent(), "E 09:41:05 03.27.26 Fault 6; Overflow; Kestrix; KX.Form_Activate\r\n");
    EXPECT_EQ(errorLinesSignalled, 1);
}

TEST_F(LogWriterTest, SystemAndDataLinesPassOnlyWhenTheirSettingIsOn) {
    log.WriteLogLine("system, off", true, false, false);
    log.WriteLogLine("data, off", false, true, false);
    log.LogSystem = true;
    log.WriteLogLine("system, on", true, false, false);
    log.WriteLogLine("data, still off", false, true, false);
    log.Logdaten = true;
    log.WriteLogLine("data, on", false, true, false);
    log.WriteLogLine("no flag at all", false, false, false);
    EXPECT_EQ(logContent(),
              "S 09:41:05 03.27.26 system, on\r\n"
              "D 09:41:05 03.27.26 data, on\r\n");
    EXPECT_EQ(errorLinesSignalled, 0);
}

TEST_F(LogWriterTest, FilteredLineDoesNotCheckTheSizeEvenOfAnOversizedLog) {
    const QByteArray oversized = numberedLines(1, 110, 100);
    writeFile(logPath(), oversized);
    log.WriteLogLine("filtered", true, false, false);
    EXPECT_EQ(logContent(), oversized);
}

TEST_F(LogWriterTest, ErrorLineIsSignalledEvenWhenNoLogIsNamedYetAndNothingIsWritten) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    log.LogDateiName.clear();
    log.LogDateiGroesse = 0;
    log.WriteLogLine("lost", false, false, true);
    log.ReduceLogFile();
    QDir::setCurrent(previous);
    EXPECT_EQ(errorLinesSignalled, 1);
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(LogWriterTest, OwnerThatThrowsOnTheErrorSignalDoesNotStopTheLine) {
    log.onErrorLine = [](const QString&) { throw std::runtime_error("owner failed"); };
    log.WriteLogLine("still written", false, false, true);
    EXPECT_EQ(logContent(), "E 09:41:05 03.27.26 still written\r\n");
}

// --- The size limit and the reduction -----------------------------------------------------------

TEST_F(LogWriterTest, LogOfExactlyTheLimitStaysAndOneByteMoreIsReduced) {
    const QByteArray before = numberedLines(1, 102, 100);  // 10200 bytes; the limit is 10240
    writeFile(logPath(), before);
    log.WriteLogLine(QString(18, 'a'), false, false, true);  // a line of 40 bytes: 10240
    EXPECT_EQ(logContent(), before + "E 09:41:05 03.27.26 " + QByteArray(18, 'a') + "\r\n");

    writeFile(logPath(), before);
    log.WriteLogLine(QString(19, 'a'), false, false, true);  // 10241
    EXPECT_TRUE(logContent().startsWith(FridayReductionLine));
}

TEST_F(LogWriterTest, ReductionDropsEverythingUpToTheLineHoldingByte1024AndKeepsTheRestAsItIs) {
    const QByteArray before = numberedLines(1, 102, 100);  // byte 1024 lies in line 11 (1001..1100)
    writeFile(logPath(), before);
    log.LogSystem = true;
    log.WriteLogLine("KX.TimerLeben_Timer An ", true, false, false);  // 10245 bytes: over
    const QByteArray trigger = "S 09:41:05 03.27.26 KX.TimerLeben_Timer An \r\n";

    EXPECT_EQ(logContent(), FridayReductionLine + before.mid(1100) + trigger);
    EXPECT_TRUE(logIsAlone());

    clock.at = LocalDateTime{2026, 3, 28, 0, 0, 1};
    log.WriteLogLine("KX.TimerLeben_Timer 100En ", true, false, false);
    EXPECT_TRUE(logContent().endsWith("S 00:00:01 03.28.26 KX.TimerLeben_Timer 100En \r\n"));
}

TEST_F(LogWriterTest, ReducedLogEndingInAnUnfinishedLineKeepsItAsItIs) {
    const QByteArray before = numberedLines(1, 20, 100) + "unfinished";
    writeFile(logPath(), before);
    log.ReduceLogFile();
    EXPECT_EQ(logContent(), FridayReductionLine + before.mid(1100));
}

struct CutCase {
    int32_t limitKb;
    int cutByte;  // counted from 1
};

class LogReductionCutTest : public LogWriterTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(LogReductionCutTest, LineEndingOnTheCutByteGoesAndTheNextLineStays) {
    const CutCase cut = GetParam();
    log.LogDateiGroesse = cut.limitKb;
    const QByteArray before = numberedLines(1, 1, cut.cutByte) + numberedLines(2, 3, 50);
    writeFile(logPath(), before);
    log.ReduceLogFile();
    EXPECT_EQ(logContent(), FridayReductionLine + before.mid(cut.cutByte));
}

TEST_P(LogReductionCutTest, LineStartingOnTheCutByteGoesWhole) {
    const CutCase cut = GetParam();
    log.LogDateiGroesse = cut.limitKb;
    const QByteArray before = numberedLines(1, 1, cut.cutByte - 1) + numberedLines(2, 3, 50);
    writeFile(logPath(), before);
    log.ReduceLogFile();
    EXPECT_EQ(logContent(), FridayReductionLine + before.mid(cut.cutByte - 1 + 50));
}

// The cut byte is a tenth of the limit in bytes, rounded (33 KB: 3379.2 → 3379).
INSTANTIATE_TEST_SUITE_P(Limits, LogReductionCutTest,
                         ::testing::Values(CutCase{10, 1024}, CutCase{33, 3379},
                                           CutCase{100, 10240}, CutCase{2000, 204800}),
                         [](const ::testing::TestParamInfo<CutCase>& info) {
                             return std::to_string(info.param.limitKb) + "KB";
                         });

// The reduction line's date and time forms, written out by hand for a few locales (the short
// time form of most drops the seconds; the zone is no part of it), and for a seeded sample of
// all locales with Latin digits: the seconds follow the minutes.
TEST_F(LogWriterTest, ReductionLineKeepsTheSecondsInEveryLocale) {
    auto reducedIn = [&](const QLocale& locale) {
        writeFile(logPath(), "old line\r\n");
        LogWriter writer(clock, locale);
        writer.LogDateiName = logPath();
        writer.LogDateiGroesse = 10;
        writer.ReduceLogFile();
        return logContent();
    };
    EXPECT_EQ(reducedIn(QLocale(QLocale::English, QLocale::UnitedStates)),
              "3/27/26; 9:41:05 AM; File size reduced\r\n");
    EXPECT_EQ(reducedIn(QLocale(QLocale::Finnish, QLocale::Finland)),
              "27.3.2026; 9.41.05; File size reduced\r\n");
    EXPECT_EQ(reducedIn(QLocale(QLocale::Chinese, QLocale::China)),
              "2026/3/27; 09:41:05; File size reduced\r\n");
    EXPECT_EQ(reducedIn(QLocale::c()), "27 Mar 2026; 09:41:05; File size reduced\r\n");

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);
    QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    locales.removeIf([](const QLocale& locale) { return locale.zeroDigit() != "0"; });
    std::shuffle(locales.begin(), locales.end(), random);
    const QString zone = QDateTime(QDate(2026, 3, 27), QTime(9, 41, 5)).timeZoneAbbreviation();
    for (const QLocale& locale : locales.mid(0, 24)) {
        const QString time =
            QString::fromLatin1(reducedIn(locale)).section(QStringLiteral("; "), 1, 1);
        EXPECT_TRUE(time.contains(QRegularExpression(QStringLiteral("41\\D+0?5"))))
            << locale.name().toStdString() << ": " << time.toStdString();
        EXPECT_FALSE(time.contains(zone)) << locale.name().toStdString();
    }
}

}  // namespace
}  // namespace kestrix
