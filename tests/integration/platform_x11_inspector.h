#pragma once

#include <string>
#include <vector>

// What the desktop tests look at and set up on the X display, through a connection of their own.
// Window ids are X ids (unsigned long, as Xlib has them); 0 is none.
class XInspector {
public:
    enum class Placement {
        TopLevel,             // a child of the root
        InsideUntitledFrame,  // a child of an untitled child of the root, marked with WM_STATE
                              // as a reparenting window manager leaves a client
        TopLevelUnmapped,     // created but never shown
    };

    // A _NET_ACTIVE_WINDOW message as the window manager receives it.
    struct ActivationRequest {
        unsigned long window;
        long source;  // 1 application, 2 pager
        unsigned long time;
    };

    XInspector();
    ~XInspector();
    XInspector(const XInspector&) = delete;
    XInspector& operator=(const XInspector&) = delete;

    bool connected() const { return display_ != nullptr; }

    // A window that names itself only with WM_NAME (Latin-1), as old X programs do.
    unsigned long createWindowNamedLatin1(const char* latin1Title, Placement placement);
    void rename(unsigned long window, const char* latin1Title);  // its WM_NAME
    void destroyWindow(unsigned long window);
    void iconify(unsigned long window);

    unsigned long activeWindow();           // the window manager's _NET_ACTIVE_WINDOW
    unsigned long focusWindow();            // the X input focus
    unsigned long topmostViewableWindow();  // the top of the root's stacking order
    bool isIconic(unsigned long window);
    bool isViewable(unsigned long window);
    // Unmapped and no longer managed: its program has hidden it.
    bool isWithdrawn(unsigned long window);
    unsigned long transientFor(unsigned long window);  // WM_TRANSIENT_FOR, 0 when none
    // _NET_WM_USER_TIME, on the window or on the helper window it names; 0 when none.
    unsigned long userTime(unsigned long window);
    // The names of the atoms in a property that lists atoms (_NET_WM_ALLOWED_ACTIONS, ...).
    std::vector<std::string> atomNames(unsigned long window, const char* property);
    // The numbers of a property of 32-bit items (_MOTIF_WM_HINTS, ...).
    std::vector<unsigned long> numbers(unsigned long window, const char* property);

    // From now on, _NET_ACTIVE_WINDOW messages to the root are collected as the window manager
    // sees them; activationRequests() hands over those collected so far.
    void watchActivationRequests();
    std::vector<ActivationRequest> activationRequests();

private:
    struct _XDisplay* display_ = nullptr;
};
