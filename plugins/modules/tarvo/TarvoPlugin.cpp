// The library of the module kind: controls of TarvoModule for the ProgID its build names.
#include <kestrix/ControlPlugin.h>

#include "TarvoModule.h"

KESTRIX_CONTROL_PLUGIN(TarvoPlugin, kestrix::TarvoModule)

#include "TarvoPlugin.moc"
