// The installed shell under a real X server with a window manager and the real runtime stand-in:
// start, failed start, the watched window at activation, and the end on the runtime ended event;
// activation and "Hide" under a second window manager too.

#include <gtest/gtest.h>

#include "InstalledLine.h"

namespace kestrix {
namespace {

class StartUp : public InstalledLineTest {
protected:
    explicit StartUp(XServer::Mode mode = XServer::WithWindowManager)
        : InstalledLineTest("[Project]\nNumberOfMachines=1\n", mode) {}

    bool activationDone() const {
        return line.log().contains(QStringLiteral("S FormActivate En "));
    }

    struct Windows {
        QString watched;
        QString operatorWindow;
    };

    // Starts the other program's window, then the shell, whose activation brings the watched
    // window to the front and minimises the operator window behind it.
    Windows startBehindTheWatchedWindow() {
        Windows windows{line.openWatchedWindow(QStringLiteral("Vwwebbrowser")), {}};
        EXPECT_FALSE(windows.watched.isEmpty());
        line.startShell();
        EXPECT_TRUE(waitUntil([&] { return activationDone(); })) << "no activation";
        windows.operatorWindow = line.operatorWindow();
        EXPECT_FALSE(windows.operatorWindow.isEmpty());
        EXPECT_TRUE(waitUntil([&] { return line.activeWindow() == windows.watched; }, 5000));
        EXPECT_TRUE(waitUntil([&] { return line.isIconic(windows.operatorWindow); }, 5000));
        return windows;
    }
};

TEST_F(StartUp, TheRuntimeStartsAndTheOperatorWindowOpens) {
    line.startShell();
    ASSERT_TRUE(waitUntil([&] { return activationDone(); })) << "no activation";
    EXPECT_EQ(line.journal().value(0), QStringLiteral("started"));
    EXPECT_FALSE(line.operatorWindow().isEmpty());

    // The runtime ending from outside ends the shell.
    line.run(line.hmi(), {QStringLiteral("stop")});
    ASSERT_TRUE(line.shell.waitForFinished(10000));
    EXPECT_EQ(line.shell.exitCode(), 0);
    EXPECT_TRUE(line.journal().contains(QStringLiteral("ended")));
}

TEST_F(StartUp, AFailedStartIsReportedAndEndsTheProgram) {
    line.environment.insert(QStringLiteral("KESTRIX_HMI_COMMAND"),
                            line.hmi() + QStringLiteral(" --fail-start"));
    line.startShell();
    QString box;
    ASSERT_TRUE(waitUntil([&] {
        box = line.messageBox();
        return !box.isEmpty();
    })) << "no message box";
    // The operator answers the box; then no window is left and the program ends.
    line.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                         box, QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(line.shell.waitForFinished(10000));
    EXPECT_NE(line.shell.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(line.root.defaultLog()));  // the operator window never existed
}

TEST_F(StartUp, AWatchedWindowComesToTheFrontAndTheOperatorWindowMinimises) {
    startBehindTheWatchedWindow();
}

// icewm obeys the functions that a window's Motif hints allow: the operator window, which asks
// for no minimise button, must still allow the minimise function to go behind the watched window.
class StartUpUnderIcewm : public StartUp {
protected:
    StartUpUnderIcewm() : StartUp(XServer::WithIcewm) {}
};

TEST_F(StartUpUnderIcewm, TheOperatorWindowMinimisesBehindTheWatchedWindowAndHideBringsItBack) {
    const auto [watched, operatorWindow] = startBehindTheWatchedWindow();
    ASSERT_FALSE(operatorWindow.isEmpty());
    EXPECT_TRUE(line.run(QStringLiteral("xprop"), {QStringLiteral("-id"), operatorWindow,
                                                   QStringLiteral("_NET_WM_ALLOWED_ACTIONS")})
                    .contains(QStringLiteral("_NET_WM_ACTION_MINIMIZE")));

    // The operator brings the window back and clicks "Hide" (45, 7995 twips: pixel 3, 533).
    line.clickAt(operatorWindow, 40, 545);
    EXPECT_TRUE(waitUntil([&] { return line.activeWindow() == watched; }, 5000));

    // "End" asks in a box of the operator window's own (45, 8475 twips: pixel 3, 565).
    line.clickAt(operatorWindow, 40, 580);
    QString box;
    ASSERT_TRUE(waitUntil([&] { return !(box = line.messageBox()).isEmpty(); }));
    EXPECT_EQ(line.run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}), box);
    EXPECT_TRUE(
        line.run(QStringLiteral("xprop"),
                 {QStringLiteral("-id"), box, QStringLiteral("WM_TRANSIENT_FOR")})
            .contains(QStringLiteral("0x") + QString::number(operatorWindow.toULong(), 16)));
}

}  // namespace
}  // namespace kestrix
