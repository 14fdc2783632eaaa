#pragma once

#include <QString>
#include <QWidget>

#include "platform/x11/X11InputFocus.h"

class QLabel;

namespace kestrix {

struct LocalDateTime;

// A module's place in the operator window when the module runs in a process of its own: a
// native window into which that process puts the module's window, or, once the module has been
// stopped, the stopped panel. The panel stands for the module's place on the line: an alarm strip
// with the unit and machine as the module's own header named them, when it stopped and that
// "Restart" starts it again, and the technical cause smaller beneath. While the module runs, the
// place stands in the window's Tab order for the module's fields.
class ModuleFrame : public QWidget {
    Q_OBJECT
public:
    // The panel's margin in pixels below its alarm strip: "Restart" stands this far below the
    // strip and from the panel's left side.
    static constexpr int PanelMargin = 8;
    // The alarm strip's height in pixels, as high as a module's identity strip.
    static constexpr int StripHeight = 24;

    explicit ModuleFrame(QWidget* parent);

    // Whether this display can show a window of another process inside one of the shell's: on
    // X11 (xcb) alone; elsewhere (offscreen, say) a module's window stays in its own process.
    static bool canEmbed();
    // The native window that takes the module's window, or 0 where the display cannot embed.
    WId embeddingWindow();
    void showModule();
    // The keyboard leaves the module: the operator window's focus goes to the next field after the
    // frame by Tab order (before it, backwards), and the operator window takes the input focus
    // back unless that field is another module's place (whose module takes it).
    void focusAfter(bool forward);
    // The module's window did not take a turn of the mouse wheel: the operator window gets it as
    // if it had been turned over the module's place, as a module in the shell's process passes it
    // on to its parents.
    void passWheel(QPoint angleDelta);
    // The unit, machine number and machine name the shell handed the module in its Init: what the
    // module's header shows, and what the panel shows once the module has stopped.
    void setIdentity(int unit, int machine, const QString& machineName);
    // The panel, as high as the module was (or as the panel needs, when that is not known).
    void showStopped(const QString& progId, const QString& cause, const LocalDateTime& at,
                     int heightPixels);

Q_SIGNALS:
    void restartClicked();
    // Tab (forward) or Backtab reached the module's place: the module's window takes the keyboard.
    void focusEntered(bool forward);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QWidget* buildPanel();
    // The input focus came to the operator window itself (the window manager gives it there on a
    // click into a module's background or as a box closes): where the frame holds the window's
    // focus, the module's window takes the input focus again, as a field of the window keeps the
    // keyboard.
    void focusArrived(WId window);

    QWidget* embedding_;
    QWidget* panel_ = nullptr;
    QLabel* unit_ = nullptr;
    QLabel* machine_ = nullptr;
    QLabel* when_ = nullptr;
    QLabel* cause_ = nullptr;
    int identityUnit_ = 0;
    int identityMachine_ = 0;
    QString identityMachineName_;
    X11InputFocus::Arrivals arrivals_{[this](WId window) { focusArrived(window); }};
};

}  // namespace kestrix
