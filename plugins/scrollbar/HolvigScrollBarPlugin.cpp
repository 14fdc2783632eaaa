// The library of the scroll-bar control: controls of HolvigScrollBar for the ProgID its build
// names.
#include <kestrix/ControlPlugin.h>

#include "HolvigScrollBar.h"

KESTRIX_CONTROL_PLUGIN(HolvigScrollBarPlugin, kestrix::HolvigScrollBar)

#include "HolvigScrollBarPlugin.moc"
