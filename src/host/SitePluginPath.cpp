#include "host/SitePluginPath.h"

#include <QFile>
#include <QFileInfo>

#include "files/TrustedPath.h"

namespace kestrix {

SitePluginPath SitePluginPath::read() {
    SitePluginPath site;
    site.file = qEnvironmentVariable("KESTRIX_SITE_PLUGIN_PATH_FILE",
                                     QStringLiteral("/etc/kestrix/plugin-path"));
    if (!QFileInfo::exists(site.file)) {
        return site;
    }
    const QString skippedBecause =
        QStringLiteral("site plug-in list \"%1\" skipped: ").arg(site.file);
    if (const QString why = whyUntrusted(site.file); !why.isEmpty()) {
        site.skipped = skippedBecause + why;
        return site;
    }
    QFile list(site.file);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        site.skipped = skippedBecause + list.errorString();
        return site;
    }
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            site.folders.append(line);
        }
    }
    return site;
}

}  // namespace kestrix
