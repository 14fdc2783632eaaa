#pragma once

#include <QMetaMethod>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <vector>

class QThread;

namespace kestrix::check {

// Notes which of a control's events it emits from threads other than the one it lives on. It
// listens directly, on the emitting thread, beside the host's own delivery.
class ThreadWatch final : public QObject {
public:
    void listenTo(QObject* control);
    // The events emitted from another thread so far, each once, in the order first seen.
    QStringList eventsFromOtherThreads() const;

    int qt_metacall(QMetaObject::Call call, int id, void** argv) override;

private:
    QThread* home_ = nullptr;  // the thread the control lives on
    std::vector<QMetaMethod> events_;
    mutable QMutex mutex_;
    QStringList fromOtherThreads_;
};

}  // namespace kestrix::check
