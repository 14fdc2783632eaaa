#pragma once

#include <QString>
#include <chrono>

namespace kestrix {

// The journal's records of what the log file does not hold: each event shown to the operator,
// each stop and restart of a module, and why the line ended. Each is an entry of its own with
// KESTRIX_RECORD naming its kind.

// The box of an event of the module in `slot` was closed after being open for `open`.
void journalEventShown(int slot, const QString& progId, const QString& eventName,
                       std::chrono::milliseconds open) noexcept;

// The module in `slot` stopped (its process died, hung or sent garbage) for `cause`.
void journalModuleStopped(int slot, const QString& progId, const QString& cause) noexcept;

// The operator restarted the stopped module in `slot`.
void journalModuleRestarted(int slot, const QString& progId) noexcept;

// The end of the line has begun, and why (the operator's End, the watched window gone, a signal).
void journalLineEnding(const QString& why) noexcept;

// The shell ends now with this exit status, and why; waits (a second at most) until the
// journal has this and the entries before it.
void journalLineEnded(int exitStatus, const QString& why) noexcept;

}  // namespace kestrix
