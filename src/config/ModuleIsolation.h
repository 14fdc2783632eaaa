#pragma once

#include <QString>

namespace kestrix {

// Where the operator window runs its plug-in modules: each in a process of its own, its window
// embedded in the plug-in area (a module that crashes or hangs is stopped alone), or all in the
// shell's own process.
enum class ModuleIsolation { Process, InProcess };

struct ModuleIsolationSetting {
    ModuleIsolation isolation = ModuleIsolation::Process;
    // Why a value that is there was not taken, or empty.
    QString complaint;
};

// Kestrix.ini, section "Modules", key "Isolation": "process" (also when the key is missing) or
// "inprocess", without regard to case; any other value keeps "process" with a complaint.
ModuleIsolationSetting readModuleIsolation(const QString& kestrixIni);

// "process" or "inprocess", as the setting writes it.
QString isolationName(ModuleIsolation isolation);

}  // namespace kestrix
