#pragma once

#include "Verb.h"

namespace kestrix::check {

// "plugin": the plug-in test container. It takes one control of a plug-in library through the
// shell's calls, offscreen and in a process of its own, and reports what the shell would log.
Verb pluginVerb();

}  // namespace kestrix::check
