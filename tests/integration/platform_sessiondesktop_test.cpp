// The session's desktop on Wayland compositors: headless sway, whose window list (wlroots' foreign
// toplevels) shows native Wayland windows, and a compositor that lists none, as GNOME offers
// ordinary programs.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <thread>

#include <wayland-server-core.h>

#include "ScopedVariable.h"
#include "WaitUntil.h"
#include "WaylandCompositor.h"
#include "platform/SessionDesktop.h"

namespace kestrix {
namespace {

// A native Wayland window of another program (kestrix-watched-window on Qt's Wayland platform).
class NativeWindow {
public:
    NativeWindow(const QString& waylandDisplay, const QString& title) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.remove(QStringLiteral("DISPLAY"));
        process_.setProcessEnvironment(environment);
        process_.start(qEnvironmentVariable("KESTRIX_BUILD_DIR") +
                           QStringLiteral("/Program/Kestrix/kestrix-watched-window"),
                       {QStringLiteral("--title"), title});
    }
    ~NativeWindow() { close(); }

    void close() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished();
        }
    }

private:
    QProcess process_;
};

TEST(SessionDesktopOnSway, FindsNativeWindowsByWholeTitleInAnyCaseUntilTheyClose) {
    WaylandCompositor sway;
    if (!sway.ok()) {
        GTEST_SKIP() << sway.error();
    }
    ScopedVariable wayland("WAYLAND_DISPLAY", sway.waylandDisplay().toLocal8Bit());
    ScopedVariable noX("DISPLAY", QByteArray());
    SessionDesktop desktop;
    EXPECT_EQ(desktop.description(), QStringLiteral("Wayland (%1) through "
                                                    "zwlr_foreign_toplevel_manager_v1")
                                         .arg(sway.waylandDisplay()));
    EXPECT_EQ(desktop.whyWindowsCannotBeSeen(), QString());

    NativeWindow older(sway.waylandDisplay(), QStringLiteral("Vwwebbrowser (old)"));
    NativeWindow watched(sway.waylandDisplay(), QStringLiteral("Vwwebbrowser"));
    WindowHandle handle = 0;
    WindowHandle olderHandle = 0;
    ASSERT_TRUE(waitUntil([&] {
        handle = desktop.FindWindowA(QStringLiteral("vwwebbrowser"));
        olderHandle = desktop.FindWindowA(QStringLiteral("VWWEBBROWSER (OLD)"));
        return handle > 0 && olderHandle > 0;
    }));
    EXPECT_NE(handle, olderHandle);
    EXPECT_EQ(desktop.FindWindowA(QStringLiteral("Vwweb")), 0);

    // Brought forward: sway focuses the older window, then the watched one again.
    desktop.SetForegroundWindow(olderHandle);
    desktop.SetActiveWindow(olderHandle);
    EXPECT_TRUE(waitUntil([&] { return sway.focusedTitle() == "Vwwebbrowser (old)"; }));
    desktop.SetForegroundWindow(handle);
    EXPECT_TRUE(waitUntil([&] { return sway.focusedTitle() == "Vwwebbrowser"; }));

    // Closed: gone from the next search, with no event loop running; the other one stays.
    watched.close();
    EXPECT_TRUE(
        waitUntil([&] { return desktop.FindWindowA(QStringLiteral("Vwwebbrowser")) == 0; }));
    EXPECT_EQ(desktop.FindWindowA(QStringLiteral("Vwwebbrowser (old)")), olderHandle);
}

// A compositor with no globals at all: no window list, no seat.
class BareCompositor {
public:
    BareCompositor() : runtime_("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit()) {
        display_ = wl_display_create();
        if (const char* name = wl_display_add_socket_auto(display_)) {
            socket_ = runtimeDir_.filePath(QString::fromLocal8Bit(name));
        }
        loop_ = std::thread([this] { wl_display_run(display_); });
    }
    ~BareCompositor() {
        wl_display_terminate(display_);
        loop_.join();
        wl_display_destroy(display_);
    }
    BareCompositor(const BareCompositor&) = delete;
    BareCompositor& operator=(const BareCompositor&) = delete;

    QString socket() const { return socket_; }

private:
    QTemporaryDir runtimeDir_;
    ScopedVariable runtime_;
    wl_display* display_;
    QString socket_;
    std::thread loop_;
};

TEST(SessionDesktopOnBareCompositor, SaysTheWatchedWindowCannotBeSeen) {
    BareCompositor compositor;
    ASSERT_FALSE(compositor.socket().isEmpty());
    ScopedVariable wayland("WAYLAND_DISPLAY", compositor.socket().toLocal8Bit());
    ScopedVariable noX("DISPLAY", QByteArray());
    SessionDesktop desktop;
    EXPECT_EQ(desktop.description(),
              QStringLiteral("Wayland (%1) listing no windows").arg(compositor.socket()));
    EXPECT_EQ(
        desktop.whyWindowsCannotBeSeen(),
        QStringLiteral("the watched window cannot be seen on this desktop: the Wayland "
                       "compositor lists no windows (neither zwlr_foreign_toplevel_manager_v1 "
                       "nor org_kde_plasma_window_management); the operator window does not "
                       "end when that window closes, \"End\" still ends it"));
    EXPECT_EQ(desktop.FindWindowA(QStringLiteral("Vwwebbrowser")), 0);
}

}  // namespace
}  // namespace kestrix
