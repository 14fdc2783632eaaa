#include "supervision/ServiceWatchdog.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kestrix {

ServiceWatchdog::ServiceWatchdog() {
    uint64_t periodMicroseconds = 0;
    if (sd_watchdog_enabled(0, &periodMicroseconds) <= 0 || periodMicroseconds == 0) {
        return;
    }
    using std::chrono::duration_cast;
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    const auto half = duration_cast<milliseconds>(microseconds(periodMicroseconds / 2));
    feeding_.setInterval(std::max(half, milliseconds(1)));
    connect(&feeding_, &QTimer::timeout, this, [] { (void)sd_notify(0, "WATCHDOG=1"); });
    (void)sd_notify(0, "WATCHDOG=1");
    feeding_.start();
}

}  // namespace kestrix
