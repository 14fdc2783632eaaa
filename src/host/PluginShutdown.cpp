#include "host/Extender.h"
#include "host/PluginHost.h"
#include "log/FaultScope.h"

namespace kestrix {

// Every module is told to terminate before its reference is dropped, and every module has been
// told before any sink lets go; once slot and sink are empty no event of it reaches the host.
void PluginHost::TerminatePlugins(FaultScope& p) {
    terminated_ = true;
    reportDroppedEvents();
    const int slotCount = SlotCount;
    for (int i = 1; i <= slotCount; ++i) {
        p.step([&] { ModuleCalls::terminate(controlOf(i)); });
        p.step([&] { slotAt(i).Control = nullptr; });
    }
    for (int n = 1; n <= ModuleCalls::SlotCount; ++n) {
        p.step([&] { sinks_.empty(n); });
    }
}

}  // namespace kestrix
