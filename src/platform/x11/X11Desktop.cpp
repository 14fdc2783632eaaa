#include "platform/x11/X11Desktop.h"

#include <QByteArray>
#include <QWidget>
#include <optional>
#include <ranges>
#include <vector>

// Xlib defines macros (Bool, Status, None) that clash with Qt's headers: it comes last, and only
// here.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kestrix {

namespace {

// Xlib's default handler ends the process on any error. Errors are expected here: another
// program's window can be destroyed at any moment, and focusing an unmapped window is refused.
// Such a request simply has no effect.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// Longest property read, in 32-bit units: far more than any title or client list.
constexpr long MaxPropertyLength = 1L << 16;

// Source indication of an activation request that acts for the operator (as a pager or task bar
// does): window managers obey it without their focus-stealing prevention.
constexpr long ActivationByOperator = 2;

struct Property {
    Atom type = None;
    QByteArray bytes;                  // format 8
    std::vector<unsigned long> items;  // format 32 (Xlib hands these over as longs)
};

WindowHandle toHandle(Window window) {
    // X resource ids use 29 bits, so every window fits a positive 32-bit handle.
    return static_cast<WindowHandle>(window);
}

}  // namespace

class X11Desktop::Connection {
public:
    explicit Connection(Display* display)
        : display_(display),
          root_(DefaultRootWindow(display)),
          netSupported_(XInternAtom(display, "_NET_SUPPORTED", False)),
          netSupportingWmCheck_(XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False)),
          netClientList_(XInternAtom(display, "_NET_CLIENT_LIST", False)),
          netActiveWindow_(XInternAtom(display, "_NET_ACTIVE_WINDOW", False)),
          netWmName_(XInternAtom(display, "_NET_WM_NAME", False)),
          utf8String_(XInternAtom(display, "UTF8_STRING", False)) {}

    ~Connection() { XCloseDisplay(display_); }

    // An EWMH window manager names a check window on the root, and that window names itself;
    // a manager that has gone leaves a stale root property behind, which this tells apart.
    bool windowManagerRuns() {
        std::optional<Property> check = readProperty(root_, netSupportingWmCheck_);
        if (!check || check->items.empty()) {
            return false;
        }
        Window checkWindow = check->items.front();
        std::optional<Property> self = readProperty(checkWindow, netSupportingWmCheck_);
        return self && !self->items.empty() && self->items.front() == checkWindow;
    }

    // The window manager's own list when it keeps one, else the window tree.
    Window findTopLevel(const QString& title) {
        if (std::optional<std::vector<unsigned long>> clients = managedClients()) {
            for (Window client : *clients) {
                if (titleOf(client) == title) {
                    return client;
                }
            }
            return None;
        }
        return findInTree(title);
    }

    void activate(Window window) {
        if (windowManagerRuns() && supports(netActiveWindow_)) {
            requestActivation(window);
        } else {
            raiseAndFocus(window);
        }
        // Round trip, so that any error of these requests arrives now and is dropped.
        XSync(display_, False);
    }

private:
    std::optional<std::vector<unsigned long>> managedClients() {
        if (!windowManagerRuns()) {
            return std::nullopt;
        }
        std::optional<Property> list = readProperty(root_, netClientList_);
        if (!list || list->type != XA_WINDOW) {
            return std::nullopt;
        }
        return list->items;
    }

    bool supports(Atom feature) {
        std::optional<Property> supported = readProperty(root_, netSupported_);
        return supported && std::ranges::find(supported->items, feature) != supported->items.end();
    }

    // Topmost first, as a person sees them. A reparenting window manager without EWMH puts an
    // untitled frame between the root and each client, so the search looks one level below
    // untitled windows too.
    Window findInTree(const QString& title) {
        for (Window child : childrenOf(root_) | std::views::reverse) {
            std::optional<QString> childTitle = titleOf(child);
            if (childTitle) {
                if (*childTitle == title) {
                    return child;
                }
                continue;
            }
            for (Window grandchild : childrenOf(child) | std::views::reverse) {
                if (titleOf(grandchild) == title) {
                    return grandchild;
                }
            }
        }
        return None;
    }

    // The modern UTF-8 title, else the classic WM_NAME (which some programs set alone).
    std::optional<QString> titleOf(Window window) {
        std::optional<Property> netName = readProperty(window, netWmName_);
        if (netName && netName->type == utf8String_) {
            return QString::fromUtf8(netName->bytes);
        }
        XTextProperty name{};
        if (XGetWMName(display_, window, &name) == 0 || name.value == nullptr) {
            return std::nullopt;
        }
        QString title = decodeText(name);
        XFree(name.value);
        return title;
    }

    QString decodeText(XTextProperty& text) {
        QByteArray bytes(reinterpret_cast<const char*>(text.value), static_cast<int>(text.nitems));
        if (text.encoding == XA_STRING) {
            return QString::fromLatin1(bytes);
        }
        if (text.encoding == utf8String_) {
            return QString::fromUtf8(bytes);
        }
        // COMPOUND_TEXT and the like: let Xlib convert.
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display_, &text, &list, &count) < Success || count < 1) {
            return QString::fromLatin1(bytes);
        }
        QString title = QString::fromUtf8(list[0]);
        XFreeStringList(list);
        return title;
    }

    // The property's value, or nothing when the window has no such property or is gone.
    std::optional<Property> readProperty(Window window, Atom name) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        int status = XGetWindowProperty(display_, window, name, 0, MaxPropertyLength, False,
                                        AnyPropertyType, &type, &format, &count, &remaining, &data);
        if (status != Success || type == None || data == nullptr) {
            if (data != nullptr) {
                XFree(data);
            }
            return std::nullopt;
        }
        Property property;
        property.type = type;
        if (format == 8) {
            property.bytes =
                QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(count));
        } else if (format == 32) {
            const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
            property.items.assign(items, items + count);
        }
        XFree(data);
        return property;
    }

    std::vector<Window> childrenOf(Window window) {
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) {
            return {};
        }
        std::vector<Window> result(children, children + count);
        if (children != nullptr) {
            XFree(children);
        }
        return result;
    }

    // The child of the root that holds the window: the window itself, or its frame.
    Window topLevelOf(Window window) {
        for (;;) {
            Window root = None;
            Window parent = None;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) {
                return window;
            }
            if (children != nullptr) {
                XFree(children);
            }
            if (parent == root || parent == None) {
                return window;
            }
            window = parent;
        }
    }

    // Asks the window manager to raise, focus and, if need be, de-iconify the window.
    void requestActivation(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = netActiveWindow_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = ActivationByOperator;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    }

    // Without a window manager: raise it to the top of the stack and give it the input focus,
    // which only a visible window can take.
    void raiseAndFocus(Window window) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_, window, &attributes) == 0) {
            return;  // gone
        }
        XRaiseWindow(display_, topLevelOf(window));
        if (attributes.map_state == IsViewable) {
            XSetInputFocus(display_, window, RevertToParent, CurrentTime);
        }
    }

    Display* display_;
    Window root_;
    Atom netSupported_;
    Atom netSupportingWmCheck_;
    Atom netClientList_;
    Atom netActiveWindow_;
    Atom netWmName_;
    Atom utf8String_;
};

X11Desktop::X11Desktop() {
    if (Display* display = XOpenDisplay(nullptr)) {
        XSetErrorHandler(ignoreXError);
        x_ = std::make_unique<Connection>(display);
    }
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::hasDisplay() const {
    return x_ != nullptr;
}

WindowHandle X11Desktop::FindWindowA(const QString& title) {
    if (!x_) {
        return 0;
    }
    return toHandle(x_->findTopLevel(title));
}

void X11Desktop::SetForegroundWindow(WindowHandle window) {
    if (x_ && window > 0) {
        x_->activate(static_cast<Window>(window));
    }
}

void X11Desktop::SetActiveWindow(WindowHandle window) {
    if (x_ && window > 0) {
        x_->activate(static_cast<Window>(window));
    }
}

void X11Desktop::ShowWindow(QWidget* ownWindow, int showCommand) {
    if (!x_ || ownWindow == nullptr || showCommand != SW_SHOWMINNOACTIVE) {
        return;
    }
    // Without a window manager nothing answers an iconify request and there is no place to show
    // an icon: the window stays as it is.
    if (!x_->windowManagerRuns()) {
        return;
    }
    // Qt asks the manager to iconify the window (which activates nothing) and keeps the widget's
    // own window state in step with it.
    ownWindow->window()->showMinimized();
}

}  // namespace kestrix
