#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace kestrix {

// The program's list of loaded windows, in the order they were loaded. Unloading a window hides
// it and deletes it once control is back in the event loop, so a window may unload itself from
// inside one of its own handlers.
class LoadedForms {
public:
    void load(QWidget* form);
    void unload(QWidget* form);
    // The loaded windows in load order (windows deleted meanwhile are left out).
    QList<QWidget*> forms() const;
    bool isEmpty() const { return forms().isEmpty(); }

    // Records that this window became the program's active window; true when the program's
    // active window was another one before (a window's activation handler runs only then, not
    // when the operator comes back from another program).
    bool becameActive(QWidget* form);

private:
    QList<QPointer<QWidget>> forms_;
    QPointer<QWidget> activeForm_;
};

}  // namespace kestrix
