// A line on a Wayland desktop: headless sway, the other program's window a native Wayland client,
// the shell drawn through XWayland with its modules in processes of their own.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "InstalledLine.h"
#include "WaylandCompositor.h"

namespace kestrix {
namespace {

TEST(WaylandLine, FindsTheNativeWatchedWindowBringsItForwardAndEndsWhenItCloses) {
    WaylandCompositor sway;
    if (!sway.ok()) {
        GTEST_SKIP() << sway.error();
    }
    InstalledLine line;
    line.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n");
    line.root.writeProgramIni(
        "[Project]\nNumberOfMachines=1\n"
        "[Machine1]\nMachineName=Cartoner 1\nHotMeltTankNumberOfTanks=3\n");
    // As a Wayland session sets it: both displays, Qt's platform left to the shell.
    line.environment.insert(QStringLiteral("WAYLAND_DISPLAY"), sway.waylandDisplay());
    if (sway.xDisplay().isEmpty()) {
        line.environment.remove(QStringLiteral("DISPLAY"));
    } else {
        line.environment.insert(QStringLiteral("DISPLAY"), sway.xDisplay());
    }
    line.environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    line.environment.remove(QStringLiteral("QT_QPA_PLATFORM"));

    // The other program's window, on Wayland only, its title in another letter case.
    QProcessEnvironment nativeWayland = line.environment;
    nativeWayland.remove(QStringLiteral("DISPLAY"));
    nativeWayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    line.watched.setProcessEnvironment(nativeWayland);
    line.watched.start(line.program("kestrix-watched-window"),
                       {QStringLiteral("--title"), QStringLiteral("VWWEBBROWSER")});
    ASSERT_TRUE(waitUntil([&] { return sway.focusedTitle() == QLatin1String("VWWEBBROWSER"); }))
        << "the watched window did not appear";

    line.startShell();
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S FormActivate En ")));
    // Found: the watcher ticks, and the watched window was brought forward over the operator
    // window, which sway had focused when it appeared.
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S KX.TimerWebBrowser_Timer En ")));
    EXPECT_EQ(sway.focusedTitle(), QStringLiteral("VWWEBBROWSER"));
    EXPECT_TRUE(line.log().filter(QStringLiteral("cannot be seen")).isEmpty());

    // The modules: with XWayland each in a process of its own (spares beside them), embedded in
    // the operator window; without it, in the shell's own process.
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S KX.TimerErstemal_Timer En ")));
    if (sway.xDisplay().isEmpty()) {
        EXPECT_EQ(line.moduleProcesses(), 0);
    } else {
        EXPECT_GE(line.moduleProcesses(), 2);
    }
    EXPECT_TRUE(line.log().filter(QStringLiteral("Fault")).isEmpty())
        << line.log().join('\n').toStdString();

    // The watched window closes: the watcher's next tick ends the line.
    line.watched.terminate();
    ASSERT_TRUE(line.watched.waitForFinished(5000));
    QElapsedTimer sinceClosed;
    sinceClosed.start();
    ASSERT_TRUE(line.shell.waitForFinished(15000));
    std::printf("the shell ended %lld ms after the watched window closed\n",
                static_cast<long long>(sinceClosed.elapsed()));
    EXPECT_EQ(line.shell.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(line.shell.exitCode(), 0);
    EXPECT_TRUE(line.logHas(QStringLiteral("D KX.InternEndProgram An ")));
}

}  // namespace
}  // namespace kestrix
