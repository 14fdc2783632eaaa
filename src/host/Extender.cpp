#include "host/Extender.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QtDebug>
#include <cmath>
#include <exception>
#include <utility>
#include <vector>

#include "host/LateBinding.h"
#include "log/Fault.h"

namespace kestrix {
namespace {

const QString LeftName = QStringLiteral("Left");
const QString TopName = QStringLiteral("Top");
const QString WidthName = QStringLiteral("Width");
const QString HeightName = QStringLiteral("Height");
const QString VisibleName = QStringLiteral("Visible");

// Receives every signal of the control's own classes and hands each emission on as one
// ObjectEvent. It has no meta-object of its own: each connected signal k arrives as the call of
// "slot" k after QObject's own methods, the way QSignalSpy receives its signal.
class EventRelay final : public QObject {
public:
    explicit EventRelay(Extender* extender) : QObject(extender), extender_(extender) {}

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

private:
    // Synchronous: the control's emit returns only when the host's handlers have returned.
    void deliver(const QMetaMethod& signal, void** argv) {
        EventInfo info{QString::fromLatin1(signal.name()), {}};
        for (int i = 0; i < signal.parameterCount(); ++i) {
            info.Parameters.append(QVariant(signal.parameterMetaType(i), argv[i + 1]));
        }
        // The host's handlers report their own faults; nothing may travel back into the
        // plug-in's code, which called emit.
        try {
            Q_EMIT extender_->ObjectEvent(info);
        } catch (const std::exception& e) {
            qCritical("Kestrix: event %s of %s escaped its handler: %s", signal.name().constData(),
                      qPrintable(extender_->name()), e.what());
        } catch (...) {
            qCritical("Kestrix: event %s of %s escaped its handler", signal.name().constData(),
                      qPrintable(extender_->name()));
        }
    }

    Extender* extender_;
    std::vector<QMetaMethod> signals_;
};

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

// A fault that the control's own code raised carries the control's ProgID as its source.
template <class Work>
auto namingControl(const QString& progId, Work&& work) -> decltype(work()) {
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

void Extender::forwardEvents() {
    if (control_ != nullptr) {
        (new EventRelay(this))->listenTo(control_);
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
    return namingControl(progId_, [&] { return LateBinding::get(control_, member); });
}

void Extender::let(const QString& member, const QVariant& value, const QVariantList& arguments) {
    bool ownMember = member == LeftName || member == TopName || member == WidthName ||
                     member == HeightName || member == VisibleName;
    if (!ownMember) {
        namingControl(progId_, [&] { LateBinding::let(control_, member, value, arguments); });
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
    namingControl(progId_, [&] { LateBinding::letId(control_, dispId, value); });
}

QVariant Extender::callId(int dispId, const QVariantList& arguments) {
    return namingControl(progId_, [&] { return LateBinding::callId(control_, dispId, arguments); });
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
}

void Extender::setHeight(double twips) {
    QWidget* control = liveControl(control_);
    control->resize(control->width(), pixelsOf(twips, twips_.y));
}

void Extender::setVisible(bool visible) {
    liveControl(control_)->setVisible(visible);
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
