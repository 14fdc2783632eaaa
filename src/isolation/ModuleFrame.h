#pragma once

#include <QWidget>

class QLabel;

namespace kestrix {

// A module's place in the operator window when the module runs in a process of its own: a
// native window into which that process puts the module's window, or, once the module has been
// stopped, a plain panel with its ProgID, "stopped", the cause and a "Restart" button. While the
// module runs, the place stands in the window's Tab order for the module's fields.
class ModuleFrame : public QWidget {
    Q_OBJECT
public:
    // The panel's margin in pixels: "Restart" stands this far from its top left corner.
    static constexpr int PanelMargin = 8;

    explicit ModuleFrame(QWidget* parent);

    // Whether this display can show a window of another process inside one of the shell's: on
    // X11 (xcb) alone; elsewhere (offscreen, say) a module's window stays in its own process.
    static bool canEmbed();
    // The native window that takes the module's window, or 0 where the display cannot embed.
    WId embeddingWindow();
    void showModule();
    // The keyboard leaves the module: the operator window takes the input focus back, and its
    // focus goes to the next field after the frame by Tab order (before it, backwards).
    void focusAfter(bool forward);
    // The panel, as high as the module was (or as the panel needs, when that is not known).
    void showStopped(const QString& progId, const QString& cause, int heightPixels);

Q_SIGNALS:
    void RestartClicked();
    // Tab (forward) or Backtab reached the module's place: the module's window takes the keyboard.
    void FocusEntered(bool forward);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QWidget* embedding_;
    QWidget* panel_;
    QLabel* text_;
};

}  // namespace kestrix
