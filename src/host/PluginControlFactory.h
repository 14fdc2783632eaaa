#pragma once

#include <QPluginLoader>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

#include "host/ControlFactory.h"
#include "platform/Screen.h"

namespace kestrix {

// The registry of control plug-ins on Linux: every Qt plugin library in the given folders whose
// metadata names a "ProgID" is registered under it. Folders are searched in the order given and
// the first library found for a ProgID serves it (ProgIDs compare without regard to case); the
// later ones are shadowed. Relative folders, and folders or libraries that others than their
// owner and root may write to, are skipped with one line each on standard error.
//
// The metadata is read without loading the library; a library is loaded only when the first
// control of its ProgID is created, and stays loaded while the program runs.
class PluginControlFactory final : public ControlFactory {
public:
    // The library that serves a ProgID and those it shadows, in search order.
    struct Registration {
        QString progId;  // as the serving library's metadata writes it
        QString library;
        QStringList shadowed;
    };

    PluginControlFactory(const QStringList& folders, ScreenTwips twips);

    // The folders of $KESTRIX_PLUGIN_PATH (colon-separated, in order), then those of the site's
    // list (SitePluginPath), then the program's own "plugins" folder: a site's library replaces
    // a shipped one of the same ProgID.
    static QStringList defaultFolders();
    // The same for a program in another directory (the commissioning check looks at a line).
    static QStringList defaultFolders(const QString& programDirectory);

    // Registers one more library, after those found so far, by the rules of the folders' ones.
    void registerLibrary(const QString& file);

    // Creates the control hidden inside the container under the name, and wraps it in a new
    // extender. Cannot create object (429) when the ProgID is unknown, its library does not load
    // or it delivers no control.
    Extender* Add(const QString& progId, const QString& name, QWidget* container) override;
    bool isRegistered(const QString& progId) const override;
    // The library file that serves the ProgID, or nothing when none does.
    QString libraryOf(const QString& progId) const;
    // Every registered ProgID with its libraries, in the order of the ProgIDs.
    std::vector<Registration> registrations() const;
    // The folders and libraries passed over, one line each saying why.
    const QStringList& skipped() const { return skipped_; }

private:
    struct Library {
        Registration registration;
        std::unique_ptr<QPluginLoader> loader;
        QString loaderWarning;  // what Qt's loader said when it read the metadata
    };

    void registerFolder(const QString& folder);
    void skip(const QString& why);
    QWidget* createControl(const QString& progId, QWidget* container);

    std::map<QString, Library> libraries_;  // by progIdKey()
    QStringList skipped_;
    ScreenTwips twips_;
};

}  // namespace kestrix
