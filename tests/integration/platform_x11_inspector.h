#pragma once

// What the desktop tests look at and set up on the X display, through a connection of their own.
// Window ids are X ids (unsigned long, as Xlib has them); 0 is none.
class XInspector {
public:
    enum class Placement {
        TopLevel,             // a child of the root
        InsideUntitledFrame,  // a child of an untitled child of the root, as a reparenting
                              // window manager leaves a client
        TopLevelUnmapped,     // created but never shown
    };

    XInspector();
    ~XInspector();
    XInspector(const XInspector&) = delete;
    XInspector& operator=(const XInspector&) = delete;

    bool connected() const { return display_ != nullptr; }

    // A window that names itself only with WM_NAME (Latin-1), as old X programs do.
    unsigned long createWindowNamedLatin1(const char* latin1Title, Placement placement);
    void destroyWindow(unsigned long window);
    void iconify(unsigned long window);

    unsigned long activeWindow();           // the window manager's _NET_ACTIVE_WINDOW
    unsigned long focusWindow();            // the X input focus
    unsigned long topmostViewableWindow();  // the top of the root's stacking order
    bool isIconic(unsigned long window);
    bool isViewable(unsigned long window);

private:
    struct _XDisplay* display_ = nullptr;
};
