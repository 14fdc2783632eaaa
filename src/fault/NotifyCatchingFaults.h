#pragma once

#include <cxxabi.h>

namespace kestrix {

// The application's notify in both programs, the shell and the module host: delivers one event by
// deliver(), and when a fault (a Fault or any other exception) escapes the code the event ran, a
// control's handler or a module's timer say, calls escaped() from inside the catch block, where
// currentFault() reads it, and the event counts as not handled: the program goes on with the next
// one. A thread being cancelled unwinds on.
template <typename Deliver, typename Escaped>
bool notifyCatchingFaults(Deliver&& deliver, Escaped&& escaped) {
    try {
        return deliver();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        escaped();
        return false;
    }
}

}  // namespace kestrix
