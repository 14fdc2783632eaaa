#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "host/RunningProcedures.h"

namespace kestrix {

// The program's list of loaded windows, in the order they were loaded, and the count of the
// windows' running procedures. Unloading a window hides it at once; the window, and the object
// that owns it and its state, are destroyed only when no procedure of any window is running, so
// a window may be unloaded from anywhere, inside a yield or a modal box of its own included.
class LoadedForms : public QObject {
    Q_OBJECT
public:
    LoadedForms();
    // Destroys the windows still loaded or waiting to be destroyed.
    ~LoadedForms() override;

    // Loads a window. Unloading it destroys its owner, which destroys the window; without an
    // owner the window is destroyed itself.
    void load(QWidget* form, QObject* owner = nullptr);
    void unload(QWidget* form);
    // The loaded windows in load order.
    QList<QWidget*> forms() const;

    // Records that this window became the program's active window; true when the program's
    // active window was another one before (a window's activation handler runs only then, not
    // when the operator comes back from another program).
    bool becameActive(QWidget* form);

    // Every entry point of a window counts here while it runs.
    RunningProcedures& procedures() { return procedures_; }

private:
    struct Loaded {
        QPointer<QWidget> form;
        QPointer<QObject> owner;
    };

    // Destroys the unloaded windows' owners once no procedure is running: checked again when the
    // destruction is due, since a procedure may have begun in between.
    void destroyUnloadedWhenIdle();

    QList<Loaded> forms_;
    QList<QPointer<QObject>> unloaded_;
    QPointer<QWidget> activeForm_;
    RunningProcedures procedures_;
};

}  // namespace kestrix
