#include "app/Modul.h"

#include <QCoreApplication>

#include "app/KestrixCentral.h"
#include "app/KestrixStart.h"
#include "app/LoadedForms.h"
#include "hmi/VWSStart.h"
#include "host/LateBinding.h"
#include "platform/ProcessRunner.h"

namespace kestrix {
namespace Modul {

namespace {

// The runtime start control's stop request.
constexpr int StopRequestDispId = 142;

void letPendingEventsRun() {
    QCoreApplication::processEvents();
}

}  // namespace

void ReturnToStart(KestrixCentral& central, KestrixStart& start, LoadedForms& forms) {
    setTimerEnabled(central.TimerWebBrowser, false);
    setTimerEnabled(central.TimerLeben, false);
    start.show();
    letPendingEventsRun();
    // Unloading hides a window and deletes it only once control is back in the event loop, so
    // the operator window may be unloaded from inside its own handler.
    for (QWidget* form : forms.forms()) {
        if (form != &start) {
            forms.unload(form);
            letPendingEventsRun();
        }
    }
    LateBinding::callId(start.VWSStart1, StopRequestDispId);
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
