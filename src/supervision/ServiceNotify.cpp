#include "supervision/ServiceNotify.h"

#include <systemd/sd-daemon.h>

namespace kestrix {

void notifyReady() noexcept {
    (void)sd_notify(0, "READY=1");
}

void notifyStatus(const QString& status) noexcept {
    try {
        const QByteArray message = "STATUS=" + status.toUtf8();
        (void)sd_notify(0, message.constData());
    } catch (...) {
        // A status that cannot be told leaves the last one standing.
    }
}

}  // namespace kestrix
