// kestrix-check plugin, the plug-in test container, as a vendor runs it: a real process on real
// plug-in libraries that keep the host's contract or break it.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

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

    // Each finding as "step: text".
    static QStringList findings(const ContainerRun& run) {
        QStringList found;
        for (const QJsonValue& finding : run.report["findings"].toArray()) {
            found.append(finding["step"].toString() + ": " + finding["text"].toString());
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

// A missing member, a wrong argument type and a throw give the fault lines the shell would log;
// a crash and a hang end only the container's child and are findings of their own.
TEST_F(ContainerTest, EveryKindOfBadPlugInIsReportedAndNotFit) {
    ContainerRun faulty = check({testPlugin("faulty"), "--run", "0", "--json"});
    EXPECT_EQ(faulty.exitCode, 1);
    EXPECT_EQ(findings(faulty),
              (QStringList{"Init: Fault 13; Type mismatch; Kestrix; KX.NeuesObjekt",
                           "Refresh: Fault 438; Object doesn't support this property or method; "
                           "Kestrix; KX.NeuesObjekt",
                           "Terminate: Fault 440; relay stuck; KestrixTest.Faulty; "
                           "KX.InternEndProgram"}));
    EXPECT_FALSE(faulty.report["fit"].toBool(true));

    ContainerRun throwing = check({testPlugin("throwing"), "--json"});
    EXPECT_EQ(findings(throwing),
              QStringList{"create: Fault 429; ActiveX component can't create object: licence "
                          "missing; Kestrix; KX.NeuesObjekt Object:KestrixTest.Throwing[1]"});

    ContainerRun crashing = check({testPlugin("crashing"), "--json"});
    ContainerRun hanging = check({testPlugin("hanging"), "--timeout", "1", "--json"});
    for (const ContainerRun* run : {&crashing, &hanging}) {
        EXPECT_EQ(run->exitCode, 1) << run->out.toStdString();
        ASSERT_EQ(run->report["findings"].toArray().size(), 1) << run->out.toStdString();
        EXPECT_EQ(run->report["findings"][0]["step"].toString(), "Init");
    }
    EXPECT_EQ(crashing.report["findings"][0]["kind"].toString(), "crash");
    EXPECT_EQ(hanging.report["findings"][0]["kind"].toString(), "hang");

    // A good library that others may write to is one the shell would not load.
    QTemporaryDir folder;
    const QString open = folder.filePath("module.so");
    ASSERT_TRUE(QFile::copy(testPlugin("module"), open));
    ASSERT_TRUE(QFile::setPermissions(
        open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    ContainerRun refused = check({open, "--json"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(findings(refused),
              QStringList{"load: plug-in library \"" + open +
                          "\" skipped: writable by others than its owner and root"});
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
