// The one way the operator window ends its work.

#include "app/KestrixCentral.h"
#include "app/Modul.h"
#include "host/PluginHost.h"
#include "log/FaultScope.h"

namespace kestrix {

void KestrixCentral::InternEndProgram() {
    FaultScope p(Log, QStringLiteral("KX.InternEndProgram"));
    p.step([&] { ProgramEnding = true; });
    p.step([&] { setTimerEnabled(TimerWebBrowser, false); });
    p.step([&] { setTimerEnabled(TimerLeben, false); });
    p.step([&] { setTimerEnabled(TimerErstemal, false); });
    p.step(
        [&] { Log.WriteLogLine(p.sourceString() + QStringLiteral(" An "), false, true, false); });
    Host->TerminatePlugins(p);
    p.step(
        [&] { Log.WriteLogLine(p.sourceString() + QStringLiteral(" En "), false, true, false); });
    p.step([&] { Modul::ReturnToStart(*this, start_, forms_); });
}

}  // namespace kestrix
