#include "platform_x11_inspector.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

std::vector<unsigned long> propertyItems(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    Atom property = XInternAtom(display, name, False);
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        items.assign(values, values + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return items;
}

unsigned long windowProperty(Display* display, Window window, const char* name) {
    std::vector<unsigned long> items = propertyItems(display, window, name);
    return items.empty() ? 0 : items.front();
}

}  // namespace

// No X error handler of its own: the one the desktop installs is what keeps the process alive when
// a window has gone, and the tests show that it does.
XInspector::XInspector() : display_(XOpenDisplay(nullptr)) {}

XInspector::~XInspector() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

unsigned long XInspector::createWindowNamedLatin1(const char* latin1Title, Placement placement) {
    Window root = DefaultRootWindow(display_);
    Window parent = root;
    if (placement == Placement::InsideUntitledFrame) {
        parent = XCreateSimpleWindow(display_, root, 40, 40, 240, 140, 0, 0, 0);
    }
    Window window = XCreateSimpleWindow(display_, parent, 0, 0, 220, 120, 0, 0, 0);
    XStoreName(display_, window, latin1Title);  // WM_NAME of type STRING, nothing else
    if (placement == Placement::InsideUntitledFrame) {
        Atom wmState = XInternAtom(display_, "WM_STATE", False);
        long state[] = {NormalState, None};
        XChangeProperty(display_, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
    }
    if (placement != Placement::TopLevelUnmapped) {
        XMapWindow(display_, window);
    }
    if (parent != root) {
        XMapWindow(display_, parent);
    }
    XSync(display_, False);
    return window;
}

void XInspector::rename(unsigned long window, const char* latin1Title) {
    XStoreName(display_, window, latin1Title);
    XSync(display_, False);
}

void XInspector::destroyWindow(unsigned long window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void XInspector::iconify(unsigned long window) {
    XIconifyWindow(display_, window, DefaultScreen(display_));
    XSync(display_, False);
}

unsigned long XInspector::activeWindow() {
    return windowProperty(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
}

unsigned long XInspector::focusWindow() {
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display_, &focus, &revertTo);
    return focus;
}

unsigned long XInspector::topmostViewableWindow() {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    Window top = None;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) != 0) {
        // Programs keep unmapped helper windows at the root too; only what is shown counts.
        for (unsigned int i = count; i > 0 && top == None; --i) {
            if (isViewable(children[i - 1])) {
                top = children[i - 1];
            }
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return top;
}

bool XInspector::isIconic(unsigned long window) {
    return windowProperty(display_, window, "WM_STATE") == IconicState;
}

bool XInspector::isViewable(unsigned long window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

bool XInspector::isWithdrawn(unsigned long window) {
    std::vector<unsigned long> state = propertyItems(display_, window, "WM_STATE");
    return !isViewable(window) && (state.empty() || state.front() == WithdrawnState);
}

unsigned long XInspector::transientFor(unsigned long window) {
    Window owner = None;
    return XGetTransientForHint(display_, window, &owner) != 0 ? owner : 0;
}

unsigned long XInspector::userTime(unsigned long window) {
    unsigned long keeper = windowProperty(display_, window, "_NET_WM_USER_TIME_WINDOW");
    return windowProperty(display_, keeper != 0 ? keeper : window, "_NET_WM_USER_TIME");
}

std::vector<std::string> XInspector::atomNames(unsigned long window, const char* property) {
    std::vector<std::string> names;
    for (unsigned long atom : propertyItems(display_, window, property)) {
        if (char* name = XGetAtomName(display_, atom)) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

std::vector<unsigned long> XInspector::numbers(unsigned long window, const char* property) {
    return propertyItems(display_, window, property);
}

void XInspector::watchActivationRequests() {
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

std::vector<XInspector::ActivationRequest> XInspector::activationRequests() {
    Atom activeWindow = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    std::vector<ActivationRequest> requests;
    XSync(display_, False);
    while (XPending(display_) > 0) {
        XEvent event{};
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && event.xclient.message_type == activeWindow) {
            requests.push_back({event.xclient.window, event.xclient.data.l[0],
                                static_cast<unsigned long>(event.xclient.data.l[1])});
        }
    }
    return requests;
}
