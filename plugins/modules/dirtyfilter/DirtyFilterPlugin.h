#pragma once

#include "DirtyFilterModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class DirtyFilterPlugin : public ModulePlugin<DirtyFilterModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "dirtyfilter.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
