#include "host/PluginSafety.h"

#include <QDir>
#include <QFileInfo>

#include "files/TrustedPath.h"

namespace kestrix {

QString unsafePluginFolder(const QString& folder) {
    const QString name = QStringLiteral("plug-in folder \"%1\" skipped: ").arg(folder);
    if (QDir::isRelativePath(folder)) {
        return name + QStringLiteral("not an absolute path");
    }
    // A folder that is not there holds nothing to load.
    if (!QFileInfo::exists(folder)) {
        return {};
    }
    const QString why = whyUntrusted(folder);
    return why.isEmpty() ? QString() : name + why;
}

QString unsafePluginLibrary(const QString& file) {
    const QString why = whyUntrusted(file);
    return why.isEmpty() ? QString()
                         : QStringLiteral("plug-in library \"%1\" skipped: %2").arg(file, why);
}

}  // namespace kestrix
