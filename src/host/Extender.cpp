#include "host/Extender.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <cmath>
#include <utility>
#include <vector>

#include "fault/Fault.h"
#include "host/ModuleBackend.h"

namespace kestrix {
namespace {

const QString LeftName = QStringLiteral("Left");
const QString TopName = QStringLiteral("Top");
const QString WidthName = QStringLiteral("Width");
const QString HeightName = QStringLiteral("Height");
const QString VisibleName = QStringLiteral("Visible");

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

Extender::Extender(QWidget* control, ModuleBackend* backend, QString progId, QString name,
                   ScreenTwips twips)
    : QObject(control),
      control_(control),
      progId_(std::move(progId)),
      name_(std::move(name)),
      twips_(twips),
      backend_(backend) {
    backend_->setParent(this);
    connect(backend_, &ModuleBackend::eventRaised, this, &Extender::ObjectEvent);
    connect(backend_, &ModuleBackend::stopped, this, &Extender::stopped);
    connect(backend_, &ModuleBackend::restartRequested, this, &Extender::restartRequested);
}

void Extender::releaseWaitingEvents() {
    backend_->releaseWaitingEvents();
}

void Extender::restart() {
    backend_->restart();
    place();
}

void Extender::place() {
    if (control_ != nullptr) {
        backend_->place(control_->size(), !control_->isHidden());
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
    return backend_->get(member);
}

void Extender::let(const QString& member, const QVariant& value, const QVariantList& arguments) {
    bool ownMember = member == LeftName || member == TopName || member == WidthName ||
                     member == HeightName || member == VisibleName;
    if (!ownMember) {
        backend_->let(member, value, arguments);
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
    backend_->letId(dispId, value);
}

QVariant Extender::callId(int dispId, const QVariantList& arguments) {
    return backend_->callId(dispId, arguments);
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
    place();
}

void Extender::setHeight(double twips) {
    QWidget* control = liveControl(control_);
    control->resize(control->width(), pixelsOf(twips, twips_.y));
    place();
}

void Extender::setVisible(bool visible) {
    liveControl(control_)->setVisible(visible);
    place();
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
