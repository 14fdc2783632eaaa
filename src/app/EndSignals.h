#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrix {

// TERM and HUP (a logout, a service stop, kill) as a request to end: the first one is handed to
// the event loop, which reports it as received, since nothing but a write to a pipe is safe in a
// signal handler; a second one ends the process at once, by the signal's own default action.
// One of these exists in a program.
class EndSignals : public QObject {
    Q_OBJECT
public:
    EndSignals();
    ~EndSignals() override;

Q_SIGNALS:
    void received();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kestrix
