// The operator window's three timers: the start-up countdown, the life sign and the watcher of
// the other program's window.

#include "app/KestrixCentral.h"

namespace kestrix {

void KestrixCentral::TimerErstemal_Timer() {}

void KestrixCentral::TimerLeben_Timer() {}

void KestrixCentral::TimerWebBrowser_Timer() {}

}  // namespace kestrix
