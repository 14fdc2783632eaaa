// The settings every activation of the operator window reads: the root, the log's settings from
// Kestrix.ini and the line's from Program.ini, with their defaults and clamps, in order.

#include <gtest/gtest.h>

#include <QStringList>

#include "FakeDialogs.h"
#include "FixedClock.h"
#include "TempRoot.h"
#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {
namespace {

class ActivationSettingsTest : public ::testing::Test {
protected:
    // Reads the settings for the root's program directory; the reader's fault lines go to a log
    // beside the root.
    void read(const QString& programDirectory) {
        faults.LogDateiName = root.path() + QStringLiteral("/faults.log");
        faults.LogDateiGroesse = 2000;
        FaultScope p(faults, QStringLiteral("KX.Form_Activate"));
        readActivationSettings(p, service, programDirectory, log, settings,
                               [&](ActivationProgress progress) {
                                   reached << (progress == ActivationProgress::LogSettingsRead
                                                   ? QStringLiteral("log ") + log.LogDateiName
                                                   : QStringLiteral("machines"));
                               });
    }
    void read() { read(root.programDirectory()); }

    TempRoot root;
    FixedClock clock;
    FakeDialogs dialogs;
    Service service{dialogs};
    LogWriter faults{clock};
    LogWriter log{clock};
    ActivationSettings settings;
    QStringList reached;
};

TEST_F(ActivationSettingsTest, WithoutAnyFileTheDefaultsHold) {
    read();
    EXPECT_EQ(settings.BaseDirectory, root.path());
    EXPECT_EQ(settings.Line.ProgramIniFile, root.programIni());
    EXPECT_EQ(log.LogDateiName, root.defaultLog());
    EXPECT_EQ(log.LogDateiGroesse, 100);
    EXPECT_FALSE(log.LogSystem);
    EXPECT_FALSE(log.Logdaten);
    EXPECT_FALSE(settings.VWStudio);
    EXPECT_EQ(settings.Line.NumberOfMachines, 1);
    // The log's settings are in place when the activation says so.
    EXPECT_EQ(reached, (QStringList{"log " + root.defaultLog(), "machines"}));
    EXPECT_TRUE(logFaults(faults.LogDateiName).isEmpty());
}

TEST_F(ActivationSettingsTest, TheLogSizeLimitIsTenToTwoThousandOrElseAHundred) {
    for (const auto& [value, expected] :
         {std::pair{"9", 100}, std::pair{"10", 10}, std::pair{"2000", 2000}, std::pair{"2001", 100},
          std::pair{"abc", 100}, std::pair{"", 100}}) {
        root.writeKestrixIni(QByteArray("[Project]\nLogFileSize=") + value +
                             "\nLogFileSystem=True\nLogFileData=TRUE\nLogFileName=/x/y.log\n");
        read();
        EXPECT_EQ(log.LogDateiGroesse, expected) << value;
        EXPECT_EQ(log.LogDateiName, QStringLiteral("/x/y.log"));
        EXPECT_TRUE(log.LogSystem && log.Logdaten);
    }
}

TEST_F(ActivationSettingsTest, OnlyTheConfiguredMachinesNamesAreRead) {
    root.writeProgramIni(
        "[Project]\nNumberOfMachines=2\nVWStudio=true\n[Machine1]\nMachineName=Cartoner 1\n"
        "[Machine2]\nMachineName=Cartoner 2\n[Machine3]\nMachineName=Never read\n");
    read();
    EXPECT_TRUE(settings.VWStudio);
    EXPECT_EQ(settings.Line.NumberOfMachines, 2);
    EXPECT_EQ(settings.Line.MachineName,
              (std::array<QString, 5>{"Cartoner 1", "Cartoner 2", "", "", ""}));

    for (const char* outOfRange : {"0", "6", "-1"}) {
        root.writeProgramIni(QByteArray("[Project]\nNumberOfMachines=") + outOfRange +
                             "\n[Machine2]\nMachineName=Second\n");
        settings.Line.MachineName = {};
        read();
        EXPECT_EQ(settings.Line.NumberOfMachines, 1) << outOfRange;
        EXPECT_EQ(settings.Line.MachineName[1], QString()) << outOfRange;
    }
}

// A program directory one level below the root of the file system: the second cut faults, the
// root stays what the first cut left, and every later step still runs.
TEST_F(ActivationSettingsTest, ARootThatCannotBeCutFaultsOnceAndTheRestIsRead) {
    read(QStringLiteral("/Kestrix"));
    EXPECT_EQ(settings.BaseDirectory, QString());
    EXPECT_EQ(settings.Line.ProgramIniFile, QStringLiteral("/Parameter/Program.ini"));
    EXPECT_EQ(log.LogDateiName, QStringLiteral("/Program/Kestrix/Kestrix.log"));
    EXPECT_EQ(settings.Line.NumberOfMachines, 1);
    const QStringList lines = logFaults(faults.LogDateiName);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Fault 5; ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("; KX.Form_Activate")) << lines[0].toStdString();
}

}  // namespace
}  // namespace kestrix
