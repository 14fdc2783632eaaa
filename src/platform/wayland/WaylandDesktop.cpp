#include "platform/wayland/WaylandDesktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>
#include <cstring>

#include <poll.h>
#include <wayland-client.h>

#include "platform/wayland/ToplevelList.h"

namespace kestrix {

namespace {

constexpr const char* WlrManagerInterface = "zwlr_foreign_toplevel_manager_v1";
constexpr const char* PlasmaManagerInterface = "org_kde_plasma_window_management";

}  // namespace

class WaylandDesktop::Connection {
public:
    // Takes the display; lists its windows through the first protocol it offers.
    explicit Connection(wl_display* display)
        : display_(display), registry_(wl_display_get_registry(display)) {
        wl_registry_add_listener(registry_, &registryListener, &globals_);
        wl_display_roundtrip(display_);
        if (globals_.wlrName != 0) {
            list_ = wayland::wlrToplevels(registry_, globals_.wlrName, globals_.wlrVersion);
            kind_ = WindowList::Wlroots;
        } else if (globals_.plasmaName != 0) {
            list_ = wayland::plasmaWindows(registry_, globals_.plasmaName, globals_.plasmaVersion);
            kind_ = WindowList::Plasma;
        }
        if (list_ != nullptr && globals_.seatName != 0) {
            // Version 1 is all that activation needs.
            seat_ = static_cast<wl_seat*>(
                wl_registry_bind(registry_, globals_.seatName, &wl_seat_interface, 1));
        }
        // The windows open now: announced after the bind, their titles after that (Plasma's
        // after the shell asked for each window).
        wl_display_roundtrip(display_);
        wl_display_roundtrip(display_);
        followWhileTheEventLoopRuns();
    }

    ~Connection() {
        notifier_.reset();
        list_.reset();
        if (seat_ != nullptr) {
            wl_seat_destroy(seat_);
        }
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    WindowList kind() const { return kind_; }

    WindowHandle find(const QString& title) {
        readWaitingEvents();
        return usable() ? list_->find(title) : 0;
    }

    // Brings the window forward, and again if one of the shell's own windows, shown now, comes
    // up and takes the focus from it.
    void activate(WindowHandle window) {
        if (!usable()) {
            return;
        }
        readWaitingEvents();
        list_->activate(window, seat_);
        QStringList ownTitles;
        for (const QWindow* own : QGuiApplication::topLevelWindows()) {
            if (own->isVisible() && !own->title().isEmpty()) {
                ownTitles.append(own->title());
            }
        }
        list_->activateAgainAfter(ownTitles, window, seat_);
        wl_display_flush(display_);
    }

private:
    // Registry globals are looked at once: the window list and the seat exist from the
    // compositor's start.
    struct Globals {
        uint32_t wlrName = 0;
        uint32_t wlrVersion = 0;
        uint32_t plasmaName = 0;
        uint32_t plasmaVersion = 0;
        uint32_t seatName = 0;
    };

    static void globalAnnounced(void* data, wl_registry*, uint32_t name, const char* interface,
                                uint32_t version) {
        auto& globals = *static_cast<Globals*>(data);
        if (std::strcmp(interface, WlrManagerInterface) == 0) {
            globals.wlrName = name;
            globals.wlrVersion = version;
        } else if (std::strcmp(interface, PlasmaManagerInterface) == 0) {
            globals.plasmaName = name;
            globals.plasmaVersion = version;
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals.seatName == 0) {
            globals.seatName = name;
        }
    }

    static void globalRemoved(void*, wl_registry*, uint32_t) {}

    static constexpr wl_registry_listener registryListener{globalAnnounced, globalRemoved};

    // A broken connection (the compositor has gone) shows no windows.
    bool usable() const { return list_ != nullptr && wl_display_get_error(display_) == 0; }

    // Reads what the compositor has sent, without waiting, and handles it.
    void readWaitingEvents() {
        if (wl_display_get_error(display_) != 0) {
            return;
        }
        while (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0) {
                return;
            }
        }
        wl_display_flush(display_);
        pollfd readable{wl_display_get_fd(display_), POLLIN, 0};
        if (poll(&readable, 1, 0) > 0) {
            wl_display_read_events(display_);
        } else {
            wl_display_cancel_read(display_);
        }
        wl_display_dispatch_pending(display_);
        // Requests made while handling the events (a second activation) go out now.
        wl_display_flush(display_);
        if (wl_display_get_error(display_) != 0 && notifier_ != nullptr) {
            notifier_->setEnabled(false);
        }
    }

    // Without an event loop (kestrix-check) the connection is only looked at once.
    void followWhileTheEventLoopRuns() {
        if (list_ == nullptr || QCoreApplication::instance() == nullptr) {
            return;
        }
        notifier_ =
            std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [this] { readWaitingEvents(); });
    }

    wl_display* display_;
    wl_registry* registry_;
    Globals globals_;
    wl_seat* seat_ = nullptr;
    std::unique_ptr<wayland::ToplevelList> list_;
    WindowList kind_ = WindowList::None;
    std::unique_ptr<QSocketNotifier> notifier_;
};

WaylandDesktop::WaylandDesktop() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return;  // libwayland would try "wayland-0" on its own
    }
    if (wl_display* display = wl_display_connect(nullptr)) {
        wayland_ = std::make_unique<Connection>(display);
    }
}

WaylandDesktop::~WaylandDesktop() = default;

bool WaylandDesktop::connected() const {
    return wayland_ != nullptr;
}

WaylandDesktop::WindowList WaylandDesktop::windowList() const {
    return wayland_ ? wayland_->kind() : WindowList::None;
}

const char* WaylandDesktop::protocolName(WindowList list) {
    switch (list) {
        case WindowList::Wlroots:
            return WlrManagerInterface;
        case WindowList::Plasma:
            return PlasmaManagerInterface;
        case WindowList::None:
            break;
    }
    return "";
}

WindowHandle WaylandDesktop::FindWindowA(const QString& title) {
    return wayland_ ? wayland_->find(title) : 0;
}

void WaylandDesktop::SetForegroundWindow(WindowHandle window) {
    if (wayland_ && window > 0) {
        wayland_->activate(window);
    }
}

void WaylandDesktop::SetActiveWindow(WindowHandle) {}

void WaylandDesktop::ShowWindow(QWidget* ownWindow, int showCommand) {
    if (ownWindow != nullptr && showCommand == SW_SHOWMINNOACTIVE &&
        QGuiApplication::platformName() == QLatin1String("wayland")) {
        ownWindow->window()->showMinimized();
    }
}

void WaylandDesktop::AllowMinimise(QWidget*) {}

}  // namespace kestrix
