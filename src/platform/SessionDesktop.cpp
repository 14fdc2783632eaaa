#include "platform/SessionDesktop.h"

#include <QGuiApplication>

namespace kestrix {

SessionDesktop::SessionDesktop() = default;

WindowHandle SessionDesktop::FindWindowA(const QString& title) {
    if (WindowHandle window = x11_.FindWindowA(title); window != 0) {
        return window;
    }
    if (WindowHandle window = wayland_.FindWindowA(title); window != 0) {
        return window | WaylandWindow;
    }
    return 0;
}

void SessionDesktop::SetForegroundWindow(WindowHandle window) {
    if (window & WaylandWindow) {
        wayland_.SetForegroundWindow(window & ~WaylandWindow);
    } else {
        x11_.SetForegroundWindow(window);
    }
}

void SessionDesktop::SetActiveWindow(WindowHandle window) {
    if (window & WaylandWindow) {
        wayland_.SetActiveWindow(window & ~WaylandWindow);
    } else {
        x11_.SetActiveWindow(window);
    }
}

void SessionDesktop::ShowWindow(QWidget* ownWindow, int showCommand) {
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        wayland_.ShowWindow(ownWindow, showCommand);
    } else {
        x11_.ShowWindow(ownWindow, showCommand);
    }
}

void SessionDesktop::AllowMinimise(QWidget* ownWindow) {
    x11_.AllowMinimise(ownWindow);
}

QString SessionDesktop::whyWindowsCannotBeSeen() const {
    if (!wayland_.connected() || wayland_.windowList() != WaylandDesktop::WindowList::None) {
        return {};
    }
    return QStringLiteral(
               "the watched window cannot be seen on this desktop: the Wayland compositor lists "
               "no windows (neither %1 nor %2)%3; the operator window does not end when that "
               "window closes, \"End\" still ends it")
        .arg(QLatin1String(WaylandDesktop::protocolName(WaylandDesktop::WindowList::Wlroots)),
             QLatin1String(WaylandDesktop::protocolName(WaylandDesktop::WindowList::Plasma)),
             x11_.connected() ? QStringLiteral(", unless it runs through XWayland") : QString());
}

QString SessionDesktop::description() const {
    QStringList parts;
    if (x11_.connected()) {
        parts.append(QStringLiteral("X11 (%1)").arg(qEnvironmentVariable("DISPLAY")));
    }
    if (wayland_.connected()) {
        const WaylandDesktop::WindowList list = wayland_.windowList();
        parts.append(
            QStringLiteral("Wayland (%1) ").arg(qEnvironmentVariable("WAYLAND_DISPLAY")) +
            (list == WaylandDesktop::WindowList::None
                 ? QStringLiteral("listing no windows")
                 : QStringLiteral("through ") + QLatin1String(WaylandDesktop::protocolName(list))));
    }
    return parts.isEmpty() ? QStringLiteral("none (no X display, no Wayland compositor)")
                           : parts.join(QStringLiteral("; "));
}

}  // namespace kestrix
