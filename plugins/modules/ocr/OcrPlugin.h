#pragma once

#include "OcrModule.h"
#include "common/ModulePlugin.h"

namespace kestrix {

class OcrPlugin : public ModulePlugin<OcrModule> {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "ocr.json")
    Q_INTERFACES(kestrix::ControlPlugin)
};

}  // namespace kestrix
