#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
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

}  // namespace kestrix
