#include "host/PluginControlFactory.h"

#include <kestrix/ControlPlugin.h>
#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QLibrary>
#include <QWidget>
#include <QtDebug>
#include <exception>

#include "host/Extender.h"
#include "host/PluginSafety.h"
#include "host/SitePluginPath.h"
#include "log/Fault.h"

namespace kestrix {
namespace {

// Cannot create object (429), with the reason appended to the standard text when there is one.
[[noreturn]] void cannotCreate(const QString& reason = {}) {
    QString description = Fault::standardDescription(ErrorNumber::CannotCreateObject);
    if (!reason.isEmpty()) {
        description += QStringLiteral(": ") + reason;
    }
    throw Fault(ErrorNumber::CannotCreateObject, description);
}

QString progIdOf(const QPluginLoader& library) {
    return library.metaData()
        .value(QLatin1String("MetaData"))
        .toObject()
        .value(QLatin1String("ProgID"))
        .toString();
}

}  // namespace

PluginControlFactory::PluginControlFactory(const QStringList& folders, ScreenTwips twips)
    : twips_(twips) {
    for (const QString& folder : folders) {
        registerFolder(folder);
    }
}

QStringList PluginControlFactory::defaultFolders() {
    return defaultFolders(QCoreApplication::applicationDirPath());
}

QStringList PluginControlFactory::defaultFolders(const QString& programDirectory) {
    QStringList folders =
        qEnvironmentVariable("KESTRIX_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const SitePluginPath site = SitePluginPath::read();
    if (!site.skipped.isEmpty()) {
        qWarning("Kestrix: %s", qUtf8Printable(site.skipped));
    }
    folders.append(site.folders);
    folders.append(programDirectory + QStringLiteral("/plugins"));
    return folders;
}

void PluginControlFactory::registerFolder(const QString& folder) {
    if (QString why = unsafePluginFolder(folder); !why.isEmpty()) {
        skip(why);
        return;
    }
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (QLibrary::isLibrary(file.fileName())) {
            registerLibrary(file.absoluteFilePath());
        }
    }
}

// A library that others may write to is not even read.
void PluginControlFactory::registerLibrary(const QString& file) {
    if (QString why = unsafePluginLibrary(file); !why.isEmpty()) {
        skip(why);
        return;
    }
    auto loader = std::make_unique<QPluginLoader>(file);
    const QString progId = progIdOf(*loader);
    if (progId.isEmpty()) {
        return;
    }
    auto [registered, isFirst] = libraries_.try_emplace(progIdKey(progId));
    if (isFirst) {
        registered->second = Library{{progId, file, {}}, std::move(loader)};
    } else {
        registered->second.registration.shadowed.append(file);
    }
}

void PluginControlFactory::skip(const QString& why) {
    skipped_.append(why);
    qWarning("Kestrix: %s", qUtf8Printable(why));
}

Extender* PluginControlFactory::Add(const QString& progId, const QString& name,
                                    QWidget* container) {
    if (container == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    QWidget* control = createControl(progId, container);
    control->setParent(container);
    control->setObjectName(name);
    control->hide();  // the host places and shows it later
    return new Extender(control, progId, name, twips_);
}

QWidget* PluginControlFactory::createControl(const QString& progId, QWidget* container) {
    auto registration = libraries_.find(progIdKey(progId));
    if (registration == libraries_.end()) {
        cannotCreate();
    }
    QPluginLoader& library = *registration->second.loader;
    QObject* instance = library.instance();  // loads the library on first use
    if (instance == nullptr) {
        cannotCreate(library.errorString());
    }
    auto* plugin = qobject_cast<ControlPlugin*>(instance);
    if (plugin == nullptr) {
        cannotCreate(QStringLiteral("%1 offers no controls").arg(library.fileName()));
    }
    QWidget* control = nullptr;
    try {
        control = plugin->createControl(progId, container);
    } catch (const std::exception& e) {
        cannotCreate(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        cannotCreate();
    }
    if (control == nullptr) {
        cannotCreate(QStringLiteral("%1 created no control").arg(library.fileName()));
    }
    return control;
}

bool PluginControlFactory::isRegistered(const QString& progId) const {
    return libraries_.contains(progIdKey(progId));
}

QStringList PluginControlFactory::registeredProgIds() const {
    QStringList progIds;
    for (const auto& [key, library] : libraries_) {
        progIds.append(library.registration.progId);
    }
    return progIds;
}

std::vector<PluginControlFactory::Registration> PluginControlFactory::registrations() const {
    std::vector<Registration> all;
    for (const auto& [key, library] : libraries_) {
        all.push_back(library.registration);
    }
    return all;
}

}  // namespace kestrix
