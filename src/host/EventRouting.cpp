#include "host/PluginHost.h"
#include "log/FaultScope.h"
#include "platform/Dialogs.h"

namespace kestrix {

// Every event of a module becomes one modal box naming its slot and the event; the module's
// event call returns when the operator has closed it.
void PluginHost::OCXEreignis(int16_t slot, const EventInfo& info) {
    FaultScope p(log_, QStringLiteral("KX.OCXEreignis"));
    p.step([&] {
        dialogs_.MsgBox(QString::number(slot) + QLatin1Char(' ') + info.Name, MsgBoxStyle::OkOnly);
    });
}

}  // namespace kestrix
