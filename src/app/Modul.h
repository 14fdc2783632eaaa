#pragma once

#include <QString>
#include <QStringList>

namespace kestrix {

class KestrixStart;
class LoadedForms;
class ProcessRunner;

// The program's standard module: the hand-back to the start window at the end, and running
// another program while the windows keep working. Neither traps a fault: its caller's does.
namespace Modul {

// The start window shown, every other window unloaded, then the runtime asked to stop.
// Afterwards only the start window is left. The operator window has switched its timers off
// before.
void ReturnToStart(KestrixStart& start, LoadedForms& forms);

// Starts the program with these arguments and waits for its end in slices of 100 ms, letting
// pending window events run after each slice. Returns at once when it cannot be started.
void RunAndWait(ProcessRunner& processes, const QString& program, const QStringList& arguments);

}  // namespace Modul
}  // namespace kestrix
