#include "platform/QtPlatformChoice.h"

#include <QByteArray>
#include <QtGlobal>

namespace kestrix {

void preferXWaylandOnWayland() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Qt tries the platforms in this order.
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("xcb;wayland"));
    }
}

}  // namespace kestrix
