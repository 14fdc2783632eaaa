// The window list of wlroots compositors: zwlr_foreign_toplevel_manager_v1 announces every
// toplevel, each handle then sends its title and, at the end, closed.

#include <QDeadlineTimer>
#include <algorithm>
#include <map>
#include <utility>

#include "platform/wayland/ToplevelList.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kestrix::wayland {

namespace {

// The highest version whose events this code listens to.
constexpr uint32_t WlrSupportedVersion = 3;

class WlrToplevels final : public ToplevelList {
public:
    WlrToplevels(wl_registry* registry, uint32_t name, uint32_t version)
        : manager_(static_cast<zwlr_foreign_toplevel_manager_v1*>(
              wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                               std::min(version, WlrSupportedVersion)))) {
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &managerListener, this);
    }

    ~WlrToplevels() override {
        for (auto& [number, toplevel] : toplevels_) {
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
        }
        if (manager_ != nullptr) {
            zwlr_foreign_toplevel_manager_v1_stop(manager_);
            // The compositor answers stop with finished and destroys its side; ours goes now.
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager_));
        }
    }

    WlrToplevels(const WlrToplevels&) = delete;
    WlrToplevels& operator=(const WlrToplevels&) = delete;

    WindowHandle find(const QString& title) const override {
        for (const auto& [number, toplevel] : toplevels_) {
            if (sameTitle(toplevel.title, title)) {
                return number;
            }
        }
        return 0;
    }

    void activate(WindowHandle window, wl_seat* seat) override {
        if (auto found = toplevels_.find(window); found != toplevels_.end() && seat != nullptr) {
            zwlr_foreign_toplevel_handle_v1_activate(found->second.handle, seat);
        }
    }

    void activateAgainAfter(const QStringList& ownTitles, WindowHandle window,
                            wl_seat* seat) override {
        again_ = {ownTitles, window, seat, lastNumber_, QDeadlineTimer(AgainWithinMs)};
    }

private:
    // How long after a request a newly shown window of the shell can still have taken the focus
    // from it: far longer than a compositor takes to show a window, far shorter than the time
    // before the shell shows anything else.
    static constexpr int AgainWithinMs = 3000;

    // The window to bring forward again when a window with one of these titles is shown (one
    // announced after the last one known at the request).
    struct ActivationAgain {
        QStringList afterTitles;
        WindowHandle window = 0;
        wl_seat* seat = nullptr;
        WindowHandle lastKnown = 0;
        QDeadlineTimer deadline;
    };

    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        QString title;
    };

    static WlrToplevels& self(void* data) { return *static_cast<WlrToplevels*>(data); }

    static void announced(void* data, zwlr_foreign_toplevel_manager_v1*,
                          zwlr_foreign_toplevel_handle_v1* handle) {
        WlrToplevels& list = self(data);
        const WindowHandle number = ++list.lastNumber_;
        list.toplevels_[number].handle = handle;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, &list);
        list.numbers_[handle] = number;
    }

    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
        self(data).manager_ = nullptr;
    }

    // The title counts as soon as it arrives: a title on its own needs none of the other details
    // that done would complete.
    static void titled(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* title) {
        WlrToplevels& list = self(data);
        if (auto number = list.numbers_.find(handle); number != list.numbers_.end()) {
            list.toplevels_[number->second].title = QString::fromUtf8(title);
        }
    }

    // A window's details are complete: the compositor has shown it, and focused it if it will.
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        WlrToplevels& list = self(data);
        auto number = list.numbers_.find(handle);
        if (list.again_.window == 0 || number == list.numbers_.end() ||
            number->second <= list.again_.lastKnown) {
            return;
        }
        const ActivationAgain again = std::exchange(list.again_, {});
        const QString& title = list.toplevels_[number->second].title;
        const bool ownWindow = std::ranges::any_of(
            again.afterTitles, [&](const QString& own) { return sameTitle(title, own); });
        if (ownWindow && !again.deadline.hasExpired()) {
            list.activate(again.window, again.seat);
        }
    }

    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        WlrToplevels& list = self(data);
        if (auto number = list.numbers_.find(handle); number != list.numbers_.end()) {
            list.toplevels_.erase(number->second);
            list.numbers_.erase(number);
        }
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }

    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener{
        .toplevel = announced,
        .finished = finished,
    };
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener{
        .title = titled,
        .app_id = ignoredEvent,
        .output_enter = ignoredEvent,
        .output_leave = ignoredEvent,
        .state = ignoredEvent,
        .done = done,
        .closed = closed,
        .parent = ignoredEvent,
    };

    zwlr_foreign_toplevel_manager_v1* manager_;
    std::map<WindowHandle, Toplevel> toplevels_;
    std::map<zwlr_foreign_toplevel_handle_v1*, WindowHandle> numbers_;
    WindowHandle lastNumber_ = 0;
    ActivationAgain again_;
};

}  // namespace

std::unique_ptr<ToplevelList> wlrToplevels(wl_registry* registry, uint32_t name, uint32_t version) {
    return std::make_unique<WlrToplevels>(registry, name, version);
}

}  // namespace kestrix::wayland
