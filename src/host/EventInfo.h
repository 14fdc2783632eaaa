#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantList>

namespace kestrix {

// One event of a hosted control as the host receives it: the event's name (the signal's name)
// and its arguments in order.
struct EventInfo {
    QString Name;
    QVariantList Parameters;
    bool fromOwnThread = false;  // emitted from a thread of the module's own
};

}  // namespace kestrix

Q_DECLARE_METATYPE(kestrix::EventInfo)
