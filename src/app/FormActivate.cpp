// The operator window's activation: its settings, the watched window, and the timers.

#include "app/InstallationRoot.h"
#include "app/KestrixCentral.h"
#include "app/Platform.h"
#include "config/Service.h"
#include "log/FaultScope.h"

namespace kestrix {

namespace {

const QString Project = QStringLiteral("Project");

}  // namespace

void KestrixCentral::writeProgressLine(const char* marker) {
    Log.WriteLogLine(QStringLiteral("FormActivate") + QLatin1String(marker), true, false, false);
}

void KestrixCentral::Form_Activate() {
    FaultScope p(Log, QStringLiteral("KX.Form_Activate"));
    Desktop& desktop = platform_.desktop;

    p.step([&] { BaseDirectory = cutAtLastSeparator(platform_.programDirectory); });
    p.step([&] { BaseDirectory = cutAtLastSeparator(BaseDirectory); });
    p.step([&] { Line.ProgramIniFile = programIniOf(BaseDirectory); });
    const QString kestrixIni = kestrixIniOf(BaseDirectory);

    p.step([&] {
        Log.LogDateiName =
            service_.LoadIniString(Project, QStringLiteral("LogFileName"), kestrixIni, false);
    });
    if (p.test([&] { return Log.LogDateiName.isEmpty(); })) {
        p.step([&] { Log.LogDateiName = defaultLogFileOf(BaseDirectory); });
    }
    p.step([&] {
        Log.LogDateiGroesse =
            service_.LoadIniInteger(Project, QStringLiteral("LogFileSize"), kestrixIni, false);
    });
    if (p.test([&] { return Log.LogDateiGroesse < 10 || Log.LogDateiGroesse > 2000; })) {
        p.step([&] { Log.LogDateiGroesse = 100; });
    }
    p.step([&] {
        Log.LogSystem =
            service_.LoadIniBoolean(Project, QStringLiteral("LogFileSystem"), kestrixIni, false);
    });
    p.step([&] {
        Log.Logdaten =
            service_.LoadIniBoolean(Project, QStringLiteral("LogFileData"), kestrixIni, false);
    });
    p.step([&] { writeProgressLine(" Start "); });

    p.step([&] {
        VWStudio = service_.LoadIniBoolean(Project, QStringLiteral("VWStudio"), Line.ProgramIniFile,
                                           false);
    });
    p.step([&] {
        Line.NumberOfMachines = service_.LoadIniInteger(Project, QStringLiteral("NumberOfMachines"),
                                                        Line.ProgramIniFile, false);
    });
    if (p.test([&] { return Line.NumberOfMachines < 1 || Line.NumberOfMachines > 5; })) {
        p.step([&] { Line.NumberOfMachines = 1; });
    }
    for (int16_t machine = 1; machine <= Line.NumberOfMachines; ++machine) {
        p.step([&] {
            Line.MachineName.at(machine - 1) =
                service_.LoadIniString(QStringLiteral("Machine") + QString::number(machine),
                                       QStringLiteral("MachineName"), Line.ProgramIniFile, false);
        });
    }
    p.step([&] { writeProgressLine(" 7 "); });

    p.step([&] {
        WatchedWindowTitle = VWStudio ? QStringLiteral("DCWindow") : QStringLiteral("Vwwebbrowser");
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
        p.step([&] { desktop.ShowWindow(this, SW_SHOWMINNOACTIVE); });
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
