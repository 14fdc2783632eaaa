// The operator window's three timers: the start-up countdown, the life sign and the watcher of
// the other program's window.

#include "app/KestrixCentral.h"
#include "app/LineHealth.h"
#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "app/Platform.h"
#include "fault/Int16.h"
#include "host/ControlFactory.h"
#include "host/PluginHost.h"
#include "journal/LineRecords.h"
#include "log/FaultScope.h"
#include "supervision/ServiceNotify.h"

namespace kestrix {

namespace {

// A number as the countdown shows it: a blank stands in the place of a positive number's sign.
QString withSignPlace(int16_t number) {
    return (number >= 0 ? QStringLiteral(" ") : QString()) + QString::number(number);
}

void writeSystemLine(LogWriter& log, const QString& text) {
    log.WriteLogLine(text, LogWriter::Line::System);
}

}  // namespace

// The sixth tick starts the module kinds in the table's order and lays the modules out. The
// start procedures yield, and the end may begin in any of their yields: then nothing more is
// started, laid out or written.
void OperatorSession::TimerErstemal_Timer() {
    RunningProcedures::Running running(forms_.procedures());
    FaultScope p(Log, QStringLiteral("KX.TimerErstemal_Timer"));
    const QString& source = p.sourceString();
    if (p.test([&] { return StartTicks >= 5; })) {
        p.step([&] { setTimerEnabled(TimerErstemal, false); });
        p.step([&] { writeSystemLine(Log, source + QStringLiteral(" An ")); });
        // An end begun meanwhile stops the start at its next step; the end marker still comes.
        for (const ModuleKind& kind : ModuleKinds) {
            p.step([&] { Host->StartProcedure(kind, source); });
            if (ProgramEnding) {
                break;
            }
        }
        if (!ProgramEnding) {
            p.step([&] { Host->PositioniereObjekte(); });
            platform_.controls.modulesStarted();
            Health->modulesStarted();
        }
        p.step([&] { writeSystemLine(Log, source + QStringLiteral(" En ")); });
    } else {
        p.step([&] {
            window_->StatusLabel()->setText(QStringLiteral("starting in ") +
                                            withSignPlace(sub16(5, StartTicks)) +
                                            QStringLiteral(" sec."));
            notifyStatus(window_->StatusLabel()->text());
        });
        p.step([&] { StartTicks = add16(StartTicks, 1); });
    }
}

void OperatorSession::TimerLeben_Timer() {
    RunningProcedures::Running running(forms_.procedures());
    FaultScope p(Log, QStringLiteral("KX.TimerLeben_Timer"));
    p.step([&] { setTimerEnabled(TimerLeben, false); });
    p.step([&] { writeSystemLine(Log, p.sourceString() + QStringLiteral(" An ")); });
    p.step([&] { writeSystemLine(Log, p.sourceString() + QStringLiteral(" 100En ")); });
    Health->lifeTick();
    if (p.test([&] { return !ProgramEnding; })) {
        p.step([&] { setTimerEnabled(TimerLeben, true); });
    }
}

void OperatorSession::TimerWebBrowser_Timer() {
    RunningProcedures::Running running(forms_.procedures());
    FaultScope p(Log, QStringLiteral("KX.TimerWebBrowser_Timer"));
    WindowHandle found = 0;
    p.step([&] { setTimerEnabled(TimerWebBrowser, false); });
    p.step([&] { writeSystemLine(Log, p.sourceString() + QStringLiteral(" An ")); });
    p.step([&] { found = platform_.desktop.FindWindowA(WatchedWindowTitle); });
    if (p.test([&] { return found == 0; })) {
        p.step([&] { setTimerEnabled(TimerWebBrowser, false); });
        p.step([&] { journalLineEnding(QStringLiteral("the watched window is gone")); });
        p.step([&] { InternEndProgram(); });
    }
    p.step([&] { writeSystemLine(Log, p.sourceString() + QStringLiteral(" En ")); });
    if (p.test([&] { return !ProgramEnding; })) {
        p.step([&] { setTimerEnabled(TimerWebBrowser, true); });
    }
}

}  // namespace kestrix
