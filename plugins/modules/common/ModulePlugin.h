#pragma once

#include <QObject>
#include <QString>

#include "host/ControlPlugin.h"

namespace kestrix {

// The plug-in side of one module kind: creates modules of the kind's ProgID. A kind declares
//     class XmeltPlugin : public ModulePlugin<XmeltModule> {
//         Q_OBJECT
//         Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "xmelt.json")
//         Q_INTERFACES(kestrix::ControlPlugin)
//     };
// with the same ProgID in the JSON file as in Module::ProgID.
template <class Module>
class ModulePlugin : public QObject, public ControlPlugin {
public:
    // ProgIDs compare without regard to case, as the registry does; another ProgID gets nothing.
    QWidget* createControl(const QString& progId, QWidget* parent) override {
        if (progId.compare(QLatin1String(Module::ProgID), Qt::CaseInsensitive) != 0) {
            return nullptr;
        }
        return new Module(parent);
    }
};

}  // namespace kestrix
