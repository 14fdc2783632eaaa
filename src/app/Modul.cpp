#include "app/Modul.h"

#include <QCoreApplication>

#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "platform/ProcessRunner.h"

namespace kestrix {
namespace Modul {

namespace {

void letPendingEventsRun() {
    QCoreApplication::processEvents();
}

}  // namespace

void ReturnToStart(KestrixStart& start, LoadedForms& forms) {
    start.show();
    letPendingEventsRun();
    // Unloading hides a window at once and destroys it only when no procedure is running, so the
    // operator window is unloaded here from inside its own procedures.
    for (QWidget* form : forms.forms()) {
        if (form != &start) {
            forms.unload(form);
            letPendingEventsRun();
        }
    }
    start.RequestRuntimeStop();
}

void RunAndWait(ProcessRunner& processes, const QString& program, const QStringList& arguments) {
    const int process = processes.start(program, arguments);
    ProcessRunner::Wait waited;
    do {
        waited = processes.waitFor(process, 100);
        letPendingEventsRun();
    } while (waited == ProcessRunner::Wait::TimedOut);
    processes.close(process);
}

}  // namespace Modul
}  // namespace kestrix
