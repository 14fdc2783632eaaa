#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kestrix {

// The keyboard between the operator window and the module windows embedded in it, which belong
// to other processes and so to other X clients. X gives the keys to the window that has the input
// focus, which the window manager sets to the operator window only (platform/x11/X11InputFocus
// moves it):
//   - a click into a module's window that gives one of its fields the keyboard (clickGivesFocus)
//     gives that window the input focus, in the module host, so the field can be typed into
//     wherever the pointer then goes; a click on the module's background leaves the keyboard
//     where it was;
//   - a click into the operator window takes the input focus back (ReclaimOnClick, in the shell);
//   - Tab from a module's last field (Backtab from its first) leaves the module (leavesControl in
//     the module host; the shell's frame then takes the input focus back and moves the focus on,
//     see ModuleFrame::focusAfter);
//   - Tab onto a module's place in the operator window (Backtab) enters the module at its first
//     (last) field (ControlKeyboard in the module host, asked by the shell's frame);
//   - a key that reaches a module's window while the input focus is elsewhere (X gives it to the
//     window under the pointer) is the shell's: the module host passes it on;
//   - the input focus that the window manager gives back to the operator window itself (on a click
//     into a module's background, as a box closes) goes on to the module whose place holds the
//     window's focus (ModuleFrame, in the shell).
// These are the rules of a control in the operator window's own process, kept across the two.
namespace KeyboardFocus {

// Whether Tab can give the field the focus: it takes the focus by Tab, is shown in its window and
// is enabled.
bool takesTabFocus(const QWidget& field);

// Whether a click on the widget gives it, or the first of its parents in its window that takes the
// focus by a click, the keyboard: the widget's own area gives it to none that does not.
bool clickGivesFocus(const QWidget& widget);

// Whether the key moves the focus out of the control: Tab on its last field that takes the focus
// by Tab, Backtab on its first. Forward is set to the direction.
bool leavesControl(QWidget& control, int key, Qt::KeyboardModifiers modifiers, bool& forward);

// Tab (or Backtab) entering and leaving a control of a window that becomes active only once the X
// server has given it the input focus, and inactive only a while after the focus has gone (the
// module host's). As in the operator window, the field that Tab enters takes the keyboard for
// Tab's reason (a line edit selects its text), and the field that Tab leaves loses it for Tab's
// reason (a line edit drops its selection) at once.
class ControlKeyboard final : public QObject {
public:
    // Watches the window's activation.
    explicit ControlKeyboard(QWidget& window);

    // Gives the keyboard to the control's first field that takes the focus by Tab (its last, when
    // not forward): at once in an active window, else as the window becomes active (Qt would give
    // it the keyboard then for the window's reason, not Tab's). False when the control has no
    // such field.
    bool enter(QWidget& control, bool forward);
    // The keyboard leaves the control by Tab (Backtab): its field loses it, and the window keeps it
    // for none of its fields.
    void leave(bool forward);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    QPointer<QWidget> entering_;  // waits for the window's activation
    Qt::FocusReason reason_ = Qt::TabFocusReason;
};

// In the shell: a click into one of its own windows gives that window the input focus back when a
// module's window had it.
class ReclaimOnClick final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace KeyboardFocus
}  // namespace kestrix
