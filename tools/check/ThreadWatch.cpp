#include "ThreadWatch.h"

#include <QMutexLocker>
#include <QThread>

#include "host/Extender.h"

namespace kestrix::check {

// Each event k arrives as the call of "slot" k after QObject's own methods, the way the
// extender's relay receives them.
void ThreadWatch::listenTo(QObject* control) {
    home_ = control->thread();
    for (const QMetaMethod& event : Extender::eventsOf(*control->metaObject())) {
        const int slot = QObject::staticMetaObject.methodCount() + static_cast<int>(events_.size());
        if (QMetaObject::connect(control, event.methodIndex(), this, slot, Qt::DirectConnection)) {
            events_.push_back(event);
        }
    }
}

int ThreadWatch::qt_metacall(QMetaObject::Call call, int id, void** argv) {
    id = QObject::qt_metacall(call, id, argv);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod) {
        return id;
    }
    if (id < static_cast<int>(events_.size()) && QThread::currentThread() != home_) {
        const QString name = QString::fromLatin1(events_[static_cast<size_t>(id)].name());
        QMutexLocker lock(&mutex_);
        if (!fromOtherThreads_.contains(name)) {
            fromOtherThreads_.append(name);
        }
    }
    return -1;
}

QStringList ThreadWatch::eventsFromOtherThreads() const {
    QMutexLocker lock(&mutex_);
    return fromOtherThreads_;
}

}  // namespace kestrix::check
