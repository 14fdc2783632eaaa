#pragma once

namespace kestrix {

// A time limit in whole seconds from the environment variable, within lowest to highest; the
// fallback when it is not set, and also, with one warning on standard error for each variable,
// when it is set to anything else.
int secondsFromEnvironment(const char* variable, int lowest, int highest, int fallback);

}  // namespace kestrix
