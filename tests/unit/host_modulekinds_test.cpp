// The start procedures of the module kinds: unit masks, machine and unit order, source strings,
// markers and yields, through a recording receiver and through the host itself.

#include "host_fixture.h"

#include "host/ModuleKinds.h"
#include "log/FaultScope.h"

#include <string>

namespace kestrix {
namespace {

struct Request {
    QString progId;
    int16_t unit;
    int16_t machine;
    QString machineName;
    bool operator==(const Request&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Request& r) {
    return out << r.progId.toStdString() << " unit " << r.unit << " machine " << r.machine << " "
               << r.machineName.toStdString();
}

class RecordingRequests final : public UnitRequests {
public:
    void NeuesObjekt(const QString& progId, int16_t unit, int16_t machine,
                     const QString& machineName) override {
        requests.push_back({progId, unit, machine, machineName});
        steps << QStringLiteral("request");
    }
    void yield() override { steps << QStringLiteral("yield"); }

    std::vector<Request> requests;
    QStringList steps;
};

class ModuleKindTest : public HostTest {
protected:
    // The units requested for one kind with this line of Machine1.
    std::vector<int16_t> unitsFor(const ModuleKind& kind, const QByteArray& value) {
        line.NumberOfMachines = 1;
        writeProgramIni("[Machine1]\r\n" + QByteArray(kind.key) + "=" + value + "\r\n");
        RecordingRequests receiver;
        StartModuleKind(kind, "KX.Test", line, service, log, receiver);
        std::vector<int16_t> units;
        for (const Request& r : receiver.requests) {
            units.push_back(r.unit);
        }
        return units;
    }
};

const ModuleKind& hotmelt = ModuleKinds[0];
const ModuleKind& ocr = ModuleKinds[1];

TEST_F(ModuleKindTest, TheMaskNamesUnitsUpToTheKindsHighestUnit) {
    using Units = std::vector<int16_t>;
    EXPECT_EQ(unitsFor(hotmelt, "1"), (Units{1}));
    EXPECT_EQ(unitsFor(hotmelt, "2"), (Units{2}));
    EXPECT_EQ(unitsFor(hotmelt, "3"), (Units{1, 2}));
    EXPECT_EQ(unitsFor(hotmelt, "7"), (Units{1, 2}));
    EXPECT_EQ(unitsFor(ocr, "2"), Units{});
    EXPECT_EQ(unitsFor(ocr, "3"), (Units{1}));
    // Negative, missing and 16-bit cut values.
    EXPECT_EQ(unitsFor(hotmelt, "-1"), Units{});
    EXPECT_EQ(unitsFor(hotmelt, "-3"), Units{});
    EXPECT_EQ(unitsFor(hotmelt, "65535"), Units{});
    EXPECT_EQ(unitsFor(hotmelt, "65537"), (Units{1}));
    EXPECT_EQ(unitsFor(hotmelt, ""), Units{});
    EXPECT_TRUE(faultLines().isEmpty());
}

TEST_F(ModuleKindTest, MachinesComeFirstThenUnitsAndOnlyConfiguredMachinesAreRead) {
    line.NumberOfMachines = 3;
    writeProgramIni(
        "[Machine1]\r\nHotMeltTankNumberOfTanks=2\r\n"
        "[Machine2]\r\nHotMeltTankNumberOfTanks=0\r\n"
        "[Machine3]\r\nHotMeltTankNumberOfTanks=3\r\n"
        "[Machine4]\r\nHotMeltTankNumberOfTanks=3\r\n");
    RecordingRequests receiver;
    StartModuleKind(hotmelt, "KX.TimerErstemal_Timer", line, service, log, receiver);
    EXPECT_EQ(receiver.requests, (std::vector<Request>{{"XKX_Xmelt.Xmelt", 2, 1, "Packer 1"},
                                                       {"XKX_Xmelt.Xmelt", 1, 3, "Packer 3"},
                                                       {"XKX_Xmelt.Xmelt", 2, 3, "Packer 3"}}));
    // One yield after the start marker and one after each unit.
    EXPECT_EQ(receiver.steps,
              (QStringList{"yield", "request", "yield", "request", "yield", "request", "yield"}));
    EXPECT_EQ(logLines(), (QStringList{"D KX.TimerErstemal_Timer.HotmeltStart An ",
                                       "D KX.TimerErstemal_Timer.HotmeltStart En "}));
}

// Each start procedure, run by the host in the table's order, creates its own kind's module
// under its own markers.
TEST_F(ModuleKindTest, EachStartProcedureStartsItsOwnKind) {
    line.NumberOfMachines = 1;
    QByteArray ini = "[Machine1]\r\n";
    for (const ModuleKind& kind : ModuleKinds) {
        ini += QByteArray(kind.key) + "=1\r\n";
    }
    writeProgramIni(ini);
    const QString caller = QStringLiteral("KX.TimerErstemal_Timer");
    for (const ModuleKind& kind : ModuleKinds) {
        QFile::remove(log.LogDateiName);
        host->StartProcedure(kind, caller);
        SCOPED_TRACE(kind.procedure);
        EXPECT_EQ(host->slot(host->slotCount()).ProgID, QString::fromLatin1(kind.progId));
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines.first(), "D " + caller + "." + kind.procedure + " An ");
        EXPECT_EQ(lines.last(), "D " + caller + "." + kind.procedure + " En ");
    }
}

// Every call writes its start and end markers whatever happens between: a kind with no units on
// the line, and a unit whose module cannot be created.
struct MarkerCase {
    const char* name;
    QByteArray ocrUnits;
    bool registered;
    QStringList lines;  // fault lines shortened to their number and source
};

void PrintTo(const MarkerCase& c, std::ostream* out) {
    *out << c.name;
}

class MarkerTest : public ModuleKindTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerTest, BothMarkersAreWrittenWhateverHappensBetween) {
    const MarkerCase& c = GetParam();
    line.NumberOfMachines = 1;
    writeProgramIni("[Machine1]\r\nOCRNumberOfModules=" + c.ocrUnits + "\r\n");
    if (!c.registered) {
        controls.unregisterProgId(QStringLiteral("XKX_OCR.OCR"));
    }
    host->StartProcedure(ocr, QStringLiteral("KX.TimerErstemal_Timer"));
    QStringList lines;
    for (const QString& text : logLines()) {
        lines << (text.startsWith("E Fault ")
                      ? text.section(';', 0, 0) + " ..." + text.section(';', -1)
                      : text);
    }
    EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MarkerTest,
    ::testing::Values(MarkerCase{"NoUnits",
                                 "0",
                                 true,
                                 {"D KX.TimerErstemal_Timer.OCRStart An ",
                                  "D KX.TimerErstemal_Timer.OCRStart En "}},
                      MarkerCase{
                          "FailedCreation",
                          "1",
                          false,
                          {"D KX.TimerErstemal_Timer.OCRStart An ", "D KX.NeuesObjekt An ",
                           "E Fault 429 ... KX.NeuesObjekt Object:XKX_OCR.OCR[1]",
                           "D KX.NeuesObjekt En ", "D KX.TimerErstemal_Timer.OCRStart En "}}),
    [](const ::testing::TestParamInfo<MarkerCase>& info) { return std::string(info.param.name); });

// The countdown's order: two machines with one OCR module each and a hot-melt tank on machine 2.
TEST_F(ModuleKindTest, TheStartOrderDecidesTheSlots) {
    writeProgramIni(
        "[Machine1]\r\nOCRNumberOfModules=1\r\n"
        "[Machine2]\r\nOCRNumberOfModules=1\r\nHotMeltTankNumberOfTanks=1\r\n");
    for (const ModuleKind& kind : ModuleKinds) {
        host->StartProcedure(kind, QStringLiteral("KX.TimerErstemal_Timer"));
    }

    ASSERT_EQ(host->slotCount(), 3);
    EXPECT_EQ(host->slot(1).ProgID, "XKX_Xmelt.Xmelt");
    EXPECT_EQ(host->slot(1).Machine, 2);
    EXPECT_EQ(host->slot(2).ProgID, "XKX_OCR.OCR");
    EXPECT_EQ(host->slot(2).Machine, 1);
    EXPECT_EQ(host->slot(3).ProgID, "XKX_OCR.OCR");
    EXPECT_EQ(host->slot(3).Machine, 2);
    EXPECT_EQ(controls.control("O2")->calls().front().arguments.at(2), "Packer 1");
    // Eight start markers and eight end markers, three creations; one yield per marker and unit.
    EXPECT_EQ(logLines().filter(" An ").size(), 8 + 3);
    EXPECT_EQ(yields, 8 + 3);
}

// Once the modules are terminated, during a yield say, the procedure stops at its next step and
// writes only its end marker.
TEST_F(ModuleKindTest, AProcedureStopsWhenTheModulesAreTerminatedDuringItsYield) {
    writeProgramIni(
        "[Machine1]\r\nHotMeltTankNumberOfTanks=3\r\n"
        "[Machine2]\r\nHotMeltTankNumberOfTanks=3\r\n");
    onYield = [this] {
        if (++yields == 2) {
            FaultScope p(log, QStringLiteral("KX.InternEndProgram"));
            host->TerminatePlugins(p);
        }
    };
    host->StartProcedure(ModuleKinds[0], QStringLiteral("KX.TimerErstemal_Timer"));
    EXPECT_EQ(host->slotCount(), 1);
    EXPECT_EQ(controls.journal->sequence(), (QStringList{"O1.Init", "O1.Refresh", "O1.Terminate"}));
    EXPECT_EQ(logLines(),
              (QStringList{"D KX.TimerErstemal_Timer.HotmeltStart An ", "D KX.NeuesObjekt An ",
                           "D KX.NeuesObjekt En ", "D KX.TimerErstemal_Timer.HotmeltStart En "}));
    host->NeuesObjekt(QStringLiteral("XKX_Xmelt.Xmelt"), 1, 1, QStringLiteral("Packer 1"));
    EXPECT_EQ(host->slotCount(), 1);
    EXPECT_EQ(controls.addCalls.size(), 1u);
}

TEST_F(ModuleKindTest, RequestsBeyondTheTwentiethSlotAreRejectedAndTheProcedureGoesOn) {
    line.NumberOfMachines = 5;
    QByteArray ini;
    for (int m = 1; m <= 5; ++m) {
        ini += "[Machine" + QByteArray::number(m) + "]\r\n";
        for (const ModuleKind& kind : ModuleKinds) {
            ini += QByteArray(kind.key) + "=3\r\n";
        }
    }
    writeProgramIni(ini);
    for (const ModuleKind& kind : ModuleKinds) {
        StartModuleKind(kind, "KX.TimerErstemal_Timer", line, service, log, *host);
    }
    EXPECT_EQ(host->slotCount(), 50);
    EXPECT_EQ(controls.addCalls.size(), 20u);
    EXPECT_EQ(faultLines().size(), 30 * 5);
    EXPECT_EQ(logLines().last(), "D KX.TimerErstemal_Timer.ClosureStampInspectionStart En ");
}

}  // namespace
}  // namespace kestrix
