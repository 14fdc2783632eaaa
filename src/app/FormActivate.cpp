// The operator window's activation: its settings, the watched window, and the timers.

#include "app/KestrixCentral.h"
#include "app/LineHealth.h"
#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "app/Platform.h"
#include "config/InstallationRoot.h"
#include "config/Service.h"
#include "log/FaultScope.h"

namespace kestrix {

void OperatorSession::writeProgressLine(const char* marker) {
    Log.WriteLogLine(QStringLiteral("FormActivate") + QLatin1String(marker),
                     LogWriter::Line::System);
}

void OperatorSession::Form_Activate() {
    RunningProcedures::Running running(forms_.procedures());
    FaultScope p(Log, QStringLiteral("KX.Form_Activate"));
    Desktop& desktop = platform_.desktop;

    readActivationSettings(
        p, service_, platform_.programDirectory, Log, Settings, [&](ActivationProgress progress) {
            p.step([&] {
                writeProgressLine(progress == ActivationProgress::LogSettingsRead ? " Start "
                                                                                  : " 7 ");
            });
        });

    p.step([&] {
        Health->setTextfileDirectory(service_.LoadIniString(
            QStringLiteral("Monitoring"), QStringLiteral("TextfileDirectory"),
            kestrixIniOf(Settings.BaseDirectory), false));
    });
    p.step([&] {
        WatchedWindowTitle =
            Settings.VWStudio ? QStringLiteral("DCWindow") : QStringLiteral("Vwwebbrowser");
    });
    p.step([&] {
        if (const QString why = desktop.whyWindowsCannotBeSeen(); !why.isEmpty()) {
            Log.WriteLogLine(p.sourceString() + QLatin1Char(' ') + why, LogWriter::Line::System);
        }
    });
    p.step([&] { writeProgressLine(" 8 "); });
    p.step([&] { WatchedWindow = desktop.FindWindowA(WatchedWindowTitle); });
    p.step([&] { writeProgressLine(" 9 "); });

    if (p.test([&] { return WatchedWindow > 0; })) {
        if (p.test([&] { return !ProgramEnding; })) {
            p.step([&] { setTimerEnabled(TimerWebBrowser, true); });
        }
        p.step([&] { desktop.SetForegroundWindow(WatchedWindow); });
        p.step([&] { desktop.SetActiveWindow(WatchedWindow); });
        p.step([&] { desktop.ShowWindow(window_.get(), SW_SHOWMINNOACTIVE); });
    }
    p.step([&] { writeProgressLine(" 10 "); });
    p.step([&] { writeProgressLine(" 13 "); });
    if (p.test([&] { return !ProgramEnding; })) {
        p.step([&] { setTimerEnabled(TimerLeben, true); });
    }
    if (p.test([&] { return !ProgramEnding; })) {
        p.step([&] { setTimerEnabled(TimerErstemal, true); });
    }
    p.step([&] { writeProgressLine(" En "); });
}

}  // namespace kestrix
