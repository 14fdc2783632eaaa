// kestrix-check plugin, the plug-in test container, as a vendor runs it: a real process on real
// plug-in libraries that keep the host's contract or break it.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "ScopedVariable.h"

namespace kestrix {
namespace {

struct ContainerRun {
    int exitCode = -1;
    QString out;
    QJsonObject report;  // with --json
};

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QFile::exists(program)) << program.toStdString(); }

    ContainerRun check(const QStringList& arguments, const QString& pluginPath = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KESTRIX_PLUGIN_PATH", pluginPath);
        process.setProcessEnvironment(environment);
        process.start(program, QStringList{"plugin"} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        ContainerRun run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.report = QJsonDocument::fromJson(run.out.toUtf8()).object();
        return run;
    }

    static QString testPlugin(const char* name) {
        return buildDir() + "/tests/plugins/kestrix_test_" + name + "_plugin.so";
    }
    // The plug-ins that only the container meets.
    static QString checkerPlugin(const char* name) {
        return buildDir() + "/tests/plugins/checker/kestrix_test_" + name + "_plugin.so";
    }

    // The misbehaving modules that stand in for a module kind on a line of module processes.
    static QString isolationStandIn(const char* name) {
        return buildDir() + "/tests/plugins-standin/isolation/kestrix_test_isolated" + name +
               "_plugin.so";
    }

    // Each finding as "step kind: text".
    static QStringList findings(const ContainerRun& run) {
        QStringList found;
        for (const QJsonValue& finding : run.report["findings"].toArray()) {
            found.append(finding["step"].toString() + " " + finding["kind"].toString() + ": " +
                         finding["text"].toString());
        }
        return found;
    }

    static QString buildDir() { return qEnvironmentVariable("KESTRIX_BUILD_DIR"); }
    const QString program = buildDir() + "/Program/Kestrix/kestrix-check";
};

TEST_F(ContainerTest, AGoodPlugInIsFitAndItsEventsAreRoutedToItsSlot) {
    ContainerRun run = check({testPlugin("module"), "--unit", "2", "--machine", "3", "--name",
                              "Packer 2", "--run", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    for (const char* expected :
         {"ProgID: KestrixTest.Module",
          "  Init(unit, machine, name) = True: void "
          "Init(short,short,QString,bool)",
          "events: Started(short,QString), Measured(double)", "Init(2, 3, \"Packer 2\") = True",
          "  event: slot 1, box \"1 Started\", arguments (2, \"Packer 2\")",
          "  1502 twips (100 pixels)", "  event: slot 1, box \"1 Measured\", arguments (42.5)",
          "verdict: fit for a line (2 events)"}) {
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                 << run.out.toStdString();
    }
}

// Each way of breaking the contract gets the shell's verdict, the module running in the shell's
// module process: the fault line the shell logs (a call's fault, the stop of the module's process,
// a fault of its own code), a call answered late, or a process left behind. Each finding is
// matched as "step kind: text".
TEST_F(ContainerTest, EachWayOfBreakingTheContractGetsTheShellsVerdict) {
    struct Case {
        QString plugin;
        QStringList options;
        QStringList findings;  // patterns, in order
    };
    const QString leftBehind = R"(unload survivor: process (\d+) \(.*\)%1 \(ended it\))";
    const QString stopped = R"(Init stop: Fault 440; the module in slot 1 stopped: %1; )"
                            R"(KestrixTest\.%2; KX\.O1)";
    const QString cannotCreate =
        R"(create fault: Fault 429; ActiveX component can't create )"
        R"(object: %1; Kestrix; KX\.NeuesObjekt Object:KestrixTest\.%2\[1\])";
    const Case cases[] = {
        {testPlugin("faulty"),
         {"--run", "0"},
         {R"(Init fault: Fault 13; Type mismatch; Kestrix; KX\.NeuesObjekt)",
          R"(Refresh fault: Fault 438; Object doesn't support this property or method; )"
          R"(Kestrix; KX\.NeuesObjekt)",
          R"(Terminate fault: Fault 440; relay stuck; KestrixTest\.Faulty; KX\.InternEndProgram)"}},
        {testPlugin("throwing"), {}, {cannotCreate.arg("licence missing", "Throwing")}},
        {checkerPlugin("wrongiid"),
         {"--run", "0"},
         {cannotCreate.arg(R"(\S+/kestrix_test_wrongiid_plugin\.so offers interface )"
                           R"("org\.kestrix\.ControlPlugin", the shell expects )"
                           R"("org\.kestrix\.ControlPlugin/1")",
                           "WrongIid")}},
        {checkerPlugin("otherqt"),
         {"--run", "0"},
         {cannotCreate.arg(R"(.*uses incompatible Qt library\.? \(6\.99\.\d+\).*)", "OtherQt")}},
        {testPlugin("crashing"),
         {},
         {stopped.arg(R"(its process ended on signal \d+ \(.*\))", "Crashing")}},
        {testPlugin("hanging"),
         {"--timeout", "1"},
         {stopped.arg("did not answer Init within 1 s", "Hanging")}},
        // Its forged record reaches the container's record channel only in the checker's own
        // process (where its members are read), and is known by its missing token.
        {checkerPlugin("forging"),
         {"--run", "0"},
         {stopped.arg(R"(its process ended with exit status 0)", "Forging"),
          R"(unload forged: 1 line on the container's record channel did not come from the )"
          R"(container: the plug-in writes to descriptors it does not own)"}},
        // It exits a second after Init, while it runs.
        {isolationStandIn("exiting"),
         {"--run", "2"},
         {R"(run stop: Fault 440; the module in slot 1 stopped: its process ended with exit )"
          R"(status 3; XKX_Xmelt\.Xmelt; KX\.O1)"}},
        {checkerPlugin("timerthrowing"),
         {"--run", "1"},
         {R"(run fault: Fault 440; relay stuck; KestrixTest\.TimerThrowing; KX\.O1)"}},
        // Its own timer holds its loop right after Init, so Refresh waits, on any machine.
        {checkerPlugin("blocking"),
         {"--run", "0"},
         {R"(Refresh blocked: Refresh waited (?:1\.[1-9]|2\.\d) s for its answer \(more than 1 )"
          R"(s\): the module's own code held its process's event loop, and its window froze )"
          R"(meanwhile)"}},
        // Loaded once more in the checker's own process, to read its members: what it leaves there
        // and the grandchild that one starts.
        {checkerPlugin("leavingload"),
         {"--run", "0"},
         {leftBehind.arg(", started when the library was loaded in the checker's own process, "
                         "outlived it; .*"),
          leftBehind.arg(", started when the library was loaded in the checker's own process, "
                         "outlived it; .*")}},
        {checkerPlugin("leavingdaemon"),
         {"--run", "0"},
         {leftBehind.arg(" left the module's process group and still ran as the module ended; "
                         "a kill of that group would not end it")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin.toStdString());
        ContainerRun run = check(QStringList{c.plugin, "--json"} + c.options);
        EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
        EXPECT_FALSE(run.report["fit"].toBool(true));
        const QStringList found = findings(run);
        if (found.size() != c.findings.size()) {
            ADD_FAILURE() << found.join('\n').toStdString();
            continue;
        }
        for (qsizetype i = 0; i < found.size(); ++i) {
            const QRegularExpressionMatch match =
                QRegularExpression(QRegularExpression::anchoredPattern(c.findings[i]))
                    .match(found[i]);
            EXPECT_TRUE(match.hasMatch()) << found[i].toStdString();
            // A process left behind is ended and reaped, not left to the line.
            if (match.hasMatch() && match.lastCapturedIndex() == 1) {
                EXPECT_NE(::kill(match.captured(1).toInt(), 0), 0) << match.captured(1).toInt();
            }
        }
    }

    // A process left in the module's process group ends with the module's process, as on a line.
    // That process ends as the shell ends it: the control is destroyed there (its destructor runs;
    // the checker's own read of its members destroys the other "O1").
    QTemporaryDir marks;
    const QString destroyed = marks.filePath("destroyed");
    const ScopedVariable marking("KESTRIX_TEST_DESTROYED_MARKS", QFile::encodeName(destroyed));
    for (const char* leaving : {"leavinginit", "leavingterminate"}) {
        QFile::remove(destroyed);
        ContainerRun run = check({checkerPlugin(leaving), "--run", "0", "--json"});
        EXPECT_EQ(run.exitCode, 0) << leaving << run.out.toStdString();
        QFile file(destroyed);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << leaving;
        EXPECT_EQ(file.readAll(), "O1\nO1\n") << leaving;
    }

    // Why the shell cannot call a member that is there.
    ContainerRun faulty = check({testPlugin("faulty"), "--run", "0", "--json"});
    QStringList whys;
    for (const QJsonValue& member : faulty.report["members"].toArray()) {
        whys.append(member["member"].toString() + ": " + member["why"].toString());
    }
    EXPECT_EQ(whys.join('\n').toStdString(),
              (QStringList{"Init: parameter 3 of Init(short,short,QDate,bool) is QDate, but "
                           "the shell passes a string (the machine name) there (fault 13)",
                           "Refresh: kestrix::test::FaultyModule::Refresh is a C++ function "
                           "but not Q_INVOKABLE: the shell reaches only Q_INVOKABLE "
                           "functions and Q_PROPERTY members",
                           "AbsoluteHoehe: ", "Terminate: "})
                  .join('\n')
                  .toStdString());

    // A good library that others may write to is one the shell would not load.
    QTemporaryDir folder;
    const QString open = folder.filePath("module.so");
    ASSERT_TRUE(QFile::copy(testPlugin("module"), open));
    ASSERT_TRUE(QFile::setPermissions(
        open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    ContainerRun refused = check({open, "--json"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(findings(refused), QStringList{"load refused: plug-in library \"" + open +
                                             "\" skipped: writable by others than its owner "
                                             "and root"});
}

// Events emitted from a thread of the module's own are shown as the shell shows them; that is no
// finding.
TEST_F(ContainerTest, EventsFromAModulesThreadAreRouted) {
    ContainerRun run = check({checkerPlugin("threademitting"), "--run", "1", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    QStringList boxes;
    for (const QJsonValue& event : run.report["events"].toArray()) {
        boxes.append(event["box"].toString() + " " +
                     QString::number(event["arguments"][0].toInt()));
    }
    EXPECT_EQ(boxes, (QStringList{"1 Ticked 1", "1 Ticked 2", "1 Ticked 3"}));
    EXPECT_EQ(
        run.report["notes"].toArray().toVariantList(),
        QVariantList{"Ticked was emitted from a thread of the module's own: the shell shows "
                     "it on its window's thread, and the emit returns once its box is closed"});
}

// What a plug-in names reaches the terminal with its control characters escaped, and the JSON
// report with JSON's escapes: no line break or terminal escape of its own gets through.
TEST_F(ContainerTest, AProgIdWithControlCharactersCannotForgeTheReport) {
    const QString evil = "KestrixTest.Evil\n\x1b[2Jverdict: fit for a line";
    ContainerRun text = check({checkerPlugin("controlchars"), "--run", "0"});
    EXPECT_FALSE(text.out.contains('\x1b'));
    EXPECT_FALSE(text.out.split('\n').contains("verdict: fit for a line"));
    EXPECT_TRUE(text.out.contains("ProgID: KestrixTest.Evil\\n\\x1b[2Jverdict: fit for a line"))
        << text.out.toStdString();
    ContainerRun json = check({checkerPlugin("controlchars"), "--run", "0", "--json"});
    EXPECT_FALSE(json.out.contains('\x1b'));
    EXPECT_EQ(json.report["progId"].toString(), evil);
}

TEST_F(ContainerTest, AProgIdIsServedByTheFirstLibraryOfTheShellsFolders) {
    const QString site = buildDir() + "/tests/plugins/site";
    ContainerRun run = check({"XKX_OCR.OCR", "--run", "0", "--json"}, site);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(run.report["file"].toString(), site + "/kestrix_test_site_ocr_plugin.so");
    EXPECT_EQ(run.report["shadows"].toArray().toVariantList(),
              QVariantList{buildDir() + "/Program/Kestrix/plugins/kestrix_module_ocr.so"});
}

}  // namespace
}  // namespace kestrix
