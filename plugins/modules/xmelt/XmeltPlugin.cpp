// The library of the module kind: controls of XmeltModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "XmeltModule.h"

KESTRIX_CONTROL_PLUGIN(XmeltPlugin, kestrix::XmeltModule)

#include "XmeltPlugin.moc"
