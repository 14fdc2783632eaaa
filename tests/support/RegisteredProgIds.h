#pragma once

#include <QStringList>

#include "host/PluginControlFactory.h"

namespace kestrix {

// The ProgIDs that a registry serves, as their serving libraries write them, in the order of the
// registrations.
inline QStringList registeredProgIds(const PluginControlFactory& registry) {
    QStringList progIds;
    for (const PluginControlFactory::Registration& registration : registry.registrations()) {
        progIds.append(registration.progId);
    }
    return progIds;
}

}  // namespace kestrix
