#pragma once

#include <QString>

namespace kestrix {

// What the shell tells the service manager that started it (a systemd unit of Type=notify).
// Without one (no NOTIFY_SOCKET) these do nothing.

// The operator window is shown: the line is up.
void notifyReady() noexcept;

// The line's state in a few words, shown by `systemctl status`: the countdown, then the modules.
void notifyStatus(const QString& status) noexcept;

}  // namespace kestrix
