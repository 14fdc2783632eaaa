// The runtime client against the real kestrix-hmi process. Every test has its own socket and
// journal in a temporary folder, so runs never meet.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "hmi/HmiClient.h"
#include "hmi/Processes.h"
#include "hmi_support.h"

namespace kestrix {
namespace {

using hmitest::LanguageVariable;
using hmitest::RecordingClient;
using hmitest::runEventsUntil;
using namespace std::chrono_literals;

class HmiClientTest : public hmitest::RuntimeFixture {};

TEST_F(HmiClientTest, StartReportsTrueOnceWhenTheRuntimeAnswers) {
    RecordingClient runtime;
    runtime.client->start();
    runtime.client->start();  // a second start is ignored

    ASSERT_TRUE(runtime.awaitStartResult());
    EXPECT_EQ(runtime.startResults, QList<bool>{true});
    EXPECT_EQ(journal(), QStringList{QStringLiteral("started")});

    // Ended once: the start result stays the only one.
    runtime.client->requestStop();
    ASSERT_TRUE(runtime.awaitEnded());
    EXPECT_EQ(runtime.startResults, QList<bool>{true});
}

TEST_F(HmiClientTest, StartReportsFalseWhenTheRuntimeCannotStart) {
    // The runtime refuses to start.
    useRuntimeOptions(QStringLiteral("--fail-start"));
    RecordingClient refused;
    refused.client->start();
    ASSERT_TRUE(refused.awaitStartResult());
    EXPECT_EQ(refused.startResults, QList<bool>{false});

    // The command does not exist.
    qputenv("KESTRIX_HMI_COMMAND",
            folder.filePath(QStringLiteral("no-such-runtime")).toLocal8Bit());
    RecordingClient missing;
    missing.client->start();
    ASSERT_TRUE(missing.awaitStartResult());
    EXPECT_EQ(missing.startResults, QList<bool>{false});

    // The command exits without ever answering.
    qputenv("KESTRIX_HMI_COMMAND", "true");
    RecordingClient silent;
    silent.client->start();
    ASSERT_TRUE(silent.awaitStartResult());
    EXPECT_EQ(silent.startResults, QList<bool>{false});
    EXPECT_EQ(silent.endedCount, 0);
}

TEST_F(HmiClientTest, SecondRuntimeOnAServedNameDoesNotStart) {
    RecordingClient first;
    first.client->start();
    ASSERT_TRUE(first.awaitStartResult());
    ASSERT_EQ(first.startResults, QList<bool>{true});

    // The second client reaches the first runtime's socket but must not take it for its own.
    RecordingClient second;
    second.client->start();
    ASSERT_TRUE(second.awaitStartResult());
    EXPECT_EQ(second.startResults, QList<bool>{false});

    Outcome byHand = runRuntimeCommand({});
    EXPECT_NE(byHand.exitCode, 0);
    EXPECT_TRUE(byHand.errorOutput.contains(QStringLiteral("already serves")))
        << byHand.errorOutput.toStdString();

    // The first runtime is untouched and still serves.
    EXPECT_EQ(first.endedCount, 0);
    EXPECT_EQ(runRuntimeCommand({QStringLiteral("get"), LanguageVariable}).exitCode, 0);
    EXPECT_EQ(journal().count(QStringLiteral("started")), 1);
}

TEST_F(HmiClientTest, RuntimeThatDoesNotAnswerInTimeIsEndedWithAllItStarted) {
    // A wrapper script that ignores the request to end, around a runtime that never answers and
    // ignores it too (an ignored signal stays ignored in the programs a script starts).
    const QString runtimePidFile = folder.filePath(QStringLiteral("runtime.pid"));
    const QString wrapper =
        writeScript(QStringLiteral("wrapper"),
                    QStringLiteral("#!/bin/sh\ntrap '' TERM\n\"%1\" --start-delay-ms 600000 &\n"
                                   "echo $! > \"%2\"\nwait\nsleep 600\n")
                        .arg(runtimeProgram(), runtimePidFile));
    qputenv("KESTRIX_HMI_COMMAND", wrapper.toLocal8Bit());

    RecordingClient slow(1000ms);
    slow.client->start();
    ASSERT_TRUE(slow.awaitStartResult());
    EXPECT_EQ(slow.startResults, QList<bool>{false});
    QFile pidFile(runtimePidFile);
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t runtimePid = pidFile.readAll().trimmed().toInt();
    ASSERT_GT(runtimePid, 0);
    EXPECT_TRUE(runEventsUntil([&] { return !ProcessIdentity::of(runtimePid); }))
        << "the wrapper's runtime was left behind";

    // The name is free for the next runtime.
    useRuntimeOptions({});
    RecordingClient next;
    next.client->start();
    ASSERT_TRUE(next.awaitStartResult());
    EXPECT_EQ(next.startResults, QList<bool>{true});
}

// A runtime started through a wrapper script is the script's child, not the process the shell
// launched: it is the shell's runtime all the same.
TEST_F(HmiClientTest, RuntimeStartedThroughAWrapperScriptIsAccepted) {
    const QString wrapper =
        writeScript(QStringLiteral("wrapper"),
                    QStringLiteral("#!/bin/sh\n\"%1\" &\nwait\n").arg(runtimeProgram()));
    qputenv("KESTRIX_HMI_COMMAND", wrapper.toLocal8Bit());
    RecordingClient shell;
    shell.client->start();
    ASSERT_TRUE(shell.awaitStartResult());
    ASSERT_EQ(shell.startResults, QList<bool>{true});
    shell.client->requestStop();
    EXPECT_TRUE(shell.awaitEnded());
}

TEST_F(HmiClientTest, DelayedStartWithinTheLimitReportsTrue) {
    useRuntimeOptions(QStringLiteral("--start-delay-ms 300"));
    RecordingClient runtime;
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());
    EXPECT_EQ(runtime.startResults, QList<bool>{true});
}

TEST_F(HmiClientTest, StopRequestEndsTheRuntime) {
    RecordingClient runtime;
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());

    runtime.client->requestStop();
    ASSERT_TRUE(runtime.awaitEnded());
    EXPECT_EQ(journal(), (QStringList{QStringLiteral("started"), QStringLiteral("stop-request"),
                                      QStringLiteral("ended")}));
    EXPECT_EQ(runtime.client->deathCause(), QString()) << "an orderly end counts as a death";

    // Exactly once, although the runtime both said goodbye and went away.
    runEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(runtime.endedCount, 1);
}

TEST_F(HmiClientTest, DyingRuntimeEndsTheRuntime) {
    useRuntimeOptions(QStringLiteral("--die-after-s 1"));
    RecordingClient runtime;
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());
    ASSERT_EQ(runtime.startResults, QList<bool>{true});

    ASSERT_TRUE(runtime.awaitEnded());
    EXPECT_FALSE(journal().contains(QStringLiteral("ended")));
    // Its connection breaks as its process exits: either tells of the death first.
    EXPECT_FALSE(runtime.client->deathCause().isEmpty());
}

// The start limit is a setting of the runtime link; anything but a whole number of seconds
// from 1 on leaves today's 10 s.
TEST(HmiStartLimitTest, ComesFromTheEnvironmentWithTenSecondsOtherwise) {
    const std::pair<const char*, std::chrono::milliseconds> cases[] = {
        {"", 10s}, {"25", 25s}, {"1", 1s}, {"0", 10s}, {"-4", 10s}, {"2.5", 10s}, {"soon", 10s}};
    for (const auto& [setting, limit] : cases) {
        qputenv("KESTRIX_HMI_START_LIMIT_S", setting);
        EXPECT_EQ(HmiClient::configuredStartTimeout(), limit) << setting;
    }
    qunsetenv("KESTRIX_HMI_START_LIMIT_S");
}

TEST_F(HmiClientTest, IgnoredStopRequestLeavesTheRuntimeRunningUntilStoppedFromOutside) {
    useRuntimeOptions(QStringLiteral("--ignore-stop"));
    RecordingClient runtime;
    runtime.client->subscribe(QStringLiteral("Probe"));
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());

    runtime.client->requestStop();
    ASSERT_TRUE(awaitJournalLine(QStringLiteral("stop-request")));
    // The runtime handles its messages in order: once this change arrives, an "ended" for the
    // stop request would have arrived before it.
    ASSERT_EQ(runRuntimeCommand({QStringLiteral("set"), QStringLiteral("Probe"), "1"}).exitCode, 0);
    ASSERT_TRUE(runEventsUntil([&] { return !runtime.changes.isEmpty(); }));
    EXPECT_EQ(runtime.endedCount, 0);

    EXPECT_EQ(runRuntimeCommand({QStringLiteral("stop")}).exitCode, 0);
    ASSERT_TRUE(runtime.awaitEnded());
    EXPECT_EQ(journal().last(), QStringLiteral("ended"));
}

TEST_F(HmiClientTest, ChangesOfSubscribedVariablesArriveFromAnotherProcess) {
    RecordingClient runtime;
    runtime.client->subscribe(LanguageVariable);  // before the start: sent once it answers
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());
    ASSERT_TRUE(awaitJournalLine(QStringLiteral("subscribe ") + LanguageVariable));
    EXPECT_EQ(runRuntimeCommand({QStringLiteral("get"), LanguageVariable}).exitCode, 0);

    // A variable nobody subscribed to changes first; it must not arrive.
    ASSERT_EQ(runRuntimeCommand({QStringLiteral("set"), QStringLiteral("Other"), "5"}).exitCode, 0);
    ASSERT_EQ(runRuntimeCommand({QStringLiteral("set"), LanguageVariable, "1031"}).exitCode, 0);
    ASSERT_EQ(runRuntimeCommand({QStringLiteral("set"), LanguageVariable, "1031"}).exitCode, 0);
    ASSERT_EQ(
        runRuntimeCommand({QStringLiteral("set"), LanguageVariable, "Deutsch (Schweiz)"}).exitCode,
        0);
    ASSERT_TRUE(runEventsUntil([&] { return runtime.changes.size() == 3; }));

    // Whole numbers arrive as integers (so they equal 1031), text as text; a repeated value
    // arrives again.
    using Change = std::pair<QString, QVariant>;
    EXPECT_EQ(runtime.changes.at(0), Change(LanguageVariable, QVariant(1031)));
    EXPECT_EQ(runtime.changes.at(0).second.typeId(), QMetaType::Int);
    EXPECT_EQ(runtime.changes.at(1), Change(LanguageVariable, QVariant(1031)));
    EXPECT_EQ(runtime.changes.at(2),
              Change(LanguageVariable, QVariant(QStringLiteral("Deutsch (Schweiz)"))));
    EXPECT_TRUE(journal().contains(QStringLiteral("set ") + LanguageVariable + " 1031"));
}

TEST_F(HmiClientTest, LanguageSelectionReachesTheRuntime) {
    RecordingClient runtime;
    runtime.client->start();
    ASSERT_TRUE(runtime.awaitStartResult());

    runtime.client->selectLanguage(1031);
    runtime.client->selectLanguage(1033);
    ASSERT_TRUE(awaitJournalLine(QStringLiteral("language 1033")));
    EXPECT_EQ(journal().mid(1),
              (QStringList{QStringLiteral("language 1031"), QStringLiteral("language 1033")}));
}

TEST_F(HmiClientTest, RemoteCommandsRefuseBadInput) {
    // No runtime serves this test's socket yet: the command says so.
    const Outcome noRuntime = runRuntimeCommand({QStringLiteral("get"), LanguageVariable});
    EXPECT_EQ(noRuntime.exitCode, 1);
    EXPECT_TRUE(noRuntime.errorOutput.startsWith(QStringLiteral("kestrix-hmi: no runtime runs")))
        << noRuntime.errorOutput.toStdString();
    EXPECT_NE(runRuntimeCommand({QStringLiteral("set"), LanguageVariable, "1031"}).exitCode, 0);
    // A name with a blank, a value with a line break, an unknown command or option.
    EXPECT_NE(runRuntimeCommand({QStringLiteral("set"), QStringLiteral("a b"), "1"}).exitCode, 0);
    EXPECT_NE(runRuntimeCommand({QStringLiteral("set"), QStringLiteral("a"), "1\nstop"}).exitCode,
              0);
    EXPECT_NE(runRuntimeCommand({QStringLiteral("frobnicate")}).exitCode, 0);
    EXPECT_NE(runRuntimeCommand({QStringLiteral("--die-after-s"), QStringLiteral("-1")}).exitCode,
              0);
    EXPECT_TRUE(journal().isEmpty());
}

TEST(HmiProgramTest, HelpAndVersionAnswerOnStandardOutputWithSuccess) {
    for (const auto& [option, answer] :
         {std::pair{"--help", "^usage: kestrix-hmi .*--help \\| --version"},
          std::pair{"--version", "^kestrix-hmi \\d+\\.\\d+(\\.\\d+)*\n$"}}) {
        QProcess process;
        process.start(QStringLiteral(KESTRIX_HMI_PROGRAM), {QString::fromLatin1(option)});
        ASSERT_TRUE(process.waitForFinished());
        EXPECT_EQ(process.exitCode(), 0) << option;
        EXPECT_TRUE(QRegularExpression(answer, QRegularExpression::DotMatchesEverythingOption)
                        .match(QString::fromLocal8Bit(process.readAllStandardOutput()))
                        .hasMatch())
            << option;
        EXPECT_TRUE(process.readAllStandardError().isEmpty()) << option;
    }
}

}  // namespace
}  // namespace kestrix
