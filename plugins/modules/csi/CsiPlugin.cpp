// The library of the module kind: controls of CsiModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "CsiModule.h"

KESTRIX_CONTROL_PLUGIN(CsiPlugin, kestrix::CsiModule)

#include "CsiPlugin.moc"
