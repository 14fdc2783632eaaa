#include "host/PluginSafety.h"

#include <QDir>
#include <QFileInfo>

namespace kestrix {
namespace {

// Write permission for the group or for everyone lets in others than the owner (and root, who
// may write anything anyway). A link counts by what it points to.
bool writableByOthers(const QString& path) {
    return (QFileInfo(path).permissions() & (QFile::WriteGroup | QFile::WriteOther)) != 0;
}

}  // namespace

QString unsafePluginFolder(const QString& folder) {
    const QString name = QStringLiteral("plug-in folder \"%1\" skipped: ").arg(folder);
    if (QDir::isRelativePath(folder)) {
        return name + QStringLiteral("not an absolute path");
    }
    if (writableByOthers(folder)) {
        return name + QStringLiteral("writable by others than its owner and root");
    }
    return {};
}

QString unsafePluginLibrary(const QString& file) {
    if (writableByOthers(file)) {
        return QStringLiteral(
                   "plug-in library \"%1\" skipped: writable by others than its owner "
                   "and root")
            .arg(file);
    }
    return {};
}

}  // namespace kestrix
