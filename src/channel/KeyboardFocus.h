#pragma once

#include <QObject>
#include <QWidget>

namespace kestrix {

// The keyboard between the operator window and the module windows embedded in it, which belong
// to other processes and so to other X clients. X gives the keys to the window that has the input
// focus, which the window manager sets to the operator window only:
//   - a click into a module's window gives that window the input focus (takeFocus, in the module
//     host), so the module's line edit can be typed into wherever the pointer then goes;
//   - a click into the operator window takes the input focus back (ReclaimOnClick, in the shell);
//   - Tab from a module's last field (Backtab from its first) leaves the module (leavesControl in
//     the module host; the shell's frame then moves the focus on, see ModuleFrame::focusAfter);
//   - Tab onto a module's place in the operator window (Backtab) enters the module at its first
//     (last) field (enterControl in the module host, asked by the shell's frame).
namespace KeyboardFocus {

// Gives the input focus to the X window of this native window; nothing without an X display.
void takeFocus(QWidget& window);

// Whether Tab can give the field the focus: it takes the focus by Tab, is shown in its window and
// is enabled.
bool takesTabFocus(const QWidget& field);

// Whether the key moves the focus out of the control: Tab on its last field that takes the focus
// by Tab, Backtab on its first. Forward is set to the direction.
bool leavesControl(QWidget& control, int key, Qt::KeyboardModifiers modifiers, bool& forward);

// Gives the keyboard to the control's first field that takes the focus by Tab (its last, when not
// forward), in this native window; false when the control has no such field.
bool enterControl(QWidget& window, QWidget& control, bool forward);

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
