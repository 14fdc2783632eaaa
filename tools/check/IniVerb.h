#pragma once

#include "Verb.h"

namespace kestrix::check {

// "ini": the value the shell reads from an INI file, for one query or for a batch on stdin.
Verb iniVerb();

}  // namespace kestrix::check
