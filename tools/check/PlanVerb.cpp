#include "PlanVerb.h"
#include "PlanWarnings.h"
#include "StderrDialogs.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <iostream>
#include <vector>

#include "config/ActivationSettings.h"
#include "config/InstallationRoot.h"
#include "config/ModuleIsolation.h"
#include "config/Service.h"
#include "host/ModuleCalls.h"
#include "host/ModuleKinds.h"
#include "host/PluginControlFactory.h"
#include "host/SitePluginPath.h"
#include "log/FaultScope.h"
#include "log/LogWriter.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SessionDesktop.h"

namespace kestrix::check {

namespace {

constexpr int SlotTotal = ModuleCalls::SlotCount;

struct PlannedModule {
    QString progId;
    int16_t unit;
    int16_t machine;
    QString machineName;
};

// Takes the start procedures' requests in the order the shell would hand out slots.
class PlannedModules final : public UnitRequests {
public:
    void NeuesObjekt(const QString& progId, int16_t unit, int16_t machine,
                     const QString& machineName) override {
        modules.push_back({progId, unit, machine, machineName});
    }
    void yield() override {}

    std::vector<PlannedModule> modules;
};

std::string text(const QString& value) {
    return value.toLocal8Bit().toStdString();
}

void printModule(const char* label, size_t number, const PlannedModule& module,
                 const ControlFactory& registry) {
    std::cout << label << ' ' << number << ": " << text(module.progId) << ", machine "
              << module.machine << " \"" << text(module.machineName) << "\", unit " << module.unit
              << ", " << (registry.isRegistered(module.progId) ? "registered" : "not registered")
              << '\n';
}

// Which library serves each ProgID and which it shadows, then the folders and libraries that the
// shell passes over, each with its reason.
void printRegistry(const PluginControlFactory& registry) {
    for (const PluginControlFactory::Registration& registration : registry.registrations()) {
        std::cout << "progid " << text(registration.progId) << ": " << text(registration.library);
        if (!registration.shadowed.isEmpty()) {
            std::cout << ", shadows " << text(registration.shadowed.join(QStringLiteral(", ")));
        }
        std::cout << '\n';
    }
    for (const QString& skipped : registry.skipped()) {
        std::cout << text(skipped) << '\n';
    }
}

// The root of the line that this program is installed in: on a line PC, the one line there is.
QString ownInstallationRoot() {
    return installationRootOf(
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath());
}

int printPlan(const std::vector<std::string>& arguments) {
    if (arguments.size() > 1) {
        return ExitUsage;
    }
    const QString root = arguments.empty()
                             ? ownInstallationRoot()
                             : QFile::decodeName(QByteArray::fromStdString(arguments[0]));
    if (!QFile::exists(root + QStringLiteral("/Parameter/Program.ini"))) {
        std::cerr << "kestrix-check plan: " << text(root)
                  << " is no installation root: Parameter/Program.ini is missing\n";
        return ExitUsage;
    }
    StderrDialogs dialogs;
    Service service(dialogs);
    // The settings as the operator window's activation reads them for a program in
    // ROOT/Program/Kestrix; reading them writes nothing.
    SystemClock clock;
    LogWriter silentLog(clock);
    LogWriter log(clock);
    ActivationSettings settings;
    FaultScope reading(silentLog, QStringLiteral("KX.Form_Activate"));
    readActivationSettings(reading, service, root + QStringLiteral("/Program/Kestrix"), log,
                           settings);
    const LineSettings& line = settings.Line;

    // The start procedures themselves, with a log that writes nothing and a receiver that lists.
    PlannedModules planned;
    for (const ModuleKind& kind : ModuleKinds) {
        StartModuleKind(kind, QStringLiteral("KX.TimerErstemal_Timer"), line, service, silentLog,
                        planned);
    }

    PluginControlFactory registry(
        PluginControlFactory::defaultFolders(root + QStringLiteral("/Program/Kestrix")),
        ScreenTwips{});
    std::cout << "machines: " << line.NumberOfMachines << '\n';
    const size_t created = std::min<size_t>(planned.modules.size(), SlotTotal);
    for (size_t i = 0; i < created; ++i) {
        printModule("slot", i + 1, planned.modules[i], registry);
    }
    for (size_t i = created; i < planned.modules.size(); ++i) {
        printModule("rejected", i + 1, planned.modules[i], registry);
    }
    // The site's list of plug-in folders, which the shell searches after $KESTRIX_PLUGIN_PATH.
    const SitePluginPath site = SitePluginPath::read();
    if (site.skipped.isEmpty()) {
        std::cout << "site plug-in folders (" << text(site.file) << "): "
                  << (site.folders.isEmpty() ? std::string("none")
                                             : text(site.folders.join(QStringLiteral(", "))))
                  << '\n';
    } else {
        std::cout << text(site.skipped) << '\n';
    }
    printRegistry(registry);

    // Where the modules run; an X display is needed to embed the windows of their processes.
    const ModuleIsolationSetting isolation = readModuleIsolation(kestrixIniOf(root));
    std::cout << "modules run: " << text(isolationName(isolation.isolation))
              << (isolation.isolation == ModuleIsolation::Process
                      ? " (each in a process of its own; in the shell's own process where the "
                        "display cannot embed them)"
                      : " (all in the shell's own process)")
              << '\n';
    if (!isolation.complaint.isEmpty()) {
        std::cout << text(isolation.complaint) << '\n';
    }
    // The desktop this session offers, as the shell would look for the watched window on it.
    const SessionDesktop desktop;
    std::cout << "desktop windows: " << text(desktop.description()) << '\n';
    if (const QString why = desktop.whyWindowsCannotBeSeen(); !why.isEmpty()) {
        std::cout << text(why) << '\n';
    }
    std::cout << "log file: " << text(log.LogDateiName) << '\n'
              << "log size: " << log.LogDateiGroesse << " KB\n"
              << "log system lines: " << (log.LogSystem ? "on" : "off") << '\n'
              << "log data lines: " << (log.Logdaten ? "on" : "off") << '\n';
    QStringList slotProgIds;
    for (size_t i = 0; i < created; ++i) {
        slotProgIds << planned.modules[i].progId;
    }
    printPlanWarnings({root, settings, log, slotProgIds, registry, site.folders}, service);
    return ExitSuccess;
}

}  // namespace

Verb planVerb() {
    return Verb{
        "plan",
        "  kestrix-check plan [ROOT]\n"
        "      What the shell of the installation ROOT (holding Parameter/Program.ini; by\n"
        "      default the one this program is installed in) creates after its countdown,\n"
        "      one line per request in slot order:\n"
        "        machines: N\n"
        "        slot S: PROGID, machine M \"NAME\", unit U, registered|not registered\n"
        "        rejected S: ...          (the same for requests beyond slot 20)\n"
        "      then the site's plug-in folders from /etc/kestrix/plugin-path:\n"
        "        site plug-in folders (FILE): FOLDER, ...|none\n"
        "        site plug-in list \"FILE\" skipped: REASON   (when it is not trusted)\n"
        "      then the plug-in registry, one line per ProgID and one per folder or library\n"
        "      that the shell skips (relative, owned by another user, writable by others than\n"
        "      owner and root, or in a folder others may write to that is not sticky):\n"
        "        progid PROGID: LIBRARY[, shadows LIBRARY, ...]\n"
        "        plug-in folder|library \"PATH\" skipped: REASON\n"
        "      then its log settings:\n"
        "        log file: PATH\n"
        "        log size: KB KB\n"
        "        log system lines: on|off\n"
        "        log data lines: on|off\n"
        "      then one line for each mistake that the shell passes over or corrects:\n"
        "        warning: Program.ini [MachineM] KEY: not a key the shell knows (nearest: KEY)\n"
        "        warning: Program.ini [MachineM] KEY: given again, the shell reads the first\n"
        "        warning: Program.ini [MachineM]: not read, the shell uses N machine(s)\n"
        "        warning: FILE [Project] KEY=VALUE: outside its range, the shell uses VALUE\n"
        "        warning: Program.ini [MachineM] KEY=MASK: below 0, the shell creates none ...\n"
        "        warning: Program.ini [MachineM] KEY=MASK: PROGID has no unit above U, the\n"
        "                 shell leaves out unit V, ...\n"
        "        warning: site library LIBRARY (PROGID): no slot uses it\n"
        "      ProgIDs are looked up in the folders of $KESTRIX_PLUGIN_PATH, then in the site's\n"
        "      folders, then in ROOT/Program/Kestrix/plugins; the first library found for a\n"
        "      ProgID serves it.\n",
        printPlan};
}

}  // namespace kestrix::check
