// The library of the module kind: controls of TopFoldModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "TopFoldModule.h"

KESTRIX_CONTROL_PLUGIN(TopFoldPlugin, kestrix::TopFoldModule)

#include "TopFoldPlugin.moc"
