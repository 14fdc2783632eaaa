#pragma once

#include "StampModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class StampPlugin : public ModulePlugin<StampModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "stamp.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
