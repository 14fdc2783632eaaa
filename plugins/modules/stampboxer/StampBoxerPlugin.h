#pragma once

#include "StampBoxerModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class StampBoxerPlugin : public ModulePlugin<StampBoxerModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "stampboxer.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
