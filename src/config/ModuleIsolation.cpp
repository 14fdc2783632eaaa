#include "config/ModuleIsolation.h"

#include <QFile>

#include "config/IniFile.h"

namespace kestrix {

ModuleIsolationSetting readModuleIsolation(const QString& kestrixIni) {
    const std::optional<std::string> value =
        readIniValue(QFile::encodeName(kestrixIni).toStdString(), "Modules", "Isolation");
    if (!value) {
        return {};
    }
    const QString text = QString::fromLocal8Bit(value->c_str()).trimmed();
    for (ModuleIsolation isolation : {ModuleIsolation::Process, ModuleIsolation::InProcess}) {
        if (text.compare(isolationName(isolation), Qt::CaseInsensitive) == 0) {
            return {isolation, {}};
        }
    }
    return {ModuleIsolation::Process,
            QStringLiteral("%1: [Modules] Isolation=%2 is neither \"process\" nor \"inprocess\"; "
                           "modules run in processes of their own")
                .arg(kestrixIni, text)};
}

QString isolationName(ModuleIsolation isolation) {
    return isolation == ModuleIsolation::Process ? QStringLiteral("process")
                                                 : QStringLiteral("inprocess");
}

}  // namespace kestrix
