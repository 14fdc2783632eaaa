#include "fault/Fault.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"
#include "host/ModuleCode.h"
#include "host/PluginHost.h"
#include "log/LogWriter.h"

namespace kestrix {

std::vector<PluginHost*>& PluginHost::liveHosts() {
    static std::vector<PluginHost*> hosts;
    return hosts;
}

const Extender* PluginHost::moduleWithControl(const QObject* control) const {
    for (int n = 1; n <= EventSinks::Count; ++n) {
        const Extender* module = sinks_.held(n);
        if (module != nullptr && module->control() == control) {
            return module;
        }
    }
    return nullptr;
}

// The receiver may be the module itself or anything it owns (its timer, a button of its own), or
// one of Qt's single-shot objects that the module's code made: the nearest hosted module up the
// parents names the fault. Otherwise the newest host's log takes it, as the shell's own fault.
bool PluginHost::ReportEscapedFault(const Fault& fault, const QObject* receiver,
                                    const QString& receiverClass) {
    const std::vector<PluginHost*>& hosts = liveHosts();
    if (hosts.empty()) {
        return false;
    }
    for (const QObject* part = ModuleCode::partOf(receiver); part != nullptr;
         part = part->parent()) {
        for (PluginHost* host : hosts) {
            if (const Extender* module = host->moduleWithControl(part)) {
                host->log_.WriteLogLine(
                    ModuleCalls::ownCodeFaultLine(fault, module->progId(), module->name()),
                    LogWriter::Line::Error);
                return true;
            }
        }
    }
    hosts.back()->log_.WriteLogLine(faultLine(fault, QStringLiteral("KX.") + receiverClass),
                                    LogWriter::Line::Error);
    return true;
}

}  // namespace kestrix
