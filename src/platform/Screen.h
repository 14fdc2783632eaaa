#pragma once

// The screen's twips per pixel are the plug-ins' as well: one definition, in the plug-in SDK.
#include <kestrix/ScreenTwips.h>
