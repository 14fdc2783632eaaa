#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace kestrix::X11Tree {

// The window that holds this one below the root: None when the root holds it, or when it is gone.
inline Window parentBelowRoot(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return None;
    }
    if (children != nullptr) {
        XFree(children);
    }
    return parent == root ? None : parent;
}

// The windows this one holds, the lowest first; none when it is gone.
inline std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return {};
    }
    std::vector<Window> result(children, children + count);
    if (children != nullptr) {
        XFree(children);
    }
    return result;
}

}  // namespace kestrix::X11Tree
