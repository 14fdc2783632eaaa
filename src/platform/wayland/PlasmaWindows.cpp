// The window list of KDE Plasma: org_kde_plasma_window_management names every window, the shell
// asks for each one's org_kde_plasma_window, which sends its title and, at the end, unmapped.

#include <algorithm>
#include <map>

#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/ToplevelList.h"

namespace kestrix::wayland {

namespace {

// The highest version whose events this code listens to.
constexpr uint32_t PlasmaSupportedVersion = 16;
// From this version on windows are named by a text (window_with_uuid); before it by a number.
constexpr uint32_t NamedByUuid = 13;
// From this version on a window object is destroyed with a request of its own.
constexpr uint32_t WindowDestructor = 4;

class PlasmaWindows final : public ToplevelList {
public:
    PlasmaWindows(wl_registry* registry, uint32_t name, uint32_t version)
        : manager_(static_cast<org_kde_plasma_window_management*>(
              wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface,
                               std::min(version, PlasmaSupportedVersion)))) {
        org_kde_plasma_window_management_add_listener(manager_, &managerListener, this);
    }

    ~PlasmaWindows() override {
        for (auto& [number, window] : windows_) {
            destroy(window.object);
        }
        org_kde_plasma_window_management_destroy(manager_);
    }

    PlasmaWindows(const PlasmaWindows&) = delete;
    PlasmaWindows& operator=(const PlasmaWindows&) = delete;

    WindowHandle find(const QString& title) const override {
        for (const auto& [number, window] : windows_) {
            if (sameTitle(window.title, title)) {
                return number;
            }
        }
        return 0;
    }

    // Plasma activates a window (raising it, unminimising it) when its active state is set.
    void activate(WindowHandle window, wl_seat*) override {
        if (auto found = windows_.find(window); found != windows_.end()) {
            org_kde_plasma_window_set_state(found->second.object,
                                            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
        }
    }

private:
    struct Window {
        org_kde_plasma_window* object = nullptr;
        QString title;
    };

    static PlasmaWindows& self(void* data) { return *static_cast<PlasmaWindows*>(data); }

    static void destroy(org_kde_plasma_window* object) {
        if (org_kde_plasma_window_get_version(object) >= WindowDestructor) {
            org_kde_plasma_window_destroy(object);
        } else {
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(object));
        }
    }

    void follow(org_kde_plasma_window* object) {
        const WindowHandle number = ++lastNumber_;
        windows_[number].object = object;
        numbers_[object] = number;
        org_kde_plasma_window_add_listener(object, &windowListener, this);
    }

    // Older compositors name a new window by a number only.
    static void windowNumbered(void* data, org_kde_plasma_window_management* manager, uint32_t id) {
        if (org_kde_plasma_window_management_get_version(manager) < NamedByUuid) {
            self(data).follow(org_kde_plasma_window_management_get_window(manager, id));
        }
    }

    static void windowNamed(void* data, org_kde_plasma_window_management* manager, uint32_t,
                            const char* uuid) {
        self(data).follow(org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
    }

    static void titled(void* data, org_kde_plasma_window* object, const char* title) {
        PlasmaWindows& list = self(data);
        if (auto number = list.numbers_.find(object); number != list.numbers_.end()) {
            list.windows_[number->second].title = QString::fromUtf8(title);
        }
    }

    static void unmapped(void* data, org_kde_plasma_window* object) {
        PlasmaWindows& list = self(data);
        if (auto number = list.numbers_.find(object); number != list.numbers_.end()) {
            list.windows_.erase(number->second);
            list.numbers_.erase(number);
        }
        destroy(object);
    }

    static constexpr org_kde_plasma_window_management_listener managerListener{
        .show_desktop_changed = ignoredEvent,
        .window = windowNumbered,
        .stacking_order_changed = ignoredEvent,
        .stacking_order_uuid_changed = ignoredEvent,
        .window_with_uuid = windowNamed,
    };
    static constexpr org_kde_plasma_window_listener windowListener{
        .title_changed = titled,
        .app_id_changed = ignoredEvent,
        .state_changed = ignoredEvent,
        .virtual_desktop_changed = ignoredEvent,
        .themed_icon_name_changed = ignoredEvent,
        .unmapped = unmapped,
        .initial_state = ignoredEvent,
        .parent_window = ignoredEvent,
        .geometry = ignoredEvent,
        .icon_changed = ignoredEvent,
        .pid_changed = ignoredEvent,
        .virtual_desktop_entered = ignoredEvent,
        .virtual_desktop_left = ignoredEvent,
        .application_menu = ignoredEvent,
        .activity_entered = ignoredEvent,
        .activity_left = ignoredEvent,
        .resource_name_changed = ignoredEvent,
    };

    org_kde_plasma_window_management* manager_;
    std::map<WindowHandle, Window> windows_;
    std::map<org_kde_plasma_window*, WindowHandle> numbers_;
    WindowHandle lastNumber_ = 0;
};

}  // namespace

std::unique_ptr<ToplevelList> plasmaWindows(wl_registry* registry, uint32_t name,
                                            uint32_t version) {
    return std::make_unique<PlasmaWindows>(registry, name, version);
}

}  // namespace kestrix::wayland
