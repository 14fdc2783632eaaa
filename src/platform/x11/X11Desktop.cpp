#include "platform/x11/X11Desktop.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <optional>
#include <ranges>
#include <vector>

// Xlib defines macros (Bool, Status, None) that clash with Qt's headers: it comes last, and only
// here.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/x11/X11Tree.h"

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

// Source indication of an activation request that a program makes of its own accord. Window
// managers that prevent focus stealing weigh it against the time the request carries: the last
// time the operator worked with this program.
constexpr long ActivationByApplication = 1;

// How far below the root a window manager keeps a client: frame, container, client.
constexpr int MaxFrameDepth = 3;

// _MOTIF_WM_HINTS is five numbers: flags, functions, decorations, input mode, status. Its
// functions count only with the functions flag; with the "all" bit they list what is forbidden.
constexpr unsigned long MotifHintsLength = 5;
constexpr unsigned long MotifFlagFunctions = 1UL << 0;
constexpr unsigned long MotifFunctionAll = 1UL << 0;
constexpr unsigned long MotifFunctionMinimise = 1UL << 3;

struct Property {
    Atom type = None;
    QByteArray bytes;                  // format 8
    std::vector<unsigned long> items;  // format 32 (Xlib hands these over as longs)
};

WindowHandle toHandle(Window window) {
    // X resource ids use 29 bits, so every window fits a positive 32-bit handle.
    return static_cast<WindowHandle>(window);
}

// X server times are milliseconds that wrap around every 49.7 days: of two times, the later is
// the one less than half the range ahead of the other.
bool isLater(Time time, Time than) {
    return static_cast<int32_t>(static_cast<uint32_t>(time - than)) > 0;
}

// Qt's own windows are X windows only when Qt draws on the X display (the tests' default platform
// is offscreen, whose window ids mean nothing to the X server).
bool qtDrawsOnX() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// This program's top-level windows that Qt has made on the X display.
std::vector<Window> ownTopLevelWindows() {
    std::vector<Window> windows;
    if (!qtDrawsOnX()) {
        return windows;
    }
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->handle() != nullptr) {  // made already: winId() would make it
            windows.push_back(static_cast<Window>(window->winId()));
        }
    }
    return windows;
}

}  // namespace

class X11Desktop::Connection {
public:
    explicit Connection(Display* display)
        : display_(display),
          root_(DefaultRootWindow(display)),
          netSupported_(XInternAtom(display, "_NET_SUPPORTED", False)),
          netSupportingWmCheck_(XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False)),
          netActiveWindow_(XInternAtom(display, "_NET_ACTIVE_WINDOW", False)),
          netWmName_(XInternAtom(display, "_NET_WM_NAME", False)),
          netWmUserTime_(XInternAtom(display, "_NET_WM_USER_TIME", False)),
          netWmUserTimeWindow_(XInternAtom(display, "_NET_WM_USER_TIME_WINDOW", False)),
          wmState_(XInternAtom(display, "WM_STATE", False)),
          motifWmHints_(XInternAtom(display, "_MOTIF_WM_HINTS", False)),
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

    // Every top-level window counts, shown or hidden: the window manager's client list leaves out
    // a window that its program has hidden for a while, which still exists. The window found is
    // remembered and watched: while it lives on under its title where it was, asking again costs
    // no request, so that the watched window's check every few seconds does not walk a tree of
    // some hundred windows (each module process adds its own) one round trip at a time.
    Window findTopLevel(const QString& title) {
        if (remembered_ != None && sameTitle(rememberedTitle_, title) && rememberedStillHolds()) {
            return remembered_;
        }
        forget();
        const Window found = findInTree(root_, title, MaxFrameDepth);
        if (found != None) {
            remember(found, title);
        }
        return found;
    }

    // One request per activation: to the window manager when one runs, else by hand.
    void activate(Window window, const std::vector<Window>& ownWindows) {
        if (windowManagerRuns() && supports(netActiveWindow_)) {
            requestActivation(window, lastUserTime(ownWindows));
        } else {
            raiseAndFocus(window);
        }
        // Round trip, so that any error of these requests arrives now and is dropped.
        XSync(display_, False);
    }

    // Adds the minimise function to the window's Motif hints, leaving its decorations (and so
    // the buttons it asks for) as they are. Without hints, or with hints that do not restrict
    // the functions, everything is allowed already.
    void allowMinimiseFunction(Window window) {
        std::optional<Property> hints = readProperty(window, motifWmHints_);
        if (!hints || hints->items.size() < MotifHintsLength ||
            (hints->items[0] & MotifFlagFunctions) == 0) {
            return;
        }
        std::vector<unsigned long>& items = hints->items;
        if ((items[1] & MotifFunctionAll) != 0) {
            items[1] &= ~MotifFunctionMinimise;  // no longer among the forbidden ones
        } else {
            items[1] |= MotifFunctionMinimise;
        }
        // Xlib takes format-32 data as longs.
        std::vector<long> values(items.begin(), items.begin() + MotifHintsLength);
        XChangeProperty(display_, window, motifWmHints_, motifWmHints_, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(values.data()),
                        static_cast<int>(MotifHintsLength));
        XSync(display_, False);
    }

private:
    // The server reports the window's end, its move to another parent (a window manager taking
    // or releasing it) and any change of its title from now on; the title is read once more
    // after that, so that a change just before is not missed.
    void remember(Window window, const QString& title) {
        XSelectInput(display_, window, StructureNotifyMask | PropertyChangeMask);
        if (!sameTitle(titleOf(window), title)) {
            XSelectInput(display_, window, NoEventMask);
            return;
        }
        remembered_ = window;
        rememberedTitle_ = title;
    }

    void forget() {
        if (remembered_ != None) {
            XSelectInput(display_, remembered_, NoEventMask);
            remembered_ = None;
        }
    }

    // Reads what the server has sent without waiting for more: the remembered window holds as
    // long as none of it says otherwise.
    bool rememberedStillHolds() {
        bool holds = true;
        while (XPending(display_) > 0) {
            XEvent event{};
            XNextEvent(display_, &event);
            if (event.xany.window == remembered_ && changesTheFind(event)) {
                holds = false;
            }
        }
        return holds;
    }

    bool changesTheFind(const XEvent& event) const {
        switch (event.type) {
            case DestroyNotify:
            case ReparentNotify:
                return true;
            case PropertyNotify:
                return event.xproperty.atom == netWmName_ || event.xproperty.atom == XA_WM_NAME;
            default:
                return false;
        }
    }

    bool supports(Atom feature) {
        std::optional<Property> supported = readProperty(root_, netSupported_);
        return supported && std::ranges::find(supported->items, feature) != supported->items.end();
    }

    // Topmost first, as a person sees them. A match is a program's top-level window: a child of
    // the root (shown without a window manager, or hidden, which hands it back to the root), or
    // a client that a window manager keeps in a frame (it marks those with WM_STATE). Frames and
    // their parts may carry titles of their own, so the search goes down through every window
    // that is not the one looked for. Titles match without regard to case, as the watched
    // programs' own platform matches them ("vwwebbrowser" finds "Vwwebbrowser").
    Window findInTree(Window parent, const QString& title, int depth) {
        for (Window child : childrenOf(parent) | std::views::reverse) {
            if (sameTitle(titleOf(child), title) &&
                (parent == root_ || readProperty(child, wmState_))) {
                return child;
            }
            if (depth > 1) {
                if (Window found = findInTree(child, title, depth - 1); found != None) {
                    return found;
                }
            }
        }
        return None;
    }

    static bool sameTitle(const std::optional<QString>& title, const QString& wanted) {
        return title && title->compare(wanted, Qt::CaseInsensitive) == 0;
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

    std::vector<Window> childrenOf(Window window) { return X11Tree::childrenOf(display_, window); }

    // The child of the root that holds the window: the window itself, or its frame.
    Window topLevelOf(Window window) {
        for (Window parent = X11Tree::parentBelowRoot(display_, window); parent != None;
             parent = X11Tree::parentBelowRoot(display_, window)) {
            window = parent;
        }
        return window;
    }

    // The last time the operator worked with one of these windows, as each keeps it for the
    // window manager: _NET_WM_USER_TIME on the window itself or on the helper window that its
    // _NET_WM_USER_TIME_WINDOW names. 0 (the current time) when none keeps one; a time of 0 on a
    // window only means "shown without activation" and does not count.
    Time lastUserTime(const std::vector<Window>& windows) {
        Time latest = CurrentTime;
        for (Window window : windows) {
            Window keeper = window;
            if (std::optional<Property> helper = readProperty(window, netWmUserTimeWindow_);
                helper && !helper->items.empty()) {
                keeper = helper->items.front();
            }
            std::optional<Property> time = readProperty(keeper, netWmUserTime_);
            if (time && !time->items.empty() && time->items.front() != CurrentTime &&
                (latest == CurrentTime || isLater(time->items.front(), latest))) {
                latest = time->items.front();
            }
        }
        return latest;
    }

    // Asks the window manager to raise, focus and, if need be, de-iconify the window.
    void requestActivation(Window window, Time userTime) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = netActiveWindow_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = ActivationByApplication;
        event.xclient.data.l[1] = static_cast<long>(userTime);
        event.xclient.data.l[2] = None;  // the requesting program's active window: not needed
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
    Atom netActiveWindow_;
    Atom netWmName_;
    Atom netWmUserTime_;
    Atom netWmUserTimeWindow_;
    Atom wmState_;
    Atom motifWmHints_;
    Atom utf8String_;
    Window remembered_ = None;
    QString rememberedTitle_;
};

X11Desktop::X11Desktop() {
    if (Display* display = XOpenDisplay(nullptr)) {
        XSetErrorHandler(ignoreXError);
        x_ = std::make_unique<Connection>(display);
    }
}

X11Desktop::~X11Desktop() = default;

WindowHandle X11Desktop::FindWindowA(const QString& title) {
    if (!x_) {
        return 0;
    }
    return toHandle(x_->findTopLevel(title));
}

void X11Desktop::SetForegroundWindow(WindowHandle window) {
    if (x_ && window > 0) {
        x_->activate(static_cast<Window>(window), ownTopLevelWindows());
    }
}

void X11Desktop::SetActiveWindow(WindowHandle window) {
    if (!x_ || window <= 0) {
        return;
    }
    const std::vector<Window> own = ownTopLevelWindows();
    if (std::ranges::find(own, static_cast<Window>(window)) != own.end()) {
        x_->activate(static_cast<Window>(window), own);
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

void X11Desktop::AllowMinimise(QWidget* ownWindow) {
    if (!x_ || ownWindow == nullptr || !qtDrawsOnX()) {
        return;
    }
    // Qt writes the window's Motif hints when it makes the native window, so that comes first.
    x_->allowMinimiseFunction(static_cast<Window>(ownWindow->window()->winId()));
}

}  // namespace kestrix
