#include "platform/x11/X11InputFocus.h"

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

}  // namespace kestrix::X11InputFocus
