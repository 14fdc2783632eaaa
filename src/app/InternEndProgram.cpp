// The one way the operator window ends its work.

#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "host/ModuleCalls.h"
#include "host/PluginHost.h"
#include "log/FaultScope.h"

namespace kestrix {

// It runs once: an End, a vanished watched window or a TERM signal that arrives while the end
// runs, or after it, finds the modules terminated and the runtime asked to stop already.
void OperatorSession::InternEndProgram() {
    RunningProcedures::Running running(forms_.procedures());
    if (ProgramEnding) {
        return;
    }
    FaultScope p(Log, ModuleCalls::EndSource);  // the modules are terminated under it
    p.step([&] { ProgramEnding = true; });
    p.step([&] { setTimerEnabled(TimerWebBrowser, false); });
    p.step([&] { setTimerEnabled(TimerLeben, false); });
    p.step([&] { setTimerEnabled(TimerErstemal, false); });
    p.step([&] {
        Log.WriteLogLine(p.sourceString() + QStringLiteral(" An "), LogWriter::Line::Data);
    });
    Host->TerminatePlugins(p);
    p.step([&] {
        Log.WriteLogLine(p.sourceString() + QStringLiteral(" En "), LogWriter::Line::Data);
    });
    p.step([&] { returnToStart_(); });
}

}  // namespace kestrix
