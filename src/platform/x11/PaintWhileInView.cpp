#include "platform/x11/PaintWhileInView.h"

#include <xcb/xcb.h>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QRect>
#include <QWindow>

namespace {
// Xlib's macro of the same name hides Qt's.
constexpr QEvent::Type ExposeEvent = QEvent::Expose;
}  // namespace

// Xlib defines macros (Bool, Status, None, Expose) that clash with Qt's headers: it comes last,
// and this file is compiled on its own in a unity build.
#include <X11/Xlib.h>

#include "platform/x11/X11Tree.h"

namespace kestrix {

// Qt's own events on the window stay selected: the visibility changes are added to them.
PaintWhileInView::PaintWhileInView(QWidget& window) : window_(&window) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->display() == nullptr) {
        return;
    }
    display_ = x11->display();
    id_ = window.winId();
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, id_, &attributes) == 0) {
        display_ = nullptr;
        return;
    }
    XSelectInput(display_, id_, attributes.your_event_mask | VisibilityChangeMask);
    XFlush(display_);
    window.windowHandle()->installEventFilter(this);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

PaintWhileInView::~PaintWhileInView() {
    if (display_ != nullptr && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool PaintWhileInView::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_VISIBILITY_NOTIFY) {
        const auto* visibility = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
        if (visibility->window == id_) {
            placed_ = true;
            seen(visibility->state == XCB_VISIBILITY_FULLY_OBSCURED);
        }
    }
    return false;
}

// The server reports no change for a window shown where nobody can see it: its first exposure
// reads the window tree instead. An exposure of a window out of view shows nothing.
bool PaintWhileInView::eventFilter(QObject*, QEvent* event) {
    if (event->type() != ExposeEvent) {
        return false;
    }
    if (!placed_) {
        placed_ = true;
        obscured_ = outsideItsAncestors();
    }
    return obscured_;
}

// Qt paints a window only while it counts as mapped; seen again, the whole window is painted, so
// that nothing of what changed meanwhile is missed.
void PaintWhileInView::seen(bool obscured) {
    if (obscured == obscured_ || window_ == nullptr) {
        return;
    }
    obscured_ = obscured;
    window_->setAttribute(Qt::WA_Mapped, !obscured);
    if (!obscured) {
        window_->update();
    }
}

// Whether the window lies wholly outside one of the windows that hold it (the operator window's
// view of its modules, say).
bool PaintWhileInView::outsideItsAncestors() const {
    const Window root = DefaultRootWindow(display_);
    auto rectangleOf = [&](Window window) {
        XWindowAttributes attributes{};
        int x = 0;
        int y = 0;
        Window child = 0;
        if (XGetWindowAttributes(display_, window, &attributes) == 0 ||
            XTranslateCoordinates(display_, window, root, 0, 0, &x, &y, &child) == 0) {
            return QRect();
        }
        return QRect(x, y, attributes.width, attributes.height);
    };
    QRect inView = rectangleOf(id_);
    Window window = id_;
    while (!inView.isEmpty()) {
        const Window parent = X11Tree::parentBelowRoot(display_, window);
        if (parent == None) {
            return false;
        }
        inView &= rectangleOf(parent);
        window = parent;
    }
    return true;
}

}  // namespace kestrix
