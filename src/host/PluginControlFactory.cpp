#include "host/PluginControlFactory.h"

#include <kestrix/ControlPlugin.h>
#include <QCoreApplication>
#include <QDir>
#include <QJsonObject>
#include <QLibrary>
#include <QWidget>
#include <QtDebug>
#include <exception>

#include "fault/Fault.h"
#include "host/InProcessControl.h"
#include "host/PluginSafety.h"
#include "host/SitePluginPath.h"

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

// Qt tells why it refuses a library in a warning of its plug-in loader when it first reads the
// metadata (another Qt version, for one), and later leaves errorString() at "Unknown error"; this
// keeps that warning as the reason, and still passes it on to the program's handler.
class LoaderWarnings {
public:
    LoaderWarnings() {
        current_ = this;
        previous_ = qInstallMessageHandler(&LoaderWarnings::handle);
    }
    ~LoaderWarnings() {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
    }
    LoaderWarnings(const LoaderWarnings&) = delete;
    LoaderWarnings& operator=(const LoaderWarnings&) = delete;

    const QString& reason() const { return reason_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (current_ != nullptr && context.category != nullptr &&
            qstrcmp(context.category, "qt.core.plugin.loader") == 0 && type != QtDebugMsg) {
            current_->reason_ = text.simplified();
        }
        if (current_ != nullptr && current_->previous_ != nullptr) {
            current_->previous_(type, context, text);
        }
    }

    static inline LoaderWarnings* current_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    QString reason_;
};

// Why the library did not load: Qt's error text, or its loader's warning where that text says
// nothing.
QString whyNotLoaded(const QPluginLoader& library, const QString& loaderWarning) {
    const QString error = library.errorString();
    if (loaderWarning.isEmpty() || error != QPluginLoader().errorString()) {
        return error;
    }
    return loaderWarning;
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
    LoaderWarnings warnings;
    auto loader = std::make_unique<QPluginLoader>(file);
    const QString progId = progIdOf(*loader);
    if (progId.isEmpty()) {
        return;
    }
    auto [registered, isFirst] = libraries_.try_emplace(progIdKey(progId));
    if (isFirst) {
        registered->second = Library{{progId, file, {}}, std::move(loader), warnings.reason()};
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
    return InProcessControl::extend(control, progId, name, twips_);
}

QWidget* PluginControlFactory::createControl(const QString& progId, QWidget* container) {
    auto registration = libraries_.find(progIdKey(progId));
    if (registration == libraries_.end()) {
        cannotCreate();
    }
    QPluginLoader& library = *registration->second.loader;
    // A library built for another interface is not loaded at all: its code would be called
    // through a layout it does not have.
    const QString offered = library.metaData().value(QLatin1String("IID")).toString();
    if (offered != QLatin1String(KestrixControlPlugin_iid)) {
        cannotCreate(
            QStringLiteral("%1 offers interface \"%2\", the shell expects \"%3\"")
                .arg(library.fileName(), offered, QLatin1String(KestrixControlPlugin_iid)));
    }
    QObject* instance = library.instance();  // loads the library on first use
    if (instance == nullptr) {
        cannotCreate(whyNotLoaded(library, registration->second.loaderWarning));
    }
    auto* plugin = qobject_cast<ControlPlugin*>(instance);
    if (plugin == nullptr) {
        cannotCreate(QStringLiteral("%1 offers no controls of interface \"%2\"")
                         .arg(library.fileName(), QLatin1String(KestrixControlPlugin_iid)));
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

QString PluginControlFactory::libraryOf(const QString& progId) const {
    auto registration = libraries_.find(progIdKey(progId));
    return registration == libraries_.end() ? QString() : registration->second.registration.library;
}

std::vector<PluginControlFactory::Registration> PluginControlFactory::registrations() const {
    std::vector<Registration> all;
    for (const auto& [key, library] : libraries_) {
        all.push_back(library.registration);
    }
    return all;
}

}  // namespace kestrix
