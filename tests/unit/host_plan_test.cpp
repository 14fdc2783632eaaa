// kestrix-check plan as the commissioning engineer runs it: a real process on a line's root.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "TestFiles.h"

namespace kestrix {
namespace {

struct PlanRun {
    int exitCode = -1;
    QStringList lines;
    QByteArray err;

    // The lines of the plan without those of the plug-in registry.
    QStringList slotsAndLog() const {
        return lines.filter(
            QRegularExpression("^(machines:|slot |rejected |modules run|desktop windows|log )"));
    }
};

class PlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        buildDir = qEnvironmentVariable("KESTRIX_BUILD_DIR");
        program = buildDir + "/Program/Kestrix/kestrix-check";
        ASSERT_TRUE(QFile::exists(program)) << program.toStdString();
        ASSERT_TRUE(QDir(root.path()).mkpath("Parameter"));
        ASSERT_TRUE(QDir(root.path()).mkpath("Program/Kestrix/plugins"));
    }

    void write(const QString& relativePath, const QByteArray& content) {
        writeFile(root.filePath(relativePath), content);
    }

    PlanRun plan(const QString& pluginPath, const QStringList& arguments = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KESTRIX_PLUGIN_PATH", pluginPath);
        // No desktop: the plan says so the same way on every machine.
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        process.start(program, arguments.isEmpty() ? QStringList{"plan", root.path()} : arguments);
        EXPECT_TRUE(process.waitForFinished());
        return PlanRun{
            process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            process.readAllStandardError()};
    }

    QTemporaryDir root;
    QString buildDir;
    QString program;
};

TEST_F(PlanTest, ListsTheSlotsInCreationOrderWithTheirRegistration) {
    write("Parameter/Program.ini",
          "[Project]\r\nNumberOfMachines=2\r\n"
          "[Machine1]\r\nMachineName=Packer 1\r\nOCRNumberOfModules=1\r\n"
          "[Machine2]\r\nMachineName=Packer 2\r\nOCRNumberOfModules=1\r\n"
          "HotMeltTankNumberOfTanks=1\r\n");
    write("Program/Kestrix/Kestrix.ini",
          "[Project]\r\nLogFileName=/var/log/line.log\r\nLogFileSize=5\r\nLogFileData=true\r\n"
          "[Modules]\r\nIsolation=InProcess\r\n");

    PlanRun registered = plan(buildDir + "/Program/Kestrix/plugins");
    EXPECT_EQ(registered.exitCode, 0) << registered.err.toStdString();
    EXPECT_EQ(registered.slotsAndLog(),
              (QStringList{"machines: 2",
                           "slot 1: XKX_Xmelt.Xmelt, machine 2 \"Packer 2\", unit 1, registered",
                           "slot 2: XKX_OCR.OCR, machine 1 \"Packer 1\", unit 1, registered",
                           "slot 3: XKX_OCR.OCR, machine 2 \"Packer 2\", unit 1, registered",
                           "modules run: inprocess (all in the shell's own process)",
                           "desktop windows: none (no X display, no Wayland compositor)",
                           "log file: /var/log/line.log", "log size: 100 KB",
                           "log system lines: off", "log data lines: on"}));

    EXPECT_EQ(registered.lines.filter(QRegularExpression("^progid ")).size(), 9);

    // Without the plug-in folder nothing is registered (the nine lines and the site's list); a
    // value that is no isolation keeps the processes and says so.
    write("Program/Kestrix/Kestrix.ini", "[Modules]\r\nIsolation=threads\r\n");
    PlanRun bare = plan(QString());
    ASSERT_EQ(bare.lines.size(), 12);
    EXPECT_TRUE(bare.lines.contains(
        "modules run: process (each in a process of its own; in the shell's own process where "
        "the display cannot embed them)"));
    EXPECT_TRUE(bare.lines.filter("Isolation=threads is neither").size() == 1);
    EXPECT_TRUE(bare.lines[1].endsWith(", unit 1, not registered"));
}

// A site's folder comes before the line's own, relative and open folders are passed over: the
// plan names the library that serves each ProgID, what it shadows and what was skipped, and the
// shell's registry says the same on standard error.
TEST_F(PlanTest, NamesTheServingLibraryWhatItShadowsAndTheSkippedFolders) {
    write("Parameter/Program.ini", "[Project]\r\nNumberOfMachines=1\r\n");
    QTemporaryDir open;
    ASSERT_TRUE(QFile::setPermissions(open.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::WriteOther | QFile::ExeOther));
    const QString site = buildDir + "/tests/plugins/site";
    const QString shipped = buildDir + "/Program/Kestrix/plugins";
    // The site's folder from the site's list, searched after the variable's folders.
    const QString list = root.filePath("plugin-path");
    writeFile(list, "# site modules\n" + site.toLocal8Bit() + "\n" + shipped.toLocal8Bit() + "\n");
    qputenv("KESTRIX_SITE_PLUGIN_PATH_FILE", list.toLocal8Bit());

    PlanRun run = plan("plugins:" + open.path());
    qunsetenv("KESTRIX_SITE_PLUGIN_PATH_FILE");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.lines.contains("site plug-in folders (" + list + "): " + site + ", " + shipped))
        << run.lines.join('\n').toStdString();
    EXPECT_TRUE(run.lines.contains("progid xkx_ocr.ocr: " + site +
                                   "/kestrix_test_site_ocr_plugin.so, shadows " + shipped +
                                   "/kestrix_module_ocr.so"))
        << run.lines.join('\n').toStdString();
    EXPECT_TRUE(
        run.lines.contains("progid XKX_Xmelt.Xmelt: " + shipped + "/kestrix_module_xmelt.so"));
    const QStringList skipped{"plug-in folder \"plugins\" skipped: not an absolute path",
                              "plug-in folder \"" + open.path() +
                                  "\" skipped: writable by others than its owner and root"};
    EXPECT_EQ(run.lines.filter(" skipped: "), skipped);
    EXPECT_EQ(QString::fromLocal8Bit(run.err).split('\n', Qt::SkipEmptyParts),
              (QStringList{"Kestrix: " + skipped[0], "Kestrix: " + skipped[1]}));
}

TEST_F(PlanTest, RequestsBeyondTwentyAreListedAsRejected) {
    QByteArray ini = "[Project]\r\nNumberOfMachines=9\r\n[Machine1]\r\nMachineName=Solo\r\n";
    for (const char* key : {"HotMeltTankNumberOfTanks", "OCRNumberOfModules",
                            "StampInspectionSystems", "TarvoSystems"}) {
        ini += QByteArray(key) + "=3\r\n";
    }
    write("Parameter/Program.ini", ini);
    PlanRun run = plan(QString());
    EXPECT_EQ(run.exitCode, 0);
    // NumberOfMachines outside 1..5 means one machine: six modules, none rejected.
    EXPECT_EQ(run.lines.first(), "machines: 1");
    EXPECT_EQ(run.lines.filter(QRegularExpression("^slot ")).size(), 6);
    EXPECT_TRUE(run.lines.filter("rejected").isEmpty());
    EXPECT_TRUE(run.lines.contains("log file: " + root.path() + "/Program/Kestrix/Kestrix.log"));

    ini = "[Project]\r\nNumberOfMachines=5\r\n";
    for (int m = 1; m <= 5; ++m) {
        ini += "[Machine" + QByteArray::number(m) +
               "]\r\nHotMeltTankNumberOfTanks=3\r\n"
               "OCRNumberOfModules=1\r\nTarvoSystems=1\r\nClosureStampInspectionSystems=1\r\n";
    }
    write("Parameter/Program.ini", ini);
    run = plan(QString());
    EXPECT_EQ(run.lines.filter(QRegularExpression("^slot ")).size(), 20);
    QStringList rejected = run.lines.filter(QRegularExpression("^rejected "));
    ASSERT_EQ(rejected.size(), 5);
    EXPECT_EQ(
        rejected.first(),
        "rejected 21: XKX_ClosureStampInspection.CSI, machine 1 \"\", unit 1, not registered");
}

// Every mistake of a line that the shell passes over or corrects gets one warning, after the
// plan; the sound lines of the tests above get none.
TEST_F(PlanTest, WarnsOfEachMistakeTheShellPassesOverOrCorrects) {
    write("Parameter/Program.ini",
          "[Project]\r\nNumberOfMachines=9\r\n"
          "[Machine1]\r\nMachineName=S\xFC"
          "d\r\nOCRNumberOfModule=1\r\nTarvoSystem=1\r\n"
          "LEDwithDirtyFilter=2\r\nHotMeltTankNumberOfTanks=7\r\nStampInspectionSystems=-1\r\n"
          "TopFoldSystems=1\r\ntopfoldsystems=0\r\n"
          "[Machine2]\r\nMachineName=Nord\r\n");
    write("Program/Kestrix/Kestrix.ini", "[Project]\r\nLogFileSize=5\r\n");
    const QString site = buildDir + "/tests/plugins/site";
    const QString list = root.filePath("plugin-path");
    writeFile(list, site.toLocal8Bit() + "\n");
    qputenv("KESTRIX_SITE_PLUGIN_PATH_FILE", list.toLocal8Bit());
    PlanRun run = plan(QString());
    qunsetenv("KESTRIX_SITE_PLUGIN_PATH_FILE");

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(
        run.lines.contains("slot 1: XKX_Xmelt.Xmelt, machine 1 \"S\u00fcd\", unit 1, "
                           "not registered"))
        << run.lines.join('\n').toStdString();
    const QString machine1 = "warning: Program.ini [Machine1] ";
    EXPECT_EQ(
        run.lines.filter(QRegularExpression("^warning: ")),
        (QStringList{
            "warning: Program.ini [Project] NumberOfMachines=9: outside its range, the shell "
            "uses 1",
            "warning: Kestrix.ini [Project] LogFileSize=5: outside its range, the shell uses 100",
            machine1 + "OCRNumberOfModule: not a key the shell knows (nearest: OCRNumberOfModules)",
            machine1 + "TarvoSystem: not a key the shell knows (nearest: TarvoSystems)",
            machine1 + "LEDwithDirtyFilter=2: XKX_DirtyFilterKeyence.DirtyFilter has no unit "
                       "above 1, the shell leaves out unit 2",
            machine1 + "HotMeltTankNumberOfTanks=7: XKX_Xmelt.Xmelt has no unit above 2, the "
                       "shell leaves out unit 3",
            machine1 + "StampInspectionSystems=-1: below 0, the shell creates none of its units",
            machine1 + "topfoldsystems: given again, the shell reads the first",
            "warning: Program.ini [Machine2]: not read, the shell uses 1 machine(s)",
            "warning: site library " + site +
                "/kestrix_test_site_ocr_plugin.so (xkx_ocr.ocr): no slot uses it"}));
    // The warnings come after the whole plan.
    EXPECT_TRUE(run.lines.last().startsWith("warning: site library"));
}

TEST_F(PlanTest, ARootWithoutProgramIniIsRefused) {
    PlanRun run = plan(QString());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("Parameter/Program.ini")) << run.err.toStdString();
    EXPECT_EQ(plan(QString(), {"plan", root.path(), "extra"}).exitCode, 2);
    // Without a root the plan looks at the installation it belongs to, here the build folder.
    const PlanRun own = plan(QString(), {"plan"});
    EXPECT_EQ(own.exitCode, 2);
    EXPECT_TRUE(own.err.startsWith(
        ("kestrix-check plan: " + QDir(buildDir).canonicalPath() + " is no installation root")
            .toLocal8Bit()))
        << own.err.toStdString();
}

}  // namespace
}  // namespace kestrix
