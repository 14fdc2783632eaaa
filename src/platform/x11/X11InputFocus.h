#pragma once

#include <QAbstractNativeEventFilter>
#include <QWindow>
#include <functional>

class QKeyEvent;

namespace kestrix {

// The X input focus, asked and set through Qt's own connection to the display, so that these
// requests keep their order with Qt's. Without an X display (offscreen, say) each does nothing.
//
// The X server does not give every key to the window that holds the input focus: when the
// pointer is over a window within that one, the key goes to the window under the pointer. So a
// window of another process embedded in the shell's (a module's) receives the keys typed while
// the pointer rests on it, though the shell holds the input focus.
namespace X11InputFocus {

// Gives the input focus to the window.
void give(WId window);

// Gives the input focus to the window that another process put into this container window (its
// only child window); nothing when it holds none.
void giveToEmbedded(WId container);

// Whether the input focus is known to be on another window than this one; false without an X
// display.
bool isElsewhere(WId window);

// Sends a key that reached one of this process's windows on to a window of another process, as
// the X server would have reported it there. False when it could not be sent.
bool passKey(const QKeyEvent& key, WId to);

// Tells of each time the input focus comes to one of this process's windows itself, not to a
// window within it, while it exists: the window's id. Without an X display it tells of nothing.
class Arrivals final : public QAbstractNativeEventFilter {
public:
    explicit Arrivals(std::function<void(WId)> arrived);
    ~Arrivals() override;
    Arrivals(const Arrivals&) = delete;
    Arrivals& operator=(const Arrivals&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void(WId)> arrived_;
};

}  // namespace X11InputFocus
}  // namespace kestrix
