#include "host/InProcessControl.h"

#include <unistd.h>
#include <QMetaMethod>
#include <QThread>
#include <QtDebug>
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "fault/Fault.h"
#include "host/Extender.h"
#include "host/LateBinding.h"
#include "host/ModuleCode.h"

namespace kestrix {

// One emit of a module's event from a thread of its own, waiting for the window's thread to
// show it. Shared by the waiting thread and the relay, so that either may go first.
struct WaitingEmit {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;

    void finish() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        finished.notify_all();
    }
    void waitUntilFinished() {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return done; });
    }
};

// Receives every signal of the control's own classes and hands each emission on as one
// event of the control. It has no meta-object of its own: each connected signal k arrives as the
// call of "slot" k after QObject's own methods, the way QSignalSpy receives its signal.
//
// The host shows events on the window's thread only. An emit on that thread is delivered at once;
// an emit from another thread is posted to it, and the emitting thread waits until the event has
// been delivered there, so that for the module every emit returns after its box is closed. Once
// released (the end has begun, or the relay goes), waiting emits return at once and later ones
// are not delivered: a module that waits for its thread in Terminate or in its destructor must not
// find that thread waiting for the window.
class EventRelay final : public QObject {
public:
    explicit EventRelay(InProcessControl* control) : QObject(control), control_(control) {}
    ~EventRelay() override { release(); }

    void listenTo(QObject* control) {
        for (const QMetaMethod& event : Extender::eventsOf(*control->metaObject())) {
            int slot = QObject::staticMetaObject.methodCount() + static_cast<int>(signals_.size());
            if (QMetaObject::connect(control, event.methodIndex(), this, slot,
                                     Qt::DirectConnection)) {
                signals_.push_back(event);
            }
        }
    }

    int qt_metacall(QMetaObject::Call call, int id, void** argv) override {
        id = QObject::qt_metacall(call, id, argv);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod) {
            return id;
        }
        if (id < static_cast<int>(signals_.size())) {
            deliver(signals_[static_cast<size_t>(id)], argv);
        }
        return -1;
    }

    // Lets every waiting emit return and delivers no later one from another thread.
    void release() {
        std::vector<std::shared_ptr<WaitingEmit>> waiting;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
            waiting.swap(waiting_);
        }
        for (const auto& call : waiting) {
            call->finish();
        }
    }

private:
    // Synchronous: the control's emit returns only when the host's handlers have returned.
    void deliver(const QMetaMethod& signal, void** argv) {
        EventInfo info{QString::fromLatin1(signal.name()), {}};
        for (int i = 0; i < signal.parameterCount(); ++i) {
            info.Parameters.append(QVariant(signal.parameterMetaType(i), argv[i + 1]));
        }
        if (QThread::currentThread() == thread()) {
            emitObjectEvent(info);
        } else {
            info.fromOwnThread = true;
            deliverFromAnotherThread(std::move(info));
        }
    }

    void deliverFromAnotherThread(EventInfo info) {
        auto waiting = std::make_shared<WaitingEmit>();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (released_) {
                return;
            }
            waiting_.push_back(waiting);
        }
        QMetaObject::invokeMethod(
            this,
            [this, waiting, info = std::move(info)] {
                if (stillWaiting(waiting)) {
                    emitObjectEvent(info);
                }
                forget(waiting);
                waiting->finish();
            },
            Qt::QueuedConnection);
        waiting->waitUntilFinished();
    }

    bool stillWaiting(const std::shared_ptr<WaitingEmit>& waiting) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(waiting_.begin(), waiting_.end(), waiting) != waiting_.end();
    }

    void forget(const std::shared_ptr<WaitingEmit>& waiting) {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), waiting), waiting_.end());
    }

    void emitObjectEvent(const EventInfo& info) {
        // The host's handlers report their own faults; nothing may travel back into the
        // plug-in's code, which called emit.
        try {
            Q_EMIT control_->eventRaised(info);
        } catch (const std::exception& e) {
            qCritical("Kestrix: event %s of %s escaped its handler: %s", qPrintable(info.Name),
                      qPrintable(control_->name()), e.what());
        } catch (...) {
            qCritical("Kestrix: event %s of %s escaped its handler", qPrintable(info.Name),
                      qPrintable(control_->name()));
        }
    }

    InProcessControl* control_;
    std::vector<QMetaMethod> signals_;
    std::mutex mutex_;
    bool released_ = false;
    std::vector<std::shared_ptr<WaitingEmit>> waiting_;
};

namespace {

// A call into the control's own code: the code that runs is the control's, and a fault that it
// raised carries the control's ProgID as its source.
template <class Work>
auto namingControl(const QObject* control, const QString& progId, Work&& work) -> decltype(work()) {
    const ModuleCode::Running running(control);
    try {
        return work();
    } catch (const ControlFault& fault) {
        throw Fault(fault.number(), fault.description(),
                    progId.isEmpty() ? fault.source() : progId);
    }
}

}  // namespace

InProcessControl::InProcessControl(QWidget* control, QString progId, QString name)
    : control_(control), progId_(std::move(progId)), name_(std::move(name)) {
    if (control_ != nullptr) {
        relay_ = new EventRelay(this);
        relay_->listenTo(control_);
    }
}

InProcessControl::~InProcessControl() = default;

Extender* InProcessControl::extend(QWidget* control, const QString& progId, const QString& name,
                                   ScreenTwips twips) {
    return new Extender(control, new InProcessControl(control, progId, name), progId, name, twips);
}

QVariant InProcessControl::get(const QString& member) {
    return namingControl(control_, progId_, [&] { return LateBinding::get(control_, member); });
}

void InProcessControl::let(const QString& member, const QVariant& value,
                           const QVariantList& arguments) {
    namingControl(control_, progId_, [&] { LateBinding::let(control_, member, value, arguments); });
}

void InProcessControl::letId(int dispId, const QVariant& value) {
    namingControl(control_, progId_, [&] { LateBinding::letId(control_, dispId, value); });
}

QVariant InProcessControl::callId(int dispId, const QVariantList& arguments) {
    return namingControl(control_, progId_,
                         [&] { return LateBinding::callId(control_, dispId, arguments); });
}

// Its code is the shell's: there is no process to start afresh.
void InProcessControl::restart() {
    raiseFault(ErrorNumber::ObjectNotSet);
}

void InProcessControl::releaseWaitingEvents() {
    if (relay_ != nullptr) {
        relay_->release();
    }
}

qint64 InProcessControl::processId() const {
    return ::getpid();
}

}  // namespace kestrix
