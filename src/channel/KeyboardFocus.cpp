#include "channel/KeyboardFocus.h"

#include <QEvent>
#include <QGuiApplication>

// Xlib defines macros (Bool, Status, None) that clash with Qt's headers: it comes last, and this
// file is compiled on its own in a unity build.
#include <X11/Xlib.h>

namespace kestrix::KeyboardFocus {
namespace {

Display* xDisplay() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

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

}  // namespace

bool takesTabFocus(const QWidget& field) {
    return (field.focusPolicy() & Qt::TabFocus) != 0 && field.isVisibleTo(field.window()) &&
           field.isEnabled();
}

void takeFocus(QWidget& window) {
    if (Display* display = xDisplay()) {
        XSetInputFocus(display, static_cast<Window>(window.winId()), RevertToParent, CurrentTime);
        XFlush(display);
    }
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

bool enterControl(QWidget& window, QWidget& control, bool forward) {
    QWidget* field = edgeField(control, forward);
    if (field == nullptr) {
        return false;
    }
    takeFocus(window);
    field->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool ReclaimOnClick::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        QWidget* window = static_cast<QWidget*>(watched)->window();
        Display* display = xDisplay();
        if (display != nullptr && window->internalWinId() != 0) {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(display, &focus, &revert);
            if (focus != static_cast<Window>(window->internalWinId())) {
                takeFocus(*window);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kestrix::KeyboardFocus
