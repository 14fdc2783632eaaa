#include "HolvigScrollBarPlugin.h"

#include "HolvigScrollBar.h"

namespace kestrix {

QWidget* HolvigScrollBarPlugin::createControl(const QString& progId, QWidget* parent) {
    if (progId != QLatin1String("HolvigScrollBar.ScrollBar")) {
        return nullptr;
    }
    return new HolvigScrollBar(parent);
}

}  // namespace kestrix
