#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <functional>

namespace kestrix {

// Waits for something another process does (a window appears, a log line is written), up to the
// given time; true when it happened. The test program's own events run meanwhile, when it has an
// application. The limit only keeps a broken run from hanging; it measures nothing.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents();
        }
        QThread::msleep(50);
    }
    return true;
}

// Runs the test program's own events until the condition holds (for work that this process's
// event loop does: a socket notifier, a queued call), up to the given time; true when it held.
inline bool runEventsUntil(const std::function<bool()>& condition, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    QTimer wake;  // so that a wait for more events ends even when none comes
    wake.start(10);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace kestrix
