// The library of the module kind: controls of DirtyFilterModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "DirtyFilterModule.h"

KESTRIX_CONTROL_PLUGIN(DirtyFilterPlugin, kestrix::DirtyFilterModule)

#include "DirtyFilterPlugin.moc"
