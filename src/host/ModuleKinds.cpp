#include "host/ModuleKinds.h"

#include "config/Service.h"
#include "host/LineSettings.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {

// The rows in the order the countdown starts them; a start procedure is one row of this table.
const std::array<ModuleKind, 8> ModuleKinds = {{
    {"HotmeltStart", "HotMeltTankNumberOfTanks", 2, "XKX_Xmelt.Xmelt"},
    {"OCRStart", "OCRNumberOfModules", 1, "XKX_OCR.OCR"},
    {"StampInspectionStart", "StampInspectionSystems", 2, "XKX_StampInspection.Stamp"},
    {"DirtyFilterStart", "LEDwithDirtyFilter", 1, "XKX_DirtyFilterKeyence.DirtyFilter"},
    {"TopFoldStart", "TopFoldSystems", 1, "XKX_TopFold.TopFold"},
    {"StampInspectionBoxerStart", "StampInspectionBoxerSystems", 1,
     "XKX_StampInspectionBoxer.Stamp"},
    {"TarvoStart", "TarvoSystems", 1, "XKX_Tarvo.Tarvo"},
    {"ClosureStampInspectionStart", "ClosureStampInspectionSystems", 1,
     "XKX_ClosureStampInspection.CSI"},
}};

namespace {

// The name of machine m (1..5); any other number is outside the table (9).
const QString& machineNameOf(const LineSettings& line, int machine) {
    if (machine < 1 || machine > static_cast<int>(line.MachineName.size())) {
        raiseFault(ErrorNumber::SubscriptOutOfRange);
    }
    return line.MachineName[static_cast<size_t>(machine - 1)];
}

}  // namespace

void StartModuleKind(const ModuleKind& kind, const QString& callerSource, const LineSettings& line,
                     const Service& service, LogWriter& log, UnitRequests& requests) {
    FaultScope p(log, callerSource + QLatin1Char('.') + QLatin1String(kind.procedure));
    const QString progId = QLatin1String(kind.progId);
    const QString key = QLatin1String(kind.key);

    p.step(
        [&] { log.WriteLogLine(p.sourceString() + QStringLiteral(" An "), false, true, false); });
    p.step([&] { requests.yield(); });
    for (int machine = 1; machine <= line.NumberOfMachines; ++machine) {
        int16_t mask = 0;
        p.step([&] {
            mask = service.LoadIniInteger(QStringLiteral("Machine") + QString::number(machine), key,
                                          line.ProgramIniFile, false);
        });
        if (p.test([&] { return mask < 0; })) {
            p.step([&] { mask = 0; });
        }
        // Bit k − 1 stands for unit k; bits above the kind's highest unit are not looked at.
        for (int16_t unit = 1; unit <= kind.highestUnit; ++unit) {
            const int16_t bit = static_cast<int16_t>(1 << (unit - 1));
            if (p.test([&] { return (mask & bit) == bit; })) {
                p.step([&] {
                    requests.NeuesObjekt(progId, unit, static_cast<int16_t>(machine),
                                         machineNameOf(line, machine));
                });
                p.step([&] { requests.yield(); });
            }
        }
    }
    p.step(
        [&] { log.WriteLogLine(p.sourceString() + QStringLiteral(" En "), false, true, false); });
}

}  // namespace kestrix
