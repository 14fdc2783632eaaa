#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace kestrix {

class LogWriter;
class Service;
struct LineSettings;

// One module kind: the start procedure's name (the suffix of its source string), its key in the
// sections Machine1..Machine5 of Program.ini, its highest unit and its ProgID.
struct ModuleKind {
    const char* procedure;
    const char* key;
    int16_t highestUnit;
    const char* progId;
};

// The module kinds (eight) in the order the countdown starts them, from ModuleKinds.table: the
// table alone says how many there are.
extern const std::span<const ModuleKind> ModuleKinds;

// Where a start procedure sends its requests: the window creates a module per unit; the
// commissioning check only lists them.
class UnitRequests {
public:
    virtual ~UnitRequests() = default;
    virtual void NeuesObjekt(const QString& progId, int16_t unit, int16_t machine,
                             const QString& machineName) = 0;
    // Lets pending window events run once.
    virtual void yield() = 0;
    // Whether the modules have been terminated (the end has begun), for instance during a yield:
    // the start procedure then stops at once.
    virtual bool terminated() const { return false; }
};

// The start procedure of one module kind: reads each configured machine's unit mask and asks
// for one module per unit present, machine first, then unit; bracketed by its data markers.
// Once the modules have been terminated it stops at its next step and writes nothing more.
void StartModuleKind(const ModuleKind& kind, const QString& callerSource, const LineSettings& line,
                     const Service& service, LogWriter& log, UnitRequests& requests);

}  // namespace kestrix
