#pragma once

#include <QObject>
#include <QTimer>

namespace kestrix {

// Feeds the service manager's watchdog (WatchdogSec= of the unit) from the window's own event
// loop, at half its period: when the window's thread hangs, the feeding stops and the service
// manager ends the shell and starts the line again. Without a watchdog it does nothing.
class ServiceWatchdog : public QObject {
    Q_OBJECT
public:
    // Made on the window's thread, whose event loop then feeds it.
    ServiceWatchdog();

    bool enabled() const { return feeding_.isActive(); }

private:
    QTimer feeding_{this};
};

}  // namespace kestrix
