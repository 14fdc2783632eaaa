#pragma once

#include <QApplication>

namespace kestrix {

// The program's application object. A fault that escapes code the event loop runs, a module's
// own timer or button say, reaches no handler of the program's own: it is caught where the event
// was dispatched, written as a fault line of the operator window (on stderr while there is
// none), and the program goes on with the next event.
class KestrixApplication : public QApplication {
    Q_OBJECT
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;
};

// Reports the fault being handled, from inside a catch block, as escaped from the event for this
// receiver. Another thread's fault is reported on the window's thread.
void reportEscapedFault(const QObject* receiver) noexcept;

}  // namespace kestrix
