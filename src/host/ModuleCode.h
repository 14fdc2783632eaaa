#pragma once

#include <QObject>

namespace kestrix {

// Whose code runs now on the window's thread, so that a fault escaping a module's own code names
// the module: the object an event is being delivered to, or the control the host calls into.
// Qt's own single-shot objects (QTimer::singleShot with a time and a context) belong to no
// module's object tree: Qt makes each a child of the thread's event dispatcher. Each is taken
// for a part of the object whose code ran when it was made: the module that started the timer.
class ModuleCode {
public:
    // Marks the part's code as running while it lives; nests.
    class Running {
    public:
        explicit Running(const QObject* part);
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        const QObject* outer_;
    };

    // A child was added to the parent (an event of Qt's): a child of the window thread's event
    // dispatcher is one of Qt's single-shot objects, made by the code that runs now.
    static void childAdded(const QObject* parent, QObject* child);
    // Where to look for the module of the receiver's code: the receiver itself, or for one of
    // Qt's single-shot objects, the part whose code made it (null when that part is gone).
    static const QObject* partOf(const QObject* receiver);
};

}  // namespace kestrix
