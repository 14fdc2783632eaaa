#include "platform/x11/X11InputFocus.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace kestrix::X11InputFocus {
namespace {

// Whether a key event is a press, a release or neither, asked here: below, Xlib's names
// (KeyPress, KeyRelease) hide Qt's.
enum class KeyKind { Press, Release, Other };

KeyKind kindOf(const QKeyEvent& key) {
    switch (key.type()) {
        case QEvent::KeyPress:
            return KeyKind::Press;
        case QEvent::KeyRelease:
            return KeyKind::Release;
        default:
            return KeyKind::Other;
    }
}

}  // namespace
}  // namespace kestrix::X11InputFocus

// Xlib defines macros (Bool, Status, None, KeyPress) that clash with Qt's headers: it comes last,
// and this file is compiled on its own in a unity build.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include "platform/x11/X11Tree.h"

namespace kestrix::X11InputFocus {
namespace {

Display* xDisplay() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->display() : nullptr;
}

}  // namespace

void give(WId window) {
    if (Display* display = xDisplay(); display != nullptr && window != 0) {
        XSetInputFocus(display, static_cast<Window>(window), RevertToParent, CurrentTime);
        XFlush(display);
    }
}

void giveToEmbedded(WId container) {
    Display* display = xDisplay();
    if (display == nullptr || container == 0) {
        return;
    }
    const std::vector<Window> children =
        X11Tree::childrenOf(display, static_cast<Window>(container));
    if (children.size() == 1) {
        give(static_cast<WId>(children[0]));
    }
}

bool isElsewhere(WId window) {
    Display* display = xDisplay();
    if (display == nullptr) {
        return false;
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus != static_cast<Window>(window);
}

// The key keeps what the server reported: its key code, the modifiers and buttons held, its time.
bool passKey(const QKeyEvent& key, WId to) {
    Display* display = xDisplay();
    const KeyKind kind = kindOf(key);
    if (display == nullptr || to == 0 || kind == KeyKind::Other) {
        return false;
    }
    XKeyEvent event{};
    event.type = kind == KeyKind::Press ? KeyPress : KeyRelease;
    event.display = display;
    event.window = static_cast<Window>(to);
    event.root = DefaultRootWindow(display);
    event.subwindow = 0;
    event.time = static_cast<Time>(key.timestamp());
    event.state = key.nativeModifiers();
    event.keycode = key.nativeScanCode();
    event.same_screen = True;
    const Status sent = XSendEvent(display, static_cast<Window>(to), False, NoEventMask,
                                   reinterpret_cast<XEvent*>(&event));
    XFlush(display);
    return sent != 0;
}

Arrivals::Arrivals(std::function<void(WId)> arrived) : arrived_(std::move(arrived)) {
    if (xDisplay() != nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

Arrivals::~Arrivals() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

// The focus comes to the window itself from within it (inferior), from its parents (ancestor) or
// from elsewhere (nonlinear); the other details tell of the focus on a window within it or of the
// pointer. A focus that a keyboard grab lends or returns is no arrival.
bool Arrivals::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_FOCUS_IN) {
        return false;
    }
    const auto* focus = static_cast<const xcb_focus_in_event_t*>(message);
    const bool itself = focus->detail == XCB_NOTIFY_DETAIL_INFERIOR ||
                        focus->detail == XCB_NOTIFY_DETAIL_ANCESTOR ||
                        focus->detail == XCB_NOTIFY_DETAIL_NONLINEAR;
    const bool lasting =
        focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
    if (itself && lasting) {
        arrived_(static_cast<WId>(focus->event));
    }
    return false;
}

}  // namespace kestrix::X11InputFocus
