#pragma once

#include "TarvoModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class TarvoPlugin : public ModulePlugin<TarvoModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "tarvo.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
