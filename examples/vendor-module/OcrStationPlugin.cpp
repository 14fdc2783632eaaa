// The library's plug-in class: it hands the shell an OcrStation for the ProgID of the build.
#include <kestrix/ControlPlugin.h>

#include "OcrStation.h"

KESTRIX_CONTROL_PLUGIN(OcrStationPlugin, OcrStation)

#include "OcrStationPlugin.moc"
