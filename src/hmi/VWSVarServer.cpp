#include "hmi/VWSVarServer.h"

#include "hmi/HmiRuntime.h"

namespace kestrix {

VWSVarServer::VWSVarServer(HmiRuntime& runtime, QWidget* parent)
    : QWidget(parent), runtime_(runtime) {
    setVisible(false);
    connect(&runtime_, &HmiRuntime::variableChanged, this,
            [this](const QString& variable, const QVariant& value) {
                if (!item_.isEmpty() && variable == item_) {
                    emit Change(value, {}, {}, {}, {});
                }
            });
}

void VWSVarServer::setVWItem(const QString& variable) {
    if (variable == item_) {
        return;
    }
    item_ = variable;
    if (!item_.isEmpty()) {
        runtime_.subscribe(item_);
    }
}

}  // namespace kestrix
