#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/PluginHost.h"
#include "log/FaultScope.h"

namespace kestrix {

// Every module is told to terminate before its reference is dropped, and every module has been
// told before any sink lets go; once slot and sink are empty no event of it reaches the host.
// Then the controls are destroyed: those in the window with it, those in processes of their own
// by their processes, all at once.
void PluginHost::TerminatePlugins(FaultScope& p) {
    terminated_ = true;
    controls_.endModules();
    reportDroppedEvents();
    // A module that stops its own threads in Terminate must not find one of them waiting in an
    // emit for the window: from here on such emits return without a box.
    for (int n = 1; n <= EventSinks::Count; ++n) {
        if (Extender* held = sinks_.held(n)) {
            held->releaseWaitingEvents();
        }
    }
    const int slotCount = slotCount_;
    for (int i = 1; i <= slotCount; ++i) {
        if (i == creatingSlot_) {
            continue;  // its creation, which the end interrupted, lets it go uninitialised
        }
        p.step([&] { ModuleCalls::terminate(controlOf(i)); });
        p.step([&] { slotAt(i).Control = nullptr; });
    }
    for (int n = 1; n <= ModuleCalls::SlotCount; ++n) {
        p.step([&] { sinks_.empty(n); });
    }
    p.step([&] { controls_.destroyModules(); });
}

}  // namespace kestrix
