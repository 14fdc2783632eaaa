// kestrix-check as the commissioning engineer runs it: a real process, its stdout, stderr and
// exit code.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrix {
namespace {

// The program in the build folder under test; the one built along with this test otherwise.
QString checkProgram() {
    QByteArray buildDir = qgetenv("KESTRIX_BUILD_DIR");
    if (buildDir.isEmpty()) {
        return QStringLiteral(KESTRIX_CHECK_PROGRAM);
    }
    return QString::fromLocal8Bit(buildDir) + "/Program/Kestrix/kestrix-check";
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class CheckToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        program = checkProgram();
        ASSERT_TRUE(QFile::exists(program)) << program.toStdString();
        ini = folder.filePath("Program.ini");
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[Project]\r\nResolution = 800 \r\nBig=70000\r\nWithLineDisplay=True\r\n"
            "Name = \"Line \\ \"one\" \xE4\"\r\nEmpty=\r\n"
            "[Machine1]\r\nMachineName=Packer 1\r\nTab\tKey=tabbed\r\n");
    }

    ToolRun run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess process;
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted());
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished());
        return ToolRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                       process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QTemporaryDir folder;
    QString program;
    QString ini;
};

TEST_F(CheckToolTest, OneQueryPrintsTheValueAsTheShellReadsIt) {
    ToolRun integer = run({"ini", ini, "project", "RESOLUTION", "--int"});
    EXPECT_EQ(integer.exitCode, 0);
    EXPECT_EQ(integer.out, "800\n");
    EXPECT_TRUE(integer.err.isEmpty());
    EXPECT_EQ(run({"ini", ini, "Project", "Big", "--int"}).out, "4464\n");
    EXPECT_EQ(run({"ini", ini, "Project", "WithLineDisplay", "--bool"}).out, "TRUE\n");
    EXPECT_EQ(run({"ini", ini, "Machine1", "MachineName"}).out, "Packer 1\n");
    EXPECT_EQ(run({"ini", ini + ".missing", "Project", "Resolution", "--int"}).out, "-1\n");
    EXPECT_EQ(run({"ini", ini, "Project", "Absent"}).out, "\n");
    // A Latin-1 byte prints as the character the shell reads, in UTF-8.
    EXPECT_EQ(run({"ini", ini, "Project", "Name"}).out, "Line \\ \"one\" \xC3\xA4\n");
}

// --help prints the usage on standard output and succeeds; --version the project's version; wrong
// arguments give one usage line that points at --help.
TEST_F(CheckToolTest, BadArgumentsPrintOneUsageLineAndExitWithTwoAndHelpAndVersionSucceed) {
    ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("kestrix-check plugin LIBRARY|PROGID")) << help.out.data();
    EXPECT_TRUE(help.err.isEmpty());
    ToolRun version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kestrix-check " KESTRIX_VERSION "\n");

    const QList<std::pair<QStringList, QByteArray>> badCalls = {
        {{}, "usage: kestrix-check ini|plan|plugin ... (see kestrix-check --help)\n"},
        {{"lint"}, "usage: kestrix-check ini|plan|plugin ... (see kestrix-check --help)\n"},
        {{"plan", folder.path(), "extra"},
         "usage: kestrix-check plan [ROOT] (see kestrix-check --help)\n"},
        {{"ini", ini, "Project"},
         "usage: kestrix-check ini FILE SECTION KEY [--int|--bool] (see kestrix-check --help)\n"},
        {{"ini", ini, "Project", "Resolution", "--float"},
         "usage: kestrix-check ini FILE SECTION KEY [--int|--bool] (see kestrix-check --help)\n"}};
    for (const auto& [arguments, usage] : badCalls) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        ToolRun bad = run(arguments);
        EXPECT_EQ(bad.exitCode, 2);
        EXPECT_TRUE(bad.out.isEmpty());
        EXPECT_EQ(bad.err, usage);
    }
}

TEST_F(CheckToolTest, BatchAnswersEveryQueryOnALineOfItsOwnWithEscapes) {
    QByteArray f = "\t" + ini.toLocal8Bit() + "\t";
    QByteArray queries = "int" + f + "Project\tResolution\n" + "int" + f + "Project\tEmpty\n" +
                         "bool" + f + "project\twithlinedisplay\n" + "bool" + f +
                         "Project\tResolution\n" + "str" + f + "Machine1\tMachineName\n" + "str" +
                         f + "No Section\tName\n" + "str" + f + "Project\tName\n" + "str" + f +
                         "Machine1\tTab\\tKey\n" + "str" + f + "Machine1\tTab\\x09key\n";
    ToolRun batch = run({"ini", "--batch"}, queries);
    EXPECT_EQ(batch.exitCode, 0);
    EXPECT_EQ(batch.out,
              "800\n-1\nTRUE\nFALSE\n8 \"Packer 1\"\n0 \"\"\n"
              "14 \"Line \\\\ \\\"one\\\" \\xE4\"\n6 \"tabbed\"\n6 \"tabbed\"\n");
}

TEST_F(CheckToolTest, ABadBatchLineAnswersErrorAndTheOthersStillAnswer) {
    QByteArray f = "\t" + ini.toLocal8Bit() + "\t";
    QByteArray queries = "int" + f + "Project\tResolution\n" + "float" + f + "Project\tBig\n" +
                         "int" + f + "Project\n" + "int" + f + "Project\tBad\\q\n" + "int" + f +
                         "Project\tCut\\x4\n" + "int" + f + "Project\tDangling\\\n" + "\n" + "int" +
                         f + "Project\tBig\n";
    ToolRun batch = run({"ini", "--batch"}, queries);
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_EQ(batch.out, "800\nERROR\nERROR\nERROR\nERROR\nERROR\nERROR\n4464\n");
    EXPECT_TRUE(batch.err.contains("line 2"));
}

}  // namespace
}  // namespace kestrix
