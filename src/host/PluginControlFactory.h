#pragma once

#include <QPluginLoader>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

#include "host/ControlFactory.h"
#include "platform/Screen.h"

namespace kestrix {

// The registry of control plug-ins on Linux: every Qt plugin library in the given folders whose
// metadata names a "ProgID" is registered under it (the first library found for a ProgID wins).
// The metadata is read without loading the library; a library is loaded only when the first
// control of its ProgID is created, and stays loaded while the program runs.
class PluginControlFactory final : public ControlFactory {
public:
    PluginControlFactory(const QStringList& folders, ScreenTwips twips);

    // The program's own "plugins" folder, followed by the folders of $KESTRIX_PLUGIN_PATH
    // (colon-separated).
    static QStringList defaultFolders();
    // The same for a program in another directory (the commissioning check looks at a line).
    static QStringList defaultFolders(const QString& programDirectory);

    // Creates the control hidden inside the container under the name, and wraps it in a new
    // extender. Cannot create object (429) when the ProgID is unknown, its library does not load
    // or it delivers no control.
    Extender* Add(const QString& progId, const QString& name, QWidget* container) override;
    bool isRegistered(const QString& progId) const override;
    QStringList registeredProgIds() const;

private:
    void registerFolder(const QString& folder);
    QWidget* createControl(const QString& progId, QWidget* container);

    std::map<QString, std::unique_ptr<QPluginLoader>> libraries_;
    ScreenTwips twips_;
};

}  // namespace kestrix
