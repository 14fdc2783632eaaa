// The operator window on fake seams: its design, and what every activation reads, writes and arms.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QSet>
#include <optional>
#include <string>

#include "AppHarness.h"
#include "hmi/VWSLangSelect.h"
#include "hmi/VWSVarServer.h"
#include "host/Extender.h"

namespace kestrix {
namespace {

using OperatorWindow = AppTest;

TEST_F(OperatorWindow, HasItsDesignedControlsSideBySideInsideTheWindow) {
    app.startOperatorWindow();
    KestrixCentral& w = app.window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrix"));
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    // The window's own picture, linked in and drawn: a pixmap with more than one colour.
    const QImage icon = w.windowIcon().pixmap(32).toImage();
    ASSERT_FALSE(icon.isNull());
    QSet<QRgb> iconColours;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            iconColours.insert(icon.pixel(x, y));
        }
    }
    EXPECT_GT(iconColours.size(), 1);

    auto* pictureRahmen = w.findChild<QWidget*>(QStringLiteral("PictureRahmen"));
    ASSERT_NE(pictureRahmen, nullptr);
    EXPECT_EQ(w.PictureHaupt()->parentWidget(), pictureRahmen);
    EXPECT_EQ(w.PictureHaupt()->palette().color(QPalette::Window), QColor(220, 220, 220));
    EXPECT_EQ(w.StatusLabel()->parentWidget(), pictureRahmen);
    EXPECT_EQ(w.StatusLabel()->text(), QStringLiteral("Status"));
    EXPECT_EQ(w.StatusLabel()->font().family(), QStringLiteral("Lucida Sans Unicode"));
    EXPECT_DOUBLE_EQ(w.StatusLabel()->font().pointSizeF(), 9.75);
    // The plug-in area lies in front of the label.
    const QObjectList& rahmen = pictureRahmen->children();
    EXPECT_GT(rahmen.indexOf(w.PictureHaupt()), rahmen.indexOf(w.StatusLabel()));

    ASSERT_TRUE(w.ScrollBar());
    EXPECT_TRUE(w.ScrollBar()->Visible());

    // Every control lies inside the window (the label and the plug-in area inside the frame), and
    // none covers another.
    EXPECT_TRUE(pictureRahmen->rect().contains(w.StatusLabel()->geometry()));
    EXPECT_TRUE(pictureRahmen->rect().contains(w.PictureHaupt()->geometry()));
    const QList<QWidget*> placed{pictureRahmen, w.ScrollBar()->control(),
                                 w.cmdHide(),   w.cmdEnd(),
                                 w.cmdError(),  w.cmdStopped()};
    for (qsizetype i = 0; i < placed.size(); ++i) {
        const std::string name = placed[i]->objectName().toStdString();
        EXPECT_TRUE(w.rect().contains(placed[i]->geometry())) << name;
        for (qsizetype j = i + 1; j < placed.size(); ++j) {
            EXPECT_FALSE(placed[i]->geometry().intersects(placed[j]->geometry()))
                << name << " and " << placed[j]->objectName().toStdString();
        }
    }

    EXPECT_EQ(w.cmdHide()->text(), QStringLiteral("Hide"));
    EXPECT_EQ(w.cmdEnd()->text(), QStringLiteral("End"));
    EXPECT_EQ(w.cmdError()->text(), QStringLiteral("Log File"));
    EXPECT_EQ(w.cmdError()->palette().color(QPalette::Button), QColor(192, 192, 192));

    // Tab order: cmdHide, cmdEnd, PictureRahmen, ScrollBar, PictureHaupt, cmdError.
    QList<QWidget*> order{w.cmdHide(),      w.cmdEnd(),  pictureRahmen, w.ScrollBar()->control(),
                          w.PictureHaupt(), w.cmdError()};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget* next = order[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus && next != order[i]) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, order[i]) << "after " << order[i - 1]->objectName().toStdString();
    }

    for (const auto& [timer, interval] :
         {std::pair{"TimerErstemal", 1000}, std::pair{"TimerLeben", 1000},
          std::pair{"TimerWebBrowser", 2000}}) {
        auto* found = app.session()->findChild<QTimer*>(QLatin1String(timer));
        ASSERT_NE(found, nullptr) << timer;
        EXPECT_EQ(found->interval(), interval) << timer;
        EXPECT_FALSE(found->isActive()) << timer;
    }
    EXPECT_FALSE(w.VWLanguage()->isVisible());
    EXPECT_FALSE(w.SpracheGeandert()->isVisible());
    EXPECT_EQ(app.runtime.subscriptions,
              QStringList{QStringLiteral("Ch-1.param_client<.sprache>")});
}

// The start window's place from Program.ini, in pixels: towards the upper left of 1024 × 768 at
// 15 twips per pixel (994, 1697 twips); and, on pixels three times as wide as high, 800 × 600
// with the top clamped to 0 and then to the bottom edge (−1740 twips).
struct StartWindowCase {
    float twipsPerPixelY;
    QByteArray programIni;
    QPoint expected;
};

void PrintTo(const StartWindowCase& c, std::ostream* out) {
    *out << c.twipsPerPixelY << " twips per pixel high, " << c.programIni.simplified().constData();
}

class StartWindowPlace : public ::testing::TestWithParam<StartWindowCase> {
protected:
    static void SetUpTestSuite() { ensureApplication(); }
};

TEST_P(StartWindowPlace, ComesFromTheLineDisplaySettingAndTheResolution) {
    AppHarness app;
    app.platform.twips.y = GetParam().twipsPerPixelY;
    app.root.writeProgramIni(GetParam().programIni);
    KestrixStart start(app.platform, app.forms, app.service);
    start.Form_Load();
    EXPECT_EQ(start.pos(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StartWindowPlace,
    ::testing::Values(
        StartWindowCase{15.0f, "[Project]\nWithLineDisplay=TRUE\nResolution=1024\n", {66, 113}},
        StartWindowCase{5.0f, "[Project]\nWithLineDisplay=true\nResolution=800\n", {0, -348}}),
    [](const ::testing::TestParamInfo<StartWindowCase>& info) {
        return std::string(info.index == 0 ? "UpperLeftOf1024" : "TopClampedOnWidePixels");
    });

TEST_F(OperatorWindow, StartResultShowsTheOperatorWindowAndHidesTheStartWindow) {
    app.startOperatorWindow();
    KestrixCentral& central = app.window();
    EXPECT_TRUE(central.isVisible());
    EXPECT_FALSE(app.start->isVisible());
    EXPECT_EQ(app.forms.forms(), (QList<QWidget*>{app.start, &central}));
    EXPECT_TRUE(app.exitCodes.isEmpty());
}

TEST_F(OperatorWindow, FailedStartTellsTheOperatorAndEnds) {
    app.start = new KestrixStart(app.platform, app.forms, app.service);
    app.start->Form_Load();
    app.start->show();
    app.runtime.finishStart(false);
    ASSERT_EQ(app.dialogs.boxes.size(), 1);
    EXPECT_EQ(app.dialogs.boxes[0].prompt, QStringLiteral("Initialisierung fehlgeschlagen!"));
    EXPECT_EQ(app.dialogs.boxes[0].style, MsgBoxStyle::OkOnly | MsgBoxStyle::Critical);
    EXPECT_EQ(app.dialogs.boxes[0].title, QStringLiteral("Kestrix"));
    EXPECT_EQ(app.session(), nullptr);
    EXPECT_TRUE(app.forms.forms().isEmpty());
    EXPECT_EQ(app.exitCodes, QList<int>{1});
}

// TERM while the runtime starts: the runtime is asked to stop, the operator window does not open,
// and the runtime's end ends the program.
TEST_F(OperatorWindow, TermBeforeTheRuntimeHasStartedOpensNoWindow) {
    app.start = new KestrixStart(app.platform, app.forms, app.service);
    app.start->Form_Load();
    app.start->show();
    app.start->EndOnSignal();
    EXPECT_EQ(app.runtime.stopRequests, 1);
    app.runtime.finishStart(true);
    EXPECT_EQ(app.session(), nullptr);
    EXPECT_EQ(app.forms.forms(), QList<QWidget*>{app.start});
    app.runtime.endRuntime();
    EXPECT_EQ(app.exitCodes, QList<int>{0});
}

TEST_F(OperatorWindow, RuntimeEndedEndsTheProgramWhateverIsShown) {
    app.startOperatorWindow();
    app.runtime.endRuntime();
    EXPECT_EQ(app.exitCodes, QList<int>{0});
}

// TERM while "Initialisierung fehlgeschlagen!" is shown ends the program as OK would, at once.
TEST_F(OperatorWindow, TermWhileTheFailedStartIsShownEndsAsOkDoes) {
    app.start = new KestrixStart(app.platform, app.forms, app.service);
    app.start->Form_Load();
    QList<int> endedWhileShown;
    app.dialogs.whileOpen = [&](const FakeDialogs::Box&) {
        app.start->EndOnSignal();
        endedWhileShown = app.exitCodes;
    };
    app.runtime.finishStart(false);
    EXPECT_EQ(endedWhileShown, QList<int>{1});
    EXPECT_EQ(app.exitCodes, QList<int>{1});
    EXPECT_TRUE(app.forms.forms().isEmpty());
}

// A runtime that dies still ends the program at once, but a supervisor can tell it from an
// orderly end, and the operator window's log says why.
TEST_F(OperatorWindow, ARuntimeThatDiesEndsTheProgramWithAStatusOfItsOwnAndALogLine) {
    app.activated();
    app.runtime.dieRuntime(QStringLiteral("the runtime process crashed or was killed"));
    EXPECT_EQ(app.exitCodes, QList<int>{3});
    const QStringList said = app.log().filter(QStringLiteral("runtime ended without being asked"));
    ASSERT_EQ(said.size(), 1) << app.log().join('\n').toStdString();
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("E ")));
    EXPECT_TRUE(said[0].endsWith(QStringLiteral(
        "Fault 440; the HMI runtime ended without being asked, the runtime process crashed or was "
        "killed; VWSStart1; KX.VWSStart1_RuntimeEnded")))
        << said[0].toStdString();
}

// Without Kestrix.ini the log is Kestrix.log beside it and takes neither system nor data lines;
// fault lines it always takes.
TEST_F(OperatorWindow, WithoutKestrixIniOnlyFaultLinesReachTheDefaultLog) {
    app.root.writeProgramIni("[Machine1]\nOCRNumberOfModules=1\n");
    app.testControls.registerProgId("XKX_OCR.OCR", FakeControlFactory::Kind::WithoutInit);
    OperatorSession& session = app.activated();
    for (int tick = 0; tick < 6; ++tick) {
        session.TimerErstemal_Timer();
    }
    session.TimerLeben_Timer();
    const QStringList lines = app.log();
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("E Fault 438; ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("; KX.NeuesObjekt")) << lines[0].toStdString();
}

// Runs the event loop for this long.
void runEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The first showing activates the window once: when the window manager activates it, or, where
// none does, a second after the showing. Coming back to the window from another program is no
// new activation.
class FirstActivation : public AppTest, public ::testing::WithParamInterface<bool> {
protected:
    qsizetype activations() const { return app.desktop.calls.count("find Vwwebbrowser"); }
};

TEST_P(FirstActivation, RunsOnceWithOrWithoutAWindowManagerAndNotOnComingBack) {
    const bool windowManager = GetParam();
    // Without a window manager the operator window never hears that it became active.
    std::optional<EventHook> noWindowManager;
    if (!windowManager) {
        noWindowManager.emplace(qApp, QEvent::WindowActivate, [](QObject* receiver) {
            return qobject_cast<KestrixCentral*>(receiver) != nullptr;
        });
    }
    app.startOperatorWindow();
    AppHarness::processEvents();
    EXPECT_EQ(activations(), windowManager ? 1 : 0);
    runEventsFor(1200);  // past the second the showing waits for the window manager
    EXPECT_EQ(activations(), 1);
    noWindowManager.reset();

    // The operator goes to another program and comes back.
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&app.window(), &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&app.window(), &activate);
    AppHarness::processEvents();
    EXPECT_EQ(activations(), 1);
}

INSTANTIATE_TEST_SUITE_P(Desktops, FirstActivation, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithAWindowManager"
                                                           : "WithoutAWindowManager");
                         });

TEST_F(OperatorWindow, WritesItsProgressLinesWithSystemLogging) {
    app.root.writeKestrixIni("[Project]\nLogFileSystem=true\n");
    app.activated();
    EXPECT_EQ(app.log(),
              (QStringList{"S FormActivate Start ", "S FormActivate 7 ", "S FormActivate 8 ",
                           "S FormActivate 9 ", "S FormActivate 10 ", "S FormActivate 13 ",
                           "S FormActivate En "}));
}

TEST_F(OperatorWindow, ADesktopThatCannotShowTheWatchedWindowSaysWhyInOneLogLine) {
    app.root.writeKestrixIni("[Project]\nLogFileSystem=true\n");
    app.desktop.cannotSeeWindowsBecause = QStringLiteral("the watched window cannot be seen");
    app.activated();
    const QStringList log = app.log();
    EXPECT_EQ(log.filter(QStringLiteral("cannot be seen")),
              QStringList{"S KX.Form_Activate the watched window cannot be seen"});
    EXPECT_EQ(log.indexOf(QStringLiteral("S FormActivate 7 ")) + 1,
              log.indexOf(QStringLiteral("S KX.Form_Activate the watched window cannot be seen")));
    EXPECT_FALSE(app.armed("TimerWebBrowser"));
    EXPECT_TRUE(app.armed("TimerErstemal"));
}

TEST_F(OperatorWindow, VWStudioChoosesTheWatchedWindowTitleAtEveryActivation) {
    OperatorSession& session = app.activated();
    for (const char* value : {"true", "TRUE", "True", "1", "yes", "FALSE"}) {
        app.root.writeProgramIni(QByteArray("[Project]\nVWStudio=") + value + "\n");
        app.desktop.calls.clear();
        session.Form_Activate();
        const bool dcWindow = QByteArray(value).toUpper() == "TRUE";
        EXPECT_EQ(app.desktop.calls.value(0), dcWindow ? "find DCWindow" : "find Vwwebbrowser")
            << value;
    }
}

TEST_F(OperatorWindow, AWatchedWindowComesToTheFrontAndTheWindowMinimisesBehindIt) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    app.activated();
    EXPECT_EQ(app.desktop.calls,
              (QStringList{"find Vwwebbrowser", "foreground 1", "active 1", "minimise"}));
    EXPECT_EQ(app.desktop.minimisedWindow, &app.window());
    EXPECT_TRUE(app.armed("TimerWebBrowser"));
    EXPECT_TRUE(app.armed("TimerLeben"));
    EXPECT_TRUE(app.armed("TimerErstemal"));
}

TEST_F(OperatorWindow, WithoutAWatchedWindowTheWatcherStaysOffAndHideDoesNothing) {
    app.desktop.openWindow(QStringLiteral("DCWindow"));  // not the title asked for
    OperatorSession& session = app.activated();
    EXPECT_EQ(app.desktop.calls, QStringList{"find Vwwebbrowser"});
    EXPECT_FALSE(app.armed("TimerWebBrowser"));
    EXPECT_TRUE(app.armed("TimerLeben"));
    EXPECT_TRUE(app.armed("TimerErstemal"));
    // Hide does nothing at all, not even let pending events run.
    bool eventRan = false;
    atNextYield([&] { eventRan = true; });
    session.cmdHide_Click();
    EXPECT_EQ(app.desktop.calls, QStringList{"find Vwwebbrowser"});
    EXPECT_FALSE(eventRan);
    AppHarness::processEvents();
    EXPECT_TRUE(eventRan);
}

TEST_F(OperatorWindow, AProgramDirectoryTooHighUpFaultsAndTurnsTheLogButtonRed) {
    app.platform.programDirectory = QStringLiteral("/Kestrix");
    testing::internal::CaptureStderr();
    app.activated();
    const std::string said = testing::internal::GetCapturedStderr();
    // The start window found no root either and says why it is centred.
    EXPECT_NE(said.find("kestrix: the start window is centred on the screen: the program folder "
                        "/Kestrix lies too close to the root"),
              std::string::npos)
        << said;
    // The root stays what the first cut left; the fault line itself cannot be written yet.
    EXPECT_EQ(app.window().cmdError()->palette().color(QPalette::Button), QColor(255, 0, 0));
    // Drawn solid red, beside its caption, as a plain button with that background.
    const QImage button = app.window().cmdError()->grab().toImage();
    EXPECT_EQ(button.pixelColor(5, button.height() / 2), QColor(255, 0, 0));
    EXPECT_TRUE(app.armed("TimerErstemal"));
}

}  // namespace
}  // namespace kestrix
