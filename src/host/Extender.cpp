#include "host/Extender.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QThread>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "fault/Fault.h"
#include "host/LateBinding.h"
#include "host/ModuleCode.h"
#include "host/RemoteControl.h"

namespace kestrix {
namespace {

const QString LeftName = QStringLiteral("Left");
const QString TopName = QStringLiteral("Top");
const QString WidthName = QStringLiteral("Width");
const QString HeightName = QStringLiteral("Height");
const QString VisibleName = QStringLiteral("Visible");

}  // namespace

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
// ObjectEvent. It has no meta-object of its own: each connected signal k arrives as the call of
// "slot" k after QObject's own methods, the way QSignalSpy receives its signal.
//
// The host shows events on the window's thread only. An emit on that thread is delivered at once;
// an emit from another thread is posted to it, and the emitting thread waits until the event has
// been delivered there, so that for the module every emit returns after its box is closed. Once
// released (the end has begun, or the relay goes), waiting emits return at once and later ones
// are not delivered: a module that waits for its thread in Terminate or in its destructor must not
// find that thread waiting for the window.
class EventRelay final : public QObject {
public:
    explicit EventRelay(Extender* extender) : QObject(extender), extender_(extender) {}
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
            Q_EMIT extender_->ObjectEvent(info);
        } catch (const std::exception& e) {
            qCritical("Kestrix: event %s of %s escaped its handler: %s", qPrintable(info.Name),
                      qPrintable(extender_->name()), e.what());
        } catch (...) {
            qCritical("Kestrix: event %s of %s escaped its handler", qPrintable(info.Name),
                      qPrintable(extender_->name()));
        }
    }

    Extender* extender_;
    std::vector<QMetaMethod> signals_;
    std::mutex mutex_;
    bool released_ = false;
    std::vector<std::shared_ptr<WaitingEmit>> waiting_;
};

namespace {

double numberOf(const QVariant& value) {
    bool ok = false;
    double number = value.toDouble(&ok);
    if (!ok || value.metaType().id() == QMetaType::Bool) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
    return number;
}

bool booleanOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.metaType().id() == QMetaType::QString) {
        QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            return true;
        }
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return numberOf(value) != 0.0;
}

QWidget* liveControl(const QPointer<QWidget>& control) {
    if (control == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    return control;
}

// Twips to whole screen pixels, rounded to the nearest; a length no widget can have is an
// Overflow rather than a wrapped-around position.
int pixelsOf(double twips, float twipsPerPixel) {
    double pixels = twips / twipsPerPixel;
    if (!(std::abs(pixels) <= QWIDGETSIZE_MAX)) {
        raiseFault(ErrorNumber::Overflow);
    }
    return static_cast<int>(std::lround(pixels));
}

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

// Signals declared by QWidget and its bases (windowTitleChanged, destroyed, ...) are the
// toolkit's, not the control's events; every signal declared below QWidget is.
std::vector<QMetaMethod> Extender::eventsOf(const QMetaObject& control) {
    std::vector<QMetaMethod> events;
    for (int index = QWidget::staticMetaObject.methodCount(); index < control.methodCount();
         ++index) {
        QMetaMethod method = control.method(index);
        // A signal with default arguments has clones that share its emissions.
        if (method.methodType() == QMetaMethod::Signal &&
            (method.attributes() & QMetaMethod::Cloned) == 0) {
            events.push_back(method);
        }
    }
    return events;
}

Extender::Extender(QWidget* control, QString progId, QString name, ScreenTwips twips)
    : QObject(control),
      control_(control),
      progId_(std::move(progId)),
      name_(std::move(name)),
      twips_(twips) {
    forwardEvents();
}

Extender::Extender(QWidget* frame, RemoteControl* remote, QString progId, QString name,
                   ScreenTwips twips)
    : QObject(frame),
      control_(frame),
      progId_(std::move(progId)),
      name_(std::move(name)),
      twips_(twips),
      remote_(remote) {
    remote_->setParent(this);
}

void Extender::forwardEvents() {
    if (control_ != nullptr) {
        relay_ = new EventRelay(this);
        relay_->listenTo(control_);
    }
}

void Extender::releaseWaitingEvents() {
    if (relay_ != nullptr) {
        relay_->release();
    }
}

void Extender::restart() {
    if (remote_ == nullptr) {
        raiseFault(ErrorNumber::ObjectNotSet);
    }
    remote_->restart();
    placeRemote();
}

void Extender::placeRemote() {
    if (remote_ != nullptr && control_ != nullptr) {
        remote_->place(control_->size(), !control_->isHidden());
    }
}

QVariant Extender::get(const QString& member) {
    if (member == LeftName)
        return Left();
    if (member == TopName)
        return Top();
    if (member == WidthName)
        return Width();
    if (member == HeightName)
        return Height();
    if (member == VisibleName)
        return Visible();
    if (remote_ != nullptr) {
        return remote_->get(member);
    }
    return namingControl(control_, progId_, [&] { return LateBinding::get(control_, member); });
}

void Extender::let(const QString& member, const QVariant& value, const QVariantList& arguments) {
    bool ownMember = member == LeftName || member == TopName || member == WidthName ||
                     member == HeightName || member == VisibleName;
    if (!ownMember && remote_ != nullptr) {
        remote_->let(member, value, arguments);
        return;
    }
    if (!ownMember) {
        namingControl(control_, progId_,
                      [&] { LateBinding::let(control_, member, value, arguments); });
        return;
    }
    if (!arguments.isEmpty()) {
        raiseFault(ErrorNumber::NoSuchMember);
    }
    if (member == LeftName)
        setLeft(numberOf(value));
    if (member == TopName)
        setTop(numberOf(value));
    if (member == WidthName)
        setWidth(numberOf(value));
    if (member == HeightName)
        setHeight(numberOf(value));
    if (member == VisibleName)
        setVisible(booleanOf(value));
}

void Extender::letId(int dispId, const QVariant& value) {
    if (remote_ != nullptr) {
        remote_->letId(dispId, value);
        return;
    }
    namingControl(control_, progId_, [&] { LateBinding::letId(control_, dispId, value); });
}

QVariant Extender::callId(int dispId, const QVariantList& arguments) {
    if (remote_ != nullptr) {
        return remote_->callId(dispId, arguments);
    }
    return namingControl(control_, progId_,
                         [&] { return LateBinding::callId(control_, dispId, arguments); });
}

double Extender::Left() const {
    return liveControl(control_)->x() * double{twips_.x};
}
double Extender::Top() const {
    return liveControl(control_)->y() * double{twips_.y};
}
double Extender::Width() const {
    return liveControl(control_)->width() * double{twips_.x};
}
double Extender::Height() const {
    return liveControl(control_)->height() * double{twips_.y};
}
bool Extender::Visible() const {
    return !liveControl(control_)->isHidden();
}

void Extender::setLeft(double twips) {
    QWidget* control = liveControl(control_);
    control->move(pixelsOf(twips, twips_.x), control->y());
}

void Extender::setTop(double twips) {
    QWidget* control = liveControl(control_);
    control->move(control->x(), pixelsOf(twips, twips_.y));
}

void Extender::setWidth(double twips) {
    QWidget* control = liveControl(control_);
    control->resize(pixelsOf(twips, twips_.x), control->height());
    placeRemote();
}

void Extender::setHeight(double twips) {
    QWidget* control = liveControl(control_);
    control->resize(control->width(), pixelsOf(twips, twips_.y));
    placeRemote();
}

void Extender::setVisible(bool visible) {
    liveControl(control_)->setVisible(visible);
    placeRemote();
}

double AbsoluteHoeheOf(Extender& module) {
    bool ok = false;
    const double twips = module.get(QStringLiteral("AbsoluteHoehe")).toDouble(&ok);
    if (!ok) {
        raiseFault(ErrorNumber::TypeMismatch);
    }
    return twips;
}

}  // namespace kestrix
