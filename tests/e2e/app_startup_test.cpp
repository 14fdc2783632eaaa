// The installed shell under a real X server with a window manager and the real runtime stand-in:
// start, failed start, the watched window at activation, and the end on the runtime ended event.

#include <gtest/gtest.h>

#include "InstalledLine.h"

namespace kestrix {
namespace {

QString activeWindow(const InstalledLine& line) {
    return line.run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
}

bool isIconified(const InstalledLine& line, const QString& window) {
    return line
        .run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")})
        .contains(QStringLiteral("Iconic"));
}

class StartUp : public InstalledLineTest {
protected:
    bool activationDone() const {
        return line.log().contains(QStringLiteral("S FormActivate En "));
    }
};

TEST_F(StartUp, TheRuntimeStartsAndTheOperatorWindowOpens) {
    line.startShell();
    ASSERT_TRUE(InstalledLine::waitUntil([&] { return activationDone(); })) << "no activation";
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
    ASSERT_TRUE(InstalledLine::waitUntil([&] {
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
    line.startWatchedWindow(QStringLiteral("Vwwebbrowser"));
    QStringList watched;
    ASSERT_TRUE(InstalledLine::waitUntil([&] {
        watched = line.windowsTitled(QStringLiteral("Vwwebbrowser"));
        return !watched.isEmpty();
    }));
    line.startShell();
    ASSERT_TRUE(InstalledLine::waitUntil([&] { return activationDone(); })) << "no activation";
    const QString operatorWindow = line.operatorWindow();
    ASSERT_FALSE(operatorWindow.isEmpty());
    EXPECT_TRUE(
        InstalledLine::waitUntil([&] { return activeWindow(line) == watched.first(); }, 5000));
    EXPECT_TRUE(InstalledLine::waitUntil([&] { return isIconified(line, operatorWindow); }, 5000));
}

}  // namespace
}  // namespace kestrix
