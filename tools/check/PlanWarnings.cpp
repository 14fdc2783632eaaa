#include "PlanWarnings.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <algorithm>
#include <iostream>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "config/ActivationSettings.h"
#include "config/IniFile.h"
#include "config/InstallationRoot.h"
#include "config/Service.h"
#include "host/ControlFactory.h"
#include "host/ModuleKinds.h"
#include "host/PluginControlFactory.h"
#include "log/LogWriter.h"

namespace kestrix::check {

namespace {

const QString Project = QStringLiteral("Project");

void warn(const QString& text) {
    std::cout << "warning: " << text.toLocal8Bit().toStdString() << '\n';
}

// How many single-character insertions, deletions and replacements turn one name into the other,
// without regard to case (the shell compares keys so).
qsizetype editDistance(const QString& a, const QString& b) {
    const QString from = a.toLower();
    const QString to = b.toLower();
    std::vector<qsizetype> previous(to.size() + 1);
    std::iota(previous.begin(), previous.end(), 0);
    std::vector<qsizetype> current(to.size() + 1);
    for (qsizetype i = 1; i <= from.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= to.size(); ++j) {
            const qsizetype replace = previous[j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, replace});
        }
        std::swap(previous, current);
    }
    return previous[to.size()];
}

// The keys of a Machine section: the machine's name and one mask per module kind.
QStringList machineKeys() {
    QStringList keys{QLatin1String(MachineNameKey)};
    for (const ModuleKind& kind : ModuleKinds) {
        keys << QLatin1String(kind.key);
    }
    return keys;
}

const ModuleKind* kindOfKey(const QString& key) {
    for (const ModuleKind& kind : ModuleKinds) {
        if (key.compare(QLatin1String(kind.key), Qt::CaseInsensitive) == 0) {
            return &kind;
        }
    }
    return nullptr;
}

QString nearestOf(const QString& key, const QStringList& known) {
    return *std::min_element(known.begin(), known.end(), [&](const QString& a, const QString& b) {
        return editDistance(key, a) < editDistance(key, b);
    });
}

// A value that the shell reads as a number and replaces when it is out of range: the value given
// beside the value used. A missing value is no mistake: the shell's default stands for it.
void warnAboutReplacedNumber(const Service& service, const QString& file, const QString& key,
                             int used) {
    const QString given = service.LoadIniString(Project, key, file, false);
    if (!given.isEmpty() && service.LoadIniInteger(Project, key, file, false) != used) {
        warn(QStringLiteral("%1 [Project] %2=%3: outside its range, the shell uses %4")
                 .arg(QFileInfo(file).fileName(), key, given)
                 .arg(used));
    }
}

// The units of a kind that a machine's mask asks for and the shell leaves out.
void warnAboutMask(const Service& service, const QString& where, const QString& file,
                   const QString& section, const QString& key, const ModuleKind& kind) {
    const QString given = service.LoadIniString(section, key, file, false);
    const int16_t mask = service.LoadIniInteger(section, key, file, false);
    if (mask < 0) {
        warn(QStringLiteral("%1 %2=%3: below 0, the shell creates none of its units")
                 .arg(where, key, given));
        return;
    }
    QStringList unitsAbove;
    for (int unit = kind.highestUnit + 1; unit <= std::numeric_limits<int16_t>::digits; ++unit) {
        if (mask & (1 << (unit - 1))) {
            unitsAbove << QString::number(unit);
        }
    }
    if (!unitsAbove.isEmpty()) {
        warn(QStringLiteral("%1 %2=%3: %4 has no unit above %5, the shell leaves out unit %6")
                 .arg(where, key, given, QLatin1String(kind.progId))
                 .arg(kind.highestUnit)
                 .arg(unitsAbove.join(QStringLiteral(", "))));
    }
}

// The sections Machine1 to Machine5, whether the shell reads them or not.
void warnAboutMachineSections(const PlannedLine& line, const Service& service) {
    const LineSettings& settings = line.settings.Line;
    const QString& file = settings.ProgramIniFile;
    const QStringList known = machineKeys();
    for (int machine = 1; machine <= static_cast<int>(settings.MachineName.size()); ++machine) {
        const QString section = QStringLiteral("Machine") + QString::number(machine);
        const QString where = QStringLiteral("Program.ini [%1]").arg(section);
        const std::vector<std::string> keys =
            readIniKeys(QFile::encodeName(file).toStdString(), section.toLatin1().toStdString());
        if (!keys.empty() && machine > settings.NumberOfMachines) {
            warn(QStringLiteral("%1: not read, the shell uses %2 machine(s)")
                     .arg(where)
                     .arg(settings.NumberOfMachines));
        }
        QSet<QString> seen;
        for (const std::string& bytes : keys) {
            const QString key = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
            if (seen.contains(key.toLower())) {
                warn(QStringLiteral("%1 %2: given again, the shell reads the first")
                         .arg(where, key));
                continue;
            }
            seen.insert(key.toLower());
            if (const ModuleKind* kind = kindOfKey(key)) {
                warnAboutMask(service, where, file, section, key, *kind);
            } else if (key.compare(QLatin1String(MachineNameKey), Qt::CaseInsensitive) != 0) {
                warn(QStringLiteral("%1 %2: not a key the shell knows (nearest: %3)")
                         .arg(where, key, nearestOf(key, known)));
            }
        }
    }
}

// Libraries in the site's folders whose ProgID no slot uses: a misspelt ProgID, or a module the
// line does not configure.
void warnAboutUnusedSiteLibraries(const PlannedLine& line) {
    for (const PluginControlFactory::Registration& registration : line.registry.registrations()) {
        const bool inSite =
            std::any_of(line.siteFolders.begin(), line.siteFolders.end(), [&](const QString& f) {
                return registration.library.startsWith(f + QLatin1Char('/'));
            });
        const bool used =
            registration.progId.compare(QLatin1String(ScrollBarProgId), Qt::CaseInsensitive) == 0 ||
            line.slotProgIds.contains(registration.progId, Qt::CaseInsensitive);
        if (inSite && !used) {
            warn(QStringLiteral("site library %1 (%2): no slot uses it")
                     .arg(registration.library, registration.progId));
        }
    }
}

}  // namespace

void printPlanWarnings(const PlannedLine& line, const Service& service) {
    warnAboutReplacedNumber(service, line.settings.Line.ProgramIniFile,
                            QStringLiteral("NumberOfMachines"),
                            line.settings.Line.NumberOfMachines);
    warnAboutReplacedNumber(service, kestrixIniOf(line.root), QStringLiteral("LogFileSize"),
                            line.log.LogDateiGroesse);
    warnAboutMachineSections(line, service);
    warnAboutUnusedSiteLibraries(line);
}

}  // namespace kestrix::check
