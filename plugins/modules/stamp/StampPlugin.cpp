// The library of the module kind: controls of StampModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "StampModule.h"

KESTRIX_CONTROL_PLUGIN(StampPlugin, kestrix::StampModule)

#include "StampPlugin.moc"
