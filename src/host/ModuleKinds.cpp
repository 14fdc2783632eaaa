#include "host/ModuleKinds.h"

#include "config/ActivationSettings.h"
#include "config/Service.h"
#include "fault/Subscript.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {

// The rows of ModuleKinds.table in the order the countdown starts them; a start procedure is one
// row of this table.
namespace {
constexpr ModuleKind moduleKindRows[] = {
#include "host/ModuleKindRows.inc"
};
}  // namespace
constinit const std::span<const ModuleKind> ModuleKinds{moduleKindRows};

namespace {

// The units of one kind that the line's machines have, each requested from the host, with a yield
// after each; stops at the next step once the end has begun.
void requestUnitsOfKind(const ModuleKind& kind, const LineSettings& line, const Service& service,
                        UnitRequests& requests, FaultScope& p) {
    const QString progId = QLatin1String(kind.progId);
    const QString key = QLatin1String(kind.key);
    p.step([&] { requests.yield(); });
    if (requests.terminated()) {
        return;
    }
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
                                         oneBased(line.MachineName, machine));
                });
                p.step([&] { requests.yield(); });
                if (requests.terminated()) {
                    return;
                }
            }
        }
    }
}

}  // namespace

// The start and end markers bracket the work whatever happens between, the end included.
void StartModuleKind(const ModuleKind& kind, const QString& callerSource, const LineSettings& line,
                     const Service& service, LogWriter& log, UnitRequests& requests) {
    FaultScope p(log, callerSource + QLatin1Char('.') + QLatin1String(kind.procedure));
    p.step([&] {
        log.WriteLogLine(p.sourceString() + QStringLiteral(" An "), LogWriter::Line::Data);
    });
    requestUnitsOfKind(kind, line, service, requests, p);
    p.step([&] {
        log.WriteLogLine(p.sourceString() + QStringLiteral(" En "), LogWriter::Line::Data);
    });
}

}  // namespace kestrix
