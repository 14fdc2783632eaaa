#pragma once

#include "XmeltModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class XmeltPlugin : public ModulePlugin<XmeltModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "xmelt.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
