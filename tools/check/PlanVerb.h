#pragma once

#include "Verb.h"

namespace kestrix::check {

// "plan": what the shell will create after its countdown for an installation root, slot by slot,
// the requests it will reject and the log settings it will use.
Verb planVerb();

}  // namespace kestrix::check
