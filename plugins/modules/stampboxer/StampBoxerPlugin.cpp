// The library of the module kind: controls of StampBoxerModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "StampBoxerModule.h"

KESTRIX_CONTROL_PLUGIN(StampBoxerPlugin, kestrix::StampBoxerModule)

#include "StampBoxerPlugin.moc"
