#include "channel/KeyboardFocus.h"

#include <QEvent>

#include "platform/x11/X11InputFocus.h"

namespace kestrix::KeyboardFocus {
namespace {

// The control's first field in Tab order that takes the focus by Tab, or its last; null when it has
// none.
QWidget* edgeField(QWidget& control, bool first) {
    QWidget* firstField = nullptr;
    QWidget* lastField = nullptr;
    for (QWidget* field = control.nextInFocusChain(); field != &control;
         field = field->nextInFocusChain()) {
        if (!control.isAncestorOf(field)) {
            break;
        }
        if (takesTabFocus(*field)) {
            firstField = firstField != nullptr ? firstField : field;
            lastField = field;
        }
    }
    return first ? firstField : lastField;
}

Qt::FocusReason tabReason(bool forward) {
    return forward ? Qt::TabFocusReason : Qt::BacktabFocusReason;
}

// A widget takes the focus by a click when it and the widget it passes its focus to both do.
bool takesClickFocus(const QWidget& widget) {
    const QWidget* target = &widget;
    while (target->focusProxy() != nullptr) {
        target = target->focusProxy();
    }
    const auto clicks = [](const QWidget& w) {
        return (w.focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus;
    };
    return widget.isEnabled() && clicks(widget) && clicks(*target);
}

}  // namespace

bool takesTabFocus(const QWidget& field) {
    return (field.focusPolicy() & Qt::TabFocus) != 0 && field.isVisibleTo(field.window()) &&
           field.isEnabled();
}

bool clickGivesFocus(const QWidget& widget) {
    for (const QWidget* w = &widget; w != nullptr; w = w->parentWidget()) {
        if (takesClickFocus(*w)) {
            return true;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return false;
}

bool leavesControl(QWidget& control, int key, Qt::KeyboardModifiers modifiers, bool& forward) {
    const bool tab = key == Qt::Key_Tab && (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool backtab =
        key == Qt::Key_Backtab || (key == Qt::Key_Tab && (modifiers & Qt::ShiftModifier) != 0);
    QWidget* focus = control.focusWidget();
    if ((!tab && !backtab) || focus == nullptr) {
        return false;
    }
    forward = tab;
    return focus == edgeField(control, !forward);
}

ControlKeyboard::ControlKeyboard(QWidget& window) : window_(window) {
    window_.installEventFilter(this);
}

bool ControlKeyboard::enter(QWidget& control, bool forward) {
    QWidget* field = edgeField(control, forward);
    if (field == nullptr) {
        return false;
    }
    reason_ = tabReason(forward);
    entering_ = window_.isActiveWindow() ? nullptr : field;
    field->setFocus(reason_);
    return true;
}

void ControlKeyboard::leave(bool forward) {
    entering_ = nullptr;
    window_.setFocus(tabReason(forward));
}

// The window is told of its activation before Qt gives its focus widget the keyboard: the field
// takes it here for Tab's reason, and Qt then finds it has it already.
bool ControlKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::WindowActivate && entering_ != nullptr) {
        QWidget* field = entering_;
        entering_ = nullptr;
        if (field->window() == &window_) {
            field->setFocus(reason_);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool ReclaimOnClick::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        QWidget* window = static_cast<QWidget*>(watched)->window();
        const WId native = window->internalWinId();
        if (native != 0 && X11InputFocus::isElsewhere(native)) {
            X11InputFocus::give(native);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kestrix::KeyboardFocus
