// The library of the module kind: controls of OcrModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "OcrModule.h"

KESTRIX_CONTROL_PLUGIN(OcrPlugin, kestrix::OcrModule)

#include "OcrPlugin.moc"
