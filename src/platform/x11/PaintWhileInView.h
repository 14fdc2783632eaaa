#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

struct _XDisplay;  // Xlib's Display

namespace kestrix {

// A module's window that nobody can see (scrolled out of the operator window's view) is not
// painted, as the operator window's scroll area spares a module in the shell's own process that
// work. Whether the window is out of view is read from the window tree as it is first shown; after
// that the X server reports each change (fully obscured, seen again). Meanwhile Qt keeps what
// changed, as for a minimised window, and paints the whole window when it is seen again. Without
// an X display it does nothing.
class PaintWhileInView final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit PaintWhileInView(QWidget& window);
    ~PaintWhileInView() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void seen(bool obscured);
    bool outsideItsAncestors() const;

    QPointer<QWidget> window_;
    struct _XDisplay* display_ = nullptr;
    unsigned long id_ = 0;
    bool placed_ = false;  // its place in the view read once
    bool obscured_ = false;
};

}  // namespace kestrix
