#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "WaitUntil.h"
#include "XServer.h"
#include "platform/QtDialogs.h"
#include "platform/x11/X11Desktop.h"
#include "platform_x11_inspector.h"

namespace kestrix {
namespace {

// A kestrix-watched-window process: the other program's window, which the test can have its
// program hide, show and minimise.
class WatchedWindow {
public:
    explicit WatchedWindow(const QString& title) {
        process_.start(program(), {QStringLiteral("--title"), title, QStringLiteral("--commands")});
    }
    ~WatchedWindow() { close(); }

    bool started() { return process_.waitForStarted(); }

    // "hide", "show" or "minimise"
    void tell(const char* command) {
        process_.write(QByteArray(command) + '\n');
        process_.waitForBytesWritten();
    }

    void close() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished();
        }
    }

    static QString program() {
        return qEnvironmentVariable("KESTRIX_BUILD_DIR") +
               QStringLiteral("/Program/Kestrix/kestrix-watched-window");
    }

private:
    QProcess process_;
};

const QString Watched = QStringLiteral("Vwwebbrowser");

class DesktopOnXServer : public ::testing::TestWithParam<XServer::Mode> {
protected:
    void SetUp() override {
        server_ = std::make_unique<XServer>(mode());
        if (server_->missing()) {
            GTEST_SKIP() << server_->error();
        }
        ASSERT_TRUE(server_->ok()) << server_->error();
        desktop_ = std::make_unique<X11Desktop>();
        inspector_ = std::make_unique<XInspector>();
        // The desktop opens the display that DISPLAY names, as the inspector does.
        ASSERT_TRUE(inspector_->connected());
    }

    void TearDown() override {
        // Everything connected to the server goes before it.
        ownWindow_.reset();
        application_.reset();
        inspector_.reset();
        desktop_.reset();
        server_.reset();
    }

    virtual XServer::Mode mode() const { return GetParam(); }

    // Starts the other program's window and waits until the desktop finds it.
    WindowHandle openWatchedWindow(WatchedWindow& window, const QString& title) {
        EXPECT_TRUE(window.started());
        WindowHandle handle = 0;
        EXPECT_TRUE(waitUntil([&] { return (handle = desktop().FindWindowA(title)) > 0; }))
            << "no window titled " << title.toStdString();
        EXPECT_TRUE(waitUntil([&] { return inspector().isViewable(handle); }));
        return handle;
    }

    // Our own window, on the same server (the tests' default platform is offscreen), made as
    // the operator window is: with a title and a close button only, allowed to minimise.
    QWidget& openOwnWindow() {
        static int argc = 1;
        static char name[] = "platform_x11desktop_test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        ownWindow_ =
            std::make_unique<QWidget>(nullptr, Qt::Window | Qt::CustomizeWindowHint |
                                                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        ownWindow_->setWindowTitle(QStringLiteral("Kestrix"));
        ownWindow_->resize(300, 200);
        desktop().AllowMinimise(ownWindow_.get());
        ownWindow_->show();
        EXPECT_TRUE(waitUntil([&] { return inspector().isViewable(ownWindow_->winId()); }));
        return *ownWindow_;
    }

    void closeOwnWindow() { ownWindow_.reset(); }

    // The operator clicks into the window: Qt records the time for the window manager.
    void clickInto(QWidget& window) {
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--window"),
                           QString::number(window.winId()), QStringLiteral("10"),
                           QStringLiteral("10"), QStringLiteral("click"), QStringLiteral("1")});
        EXPECT_TRUE(waitUntil([&] { return inspector().userTime(window.winId()) != 0; }));
    }

    X11Desktop& desktop() { return *desktop_; }
    XInspector& inspector() { return *inspector_; }

private:
    std::unique_ptr<XServer> server_;
    std::unique_ptr<X11Desktop> desktop_;
    std::unique_ptr<XInspector> inspector_;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<QWidget> ownWindow_;
};

TEST_P(DesktopOnXServer, FindsTheWindowWithThatTitleInAnyCase) {
    WatchedWindow older(Watched + QStringLiteral(" (old)"));
    WatchedWindow watched(Watched);
    WindowHandle olderHandle = openWatchedWindow(older, Watched + QStringLiteral(" (old)"));
    WindowHandle handle = openWatchedWindow(watched, Watched);

    EXPECT_NE(handle, olderHandle);
    EXPECT_EQ(desktop().FindWindowA(QStringLiteral("Vwweb")), 0);
    EXPECT_EQ(desktop().FindWindowA(QStringLiteral("vwwebbrowser")), handle);
    EXPECT_EQ(desktop().FindWindowA(QStringLiteral("VWWEBBROWSER")), handle);
    EXPECT_EQ(desktop().FindWindowA(QStringLiteral("DCWindow")), 0);
}

TEST_P(DesktopOnXServer, FindsAWindowNamedOnlyByLatin1WmName) {
    unsigned long window = inspector().createWindowNamedLatin1(
        "Stempelpr\xfc"
        "fung",
        XInspector::Placement::TopLevel);

    EXPECT_TRUE(waitUntil([&] {
        return desktop().FindWindowA(QStringLiteral("Stempelprüfung")) ==
               static_cast<WindowHandle>(window);
    }));
}

TEST_P(DesktopOnXServer, FindsNothingOnceTheWindowIsClosed) {
    WatchedWindow watched(Watched);
    openWatchedWindow(watched, Watched);

    watched.close();

    EXPECT_TRUE(waitUntil([&] { return desktop().FindWindowA(Watched) == 0; }));
}

TEST_P(DesktopOnXServer, SurvivesVanishedUnmappedAndInvalidWindows) {
    WindowHandle vanished = 0;
    {
        WatchedWindow gone(QStringLiteral("DCWindow"));
        vanished = openWatchedWindow(gone, QStringLiteral("DCWindow"));
    }
    ASSERT_TRUE(waitUntil([&] { return desktop().FindWindowA(QStringLiteral("DCWindow")) == 0; }));
    auto unmapped = static_cast<WindowHandle>(
        inspector().createWindowNamedLatin1("hidden", XInspector::Placement::TopLevelUnmapped));

    for (WindowHandle window : {vanished, unmapped, WindowHandle{0x1fffffff}, WindowHandle{-1}}) {
        desktop().SetForegroundWindow(window);
        desktop().SetActiveWindow(window);
    }

    // Still working afterwards.
    WatchedWindow watched(Watched);
    EXPECT_GT(openWatchedWindow(watched, Watched), 0);
}

std::string modeName(const ::testing::TestParamInfo<XServer::Mode>& info) {
    switch (info.param) {
        case XServer::WithoutWindowManager:
            return "WithoutWindowManager";
        case XServer::WithWindowManager:
            return "WithOpenbox";
        case XServer::WithIcewm:
            return "WithIcewm";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Desktop, DesktopOnXServer,
                         ::testing::Values(XServer::WithoutWindowManager,
                                           XServer::WithWindowManager, XServer::WithIcewm),
                         modeName);

class DesktopWithoutWindowManager : public DesktopOnXServer {
protected:
    XServer::Mode mode() const override { return XServer::WithoutWindowManager; }
};

TEST_F(DesktopWithoutWindowManager, FindsAClientInsideAnUntitledFrame) {
    unsigned long client = inspector().createWindowNamedLatin1(
        "Vwwebbrowser", XInspector::Placement::InsideUntitledFrame);

    EXPECT_EQ(desktop().FindWindowA(Watched), static_cast<WindowHandle>(client));
}

// The window found stays the answer while it exists under that title, even below a newer one of
// the same title; renamed or gone, the tree is searched again.
TEST_F(DesktopWithoutWindowManager, KeepsFindingTheFoundWindowUntilItIsRenamedOrGone) {
    const auto first = static_cast<WindowHandle>(
        inspector().createWindowNamedLatin1("Vwwebbrowser", XInspector::Placement::TopLevel));
    ASSERT_EQ(desktop().FindWindowA(Watched), first);
    const auto second = static_cast<WindowHandle>(
        inspector().createWindowNamedLatin1("Vwwebbrowser", XInspector::Placement::TopLevel));
    EXPECT_EQ(desktop().FindWindowA(Watched), first);

    inspector().rename(first, "Vwwebbrowser (old)");
    EXPECT_TRUE(waitUntil([&] { return desktop().FindWindowA(Watched) == second; }));
    inspector().destroyWindow(second);
    EXPECT_TRUE(waitUntil([&] { return desktop().FindWindowA(Watched) == 0; }));
    inspector().rename(first, "Vwwebbrowser");
    EXPECT_EQ(desktop().FindWindowA(Watched), first);
}

TEST_F(DesktopWithoutWindowManager, BringingForwardRaisesAndFocuses) {
    WatchedWindow lower(Watched);
    WindowHandle handle = openWatchedWindow(lower, Watched);
    WatchedWindow upper(QStringLiteral("DCWindow"));
    WindowHandle upperHandle = openWatchedWindow(upper, QStringLiteral("DCWindow"));
    ASSERT_EQ(inspector().topmostViewableWindow(), static_cast<unsigned long>(upperHandle));

    desktop().SetForegroundWindow(handle);
    desktop().SetActiveWindow(handle);

    EXPECT_EQ(inspector().topmostViewableWindow(), static_cast<unsigned long>(handle));
    EXPECT_EQ(inspector().focusWindow(), static_cast<unsigned long>(handle));
}

TEST_F(DesktopWithoutWindowManager, MinimisingLeavesOwnWindowAsItIs) {
    QWidget& own = openOwnWindow();

    desktop().ShowWindow(&own, SW_SHOWMINNOACTIVE);
    QCoreApplication::processEvents();

    EXPECT_FALSE(own.isMinimized());
    EXPECT_TRUE(inspector().isViewable(own.winId()));
}

// What the window managers must agree on: openbox, and icewm as a second one.
class DesktopWithWindowManager : public DesktopOnXServer {};

INSTANTIATE_TEST_SUITE_P(Desktop, DesktopWithWindowManager,
                         ::testing::Values(XServer::WithWindowManager, XServer::WithIcewm),
                         modeName);

// A program may hide its window for a while (the manager then lets it go) or minimise it: the
// window still exists and is found, with the same handle.
TEST_P(DesktopWithWindowManager, FindsTheWindowWhileItsProgramHidesOrMinimisesIt) {
    WatchedWindow watched(Watched);
    WindowHandle handle = openWatchedWindow(watched, Watched);
    const auto window = static_cast<unsigned long>(handle);

    watched.tell("hide");
    ASSERT_TRUE(waitUntil([&] { return inspector().isWithdrawn(window); }));
    EXPECT_EQ(desktop().FindWindowA(Watched), handle);

    watched.tell("show");
    ASSERT_TRUE(waitUntil([&] { return inspector().isViewable(window); }));
    watched.tell("minimise");
    ASSERT_TRUE(waitUntil([&] { return inspector().isIconic(window); }));
    EXPECT_EQ(desktop().FindWindowA(Watched), handle);
}

TEST_P(DesktopWithWindowManager, BringingForwardActivatesEvenAnIconifiedWindow) {
    WatchedWindow watched(Watched);
    WindowHandle handle = openWatchedWindow(watched, Watched);
    WatchedWindow other(QStringLiteral("DCWindow"));
    WindowHandle otherHandle = openWatchedWindow(other, QStringLiteral("DCWindow"));
    desktop().SetForegroundWindow(otherHandle);
    ASSERT_TRUE(waitUntil(
        [&] { return inspector().activeWindow() == static_cast<unsigned long>(otherHandle); }));
    inspector().iconify(handle);
    ASSERT_TRUE(waitUntil([&] { return inspector().isIconic(handle); }));

    desktop().SetForegroundWindow(handle);
    desktop().SetActiveWindow(handle);

    EXPECT_TRUE(waitUntil(
        [&] { return inspector().activeWindow() == static_cast<unsigned long>(handle); }));
    EXPECT_FALSE(inspector().isIconic(handle));
    EXPECT_EQ(inspector().focusWindow(), static_cast<unsigned long>(handle));
}

// The operator window's activation: the watched window comes forward and is active, our own
// window is minimised behind it without taking the activation back. The activation goes out once,
// as this program's own request with the time the operator last used it, which window managers
// with focus-stealing prevention honour; the own window asks for no minimise button but allows
// the manager to minimise it.
TEST_P(DesktopWithWindowManager, MinimisesOwnWindowBehindTheActivatedWatchedWindow) {
    QWidget& own = openOwnWindow();
    desktop().SetActiveWindow(static_cast<WindowHandle>(own.winId()));
    ASSERT_TRUE(waitUntil([&] { return inspector().activeWindow() == own.winId(); }));
    clickInto(own);
    WatchedWindow watched(Watched);
    WindowHandle handle = openWatchedWindow(watched, Watched);
    inspector().watchActivationRequests();

    desktop().SetForegroundWindow(handle);
    desktop().SetActiveWindow(handle);
    desktop().ShowWindow(&own, SW_SHOWMINNOACTIVE);

    EXPECT_TRUE(waitUntil([&] { return inspector().isIconic(own.winId()); }));
    EXPECT_TRUE(waitUntil(
        [&] { return inspector().activeWindow() == static_cast<unsigned long>(handle); }));
    EXPECT_TRUE(own.isMinimized());

    const std::vector<XInspector::ActivationRequest> requests = inspector().activationRequests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].window, static_cast<unsigned long>(handle));
    EXPECT_EQ(requests[0].source, 1);
    EXPECT_NE(requests[0].time, 0U);
    EXPECT_EQ(requests[0].time, inspector().userTime(own.winId()));

    const std::vector<std::string> allowed =
        inspector().atomNames(own.winId(), "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(std::ranges::find(allowed, "_NET_WM_ACTION_MINIMIZE"), allowed.end());
    const std::vector<unsigned long> hints = inspector().numbers(own.winId(), "_MOTIF_WM_HINTS");
    ASSERT_GE(hints.size(), 3U);
    EXPECT_EQ(hints[1] & 0x08, 0x08U) << "minimise function";
    EXPECT_EQ(hints[2] & 0x60, 0U) << "minimise or maximise button";
}

// Boxes belong to the window that asks, also while it is minimised (as the operator window is,
// behind the watched window, when a plug-in raises an event), and stay on the screen; the asking
// window may even be unloaded while its box is open.
TEST_P(DesktopWithWindowManager, MessageBoxesAreTransientForTheWindowThatAsks) {
    QWidget& own = openOwnWindow();
    const unsigned long ownId = own.winId();
    own.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return inspector().isIconic(ownId); }));

    unsigned long owner = 0;
    bool shown = false;
    QTimer inspect;
    QObject::connect(&inspect, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || !inspector().isViewable(box->winId())) {
            return;  // not on the screen yet
        }
        shown = !inspector().isIconic(box->winId());
        owner = inspector().transientFor(box->winId());
        closeOwnWindow();
        box->close();
    });
    inspect.start(20);
    QtDialogs dialogs;
    dialogs.MsgBox(QStringLiteral("12 Fehler"), MsgBoxStyle::OkOnly);

    EXPECT_EQ(owner, ownId);
    EXPECT_TRUE(shown);
}

TEST(DesktopWithoutDisplay, FindsNothingAndIgnoresRequests) {
    QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    X11Desktop desktop;
    if (!display.isEmpty()) {
        qputenv("DISPLAY", display);
    }

    EXPECT_EQ(desktop.FindWindowA(Watched), 0);
    desktop.SetForegroundWindow(5);
    desktop.SetActiveWindow(5);
    QWidget* noWidget = nullptr;
    desktop.ShowWindow(noWidget, SW_SHOWMINNOACTIVE);
    desktop.AllowMinimise(noWidget);
}

// --help and --version answer on standard output with status 0 where no display is open.
TEST(WatchedWindowProgram, AnswersHelpAndVersionWithoutADisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    for (const auto& [option, expected] : {std::pair{"--help", "--title <TITLE>"},
                                           std::pair{"--version", "kestrix-watched-window 0."}}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(WatchedWindow::program(), {QLatin1String(option)});
        ASSERT_TRUE(process.waitForFinished(10000)) << option;
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(process.exitCode(), 0) << option << ": " << process.readAllStandardError().data();
        EXPECT_TRUE(process.readAllStandardOutput().contains(expected)) << option;
    }
}

}  // namespace
}  // namespace kestrix
