#pragma once

#include <QObject>

#include "host/ControlPlugin.h"

namespace kestrix {

// The library of the scroll-bar control: it offers controls of the ProgID
// "HolvigScrollBar.ScrollBar".
class HolvigScrollBarPlugin : public QObject, public ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "scrollbar.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& progId, QWidget* parent) override;
};

}  // namespace kestrix
