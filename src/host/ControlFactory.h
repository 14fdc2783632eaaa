#pragma once

#include <QString>

class QWidget;

namespace kestrix {

class Extender;

// The ProgID of the operator window's scroll bar, the one control of the window that is no module.
inline constexpr char ScrollBarProgId[] = "HolvigScrollBar.ScrollBar";

// The window's control collection operation "Add": creates a control of a registered ProgID inside
// the container under the given name and returns its extender (owned by the control, which the
// container owns). Faults with 429 when the ProgID is unknown or the control cannot be created.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    virtual Extender* Add(const QString& progId, const QString& name, QWidget* container) = 0;
    // The same for a plug-in module of the operator window; a factory may run modules apart from
    // the shell's own controls (in processes of their own).
    virtual Extender* AddModule(const QString& progId, const QString& name, QWidget* container) {
        return Add(progId, name, container);
    }
    // The operator window is about to create its modules: a factory may get ready for them.
    virtual void prepareModules() {}
    // The start of the modules is over (they are created and laid out): what a factory got ready
    // for them and was not used may go, and what later creations (restarts) need may get ready.
    virtual void modulesStarted() {}
    // The end of the modules has begun: a module call that waits for its answer (a creation
    // among them) returns without it, so that the procedure that made it can finish, and events
    // of modules in processes of their own are no longer shown.
    virtual void endModules() {}
    // Every module has been terminated and let go of: a factory whose modules the window does not
    // destroy with itself (those in processes of their own) destroys their controls now.
    virtual void destroyModules() {}
    // Whether a control of this ProgID can be asked for (the registry knows it).
    virtual bool isRegistered(const QString& progId) const = 0;
};

}  // namespace kestrix
