#pragma once

#include "CsiModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class CsiPlugin : public ModulePlugin<CsiModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "csi.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
