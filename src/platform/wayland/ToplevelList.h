#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "platform/Desktop.h"

struct wl_registry;
struct wl_seat;

namespace kestrix::wayland {

// A compositor's list of the toplevel windows of every program, through one protocol. It follows
// the list as the compositor's events arrive (the connection's owner dispatches them): a window
// that closes leaves the list at once.
class ToplevelList {
public:
    virtual ~ToplevelList() = default;
    // The window whose title is this text, in any letter case, or 0. Each window keeps its number
    // from 1 up for as long as it exists; numbers are not used twice.
    virtual WindowHandle find(const QString& title) const = 0;
    // Asks the compositor to bring the window forward and give it the input focus of the seat.
    virtual void activate(WindowHandle window, wl_seat* seat) = 0;
    // Brings the window forward again if the compositor shows a window with one of these titles
    // (the shell's own) soon after: a compositor that focuses every window it shows (sway) would
    // otherwise leave in front a window of the shell that it shows while the request is on its
    // way (the operator window at its first activation). Compositors that keep new windows from
    // taking the focus (Plasma) need nothing.
    virtual void activateAgainAfter(const QStringList& /*ownTitles*/, WindowHandle /*window*/,
                                    wl_seat* /*seat*/) {}
};

// The list of a wlroots compositor (sway, cage, labwc, wayfire): zwlr_foreign_toplevel_manager_v1,
// bound from the registry's global of that name.
std::unique_ptr<ToplevelList> wlrToplevels(wl_registry* registry, uint32_t name, uint32_t version);

// The list of KDE Plasma: org_kde_plasma_window_management, bound from the registry's global of
// that name.
std::unique_ptr<ToplevelList> plasmaWindows(wl_registry* registry, uint32_t name, uint32_t version);

// A listener's function for an event that a list does not follow.
template <typename... Arguments>
void ignoredEvent(void*, Arguments...) {}

// A title as the watched window's title matches it: whole, without regard to letter case (as on
// X11: "vwwebbrowser" finds "Vwwebbrowser").
inline bool sameTitle(const QString& title, const QString& wanted) {
    return title.compare(wanted, Qt::CaseInsensitive) == 0;
}

}  // namespace kestrix::wayland
