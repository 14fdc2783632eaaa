#include "config/ActivationSettings.h"

#include "config/InstallationRoot.h"
#include "config/Service.h"
#include "fault/Subscript.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"

namespace kestrix {

namespace {

const QString Project = QStringLiteral("Project");

}  // namespace

void readActivationSettings(FaultScope& p, const Service& service, const QString& programDirectory,
                            LogWriter& log, ActivationSettings& settings,
                            const std::function<void(ActivationProgress)>& progress) {
    auto report = [&](ActivationProgress point) {
        if (progress) {
            progress(point);
        }
    };
    QString& root = settings.BaseDirectory;
    LineSettings& line = settings.Line;

    p.step([&] { root = cutAtLastSeparator(programDirectory); });
    p.step([&] { root = cutAtLastSeparator(root); });
    p.step([&] { line.ProgramIniFile = programIniOf(root); });
    const QString kestrixIni = kestrixIniOf(root);

    p.step([&] {
        log.LogDateiName =
            service.LoadIniString(Project, QStringLiteral("LogFileName"), kestrixIni, false);
    });
    if (p.test([&] { return log.LogDateiName.isEmpty(); })) {
        p.step([&] { log.LogDateiName = defaultLogFileOf(root); });
    }
    p.step([&] {
        log.LogDateiGroesse =
            service.LoadIniInteger(Project, QStringLiteral("LogFileSize"), kestrixIni, false);
    });
    if (p.test([&] { return log.LogDateiGroesse < 10 || log.LogDateiGroesse > 2000; })) {
        p.step([&] { log.LogDateiGroesse = 100; });
    }
    p.step([&] {
        log.LogSystem =
            service.LoadIniBoolean(Project, QStringLiteral("LogFileSystem"), kestrixIni, false);
    });
    p.step([&] {
        log.Logdaten =
            service.LoadIniBoolean(Project, QStringLiteral("LogFileData"), kestrixIni, false);
    });
    report(ActivationProgress::LogSettingsRead);

    p.step([&] {
        settings.VWStudio =
            service.LoadIniBoolean(Project, QStringLiteral("VWStudio"), line.ProgramIniFile, false);
    });
    p.step([&] {
        line.NumberOfMachines = service.LoadIniInteger(Project, QStringLiteral("NumberOfMachines"),
                                                       line.ProgramIniFile, false);
    });
    if (p.test([&] { return line.NumberOfMachines < 1 || line.NumberOfMachines > 5; })) {
        p.step([&] { line.NumberOfMachines = 1; });
    }
    for (int machine = 1; machine <= line.NumberOfMachines; ++machine) {
        p.step([&] {
            oneBased(line.MachineName, machine) =
                service.LoadIniString(QStringLiteral("Machine") + QString::number(machine),
                                      QLatin1String(MachineNameKey), line.ProgramIniFile, false);
        });
    }
    report(ActivationProgress::MachinesRead);
}

}  // namespace kestrix
