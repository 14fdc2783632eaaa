#pragma once

#include "TopFoldModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class TopFoldPlugin : public ModulePlugin<TopFoldModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "topfold.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
