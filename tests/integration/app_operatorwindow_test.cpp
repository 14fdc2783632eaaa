// The operator window on fake seams: its design, and what every activation reads, writes and arms.

#include <gtest/gtest.h>

#include <QApplication>

#include "AppHarness.h"
#include "TestApplication.h"
#include "hmi/VWSLangSelect.h"
#include "hmi/VWSVarServer.h"
#include "host/Extender.h"

namespace kestrix {
namespace {

class OperatorWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    // Starts the program up to the operator window's first activation.
    KestrixCentral& activated() {
        KestrixCentral& central = app.startOperatorWindow();
        AppHarness::processEvents();
        return central;
    }

    QStringList log() const { return TempRoot::logTexts(app.root.defaultLog()); }

    AppHarness app;
};

TEST_F(OperatorWindow, HasItsDesignedControlsInPixelsAtFifteenTwips) {
    KestrixCentral& w = app.startOperatorWindow();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrix"));
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w.windowIcon().isNull());

    EXPECT_EQ(w.PictureRahmen->geometry(), QRect(3, 3, 753, 526));
    EXPECT_EQ(w.PictureHaupt->parentWidget(), w.PictureRahmen);
    EXPECT_EQ(w.PictureHaupt->geometry(), QRect(0, 0, 749, 2));
    EXPECT_EQ(w.PictureHaupt->palette().color(QPalette::Window), QColor(220, 220, 220));
    EXPECT_EQ(w.StatusLabel->parentWidget(), w.PictureRahmen);
    EXPECT_EQ(w.StatusLabel->geometry(), QRect(10, 10, 268, 24));
    EXPECT_EQ(w.StatusLabel->text(), QStringLiteral("Status"));
    EXPECT_EQ(w.StatusLabel->font().family(), QStringLiteral("Lucida Sans Unicode"));
    EXPECT_DOUBLE_EQ(w.StatusLabel->font().pointSizeF(), 9.75);
    // The plug-in area lies in front of the label.
    const QObjectList& rahmen = w.PictureRahmen->children();
    EXPECT_GT(rahmen.indexOf(w.PictureHaupt), rahmen.indexOf(w.StatusLabel));

    ASSERT_TRUE(w.ScrollBar);
    EXPECT_EQ(w.ScrollBar->control()->geometry(), QRect(759, 3, 38, 526));
    EXPECT_TRUE(w.ScrollBar->Visible());

    EXPECT_EQ(w.cmdHide->geometry(), QRect(3, 533, 73, 29));
    EXPECT_EQ(w.cmdEnd->geometry(), QRect(3, 565, 73, 29));
    EXPECT_EQ(w.cmdError->geometry(), QRect(683, 533, 73, 29));
    EXPECT_EQ(w.cmdHide->text(), QStringLiteral("Hide"));
    EXPECT_EQ(w.cmdEnd->text(), QStringLiteral("End"));
    EXPECT_EQ(w.cmdError->text(), QStringLiteral("Log File"));
    EXPECT_EQ(w.cmdError->palette().color(QPalette::Button), QColor(192, 192, 192));

    // Tab order: cmdHide, cmdEnd, PictureRahmen, ScrollBar, PictureHaupt, cmdError.
    QList<QWidget*> order{w.cmdHide,      w.cmdEnd,  w.PictureRahmen, w.ScrollBar->control(),
                          w.PictureHaupt, w.cmdError};
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget* next = order[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus && next != order[i]) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, order[i]) << "after " << order[i - 1]->objectName().toStdString();
    }

    EXPECT_EQ(w.TimerErstemal.interval(), 1000);
    EXPECT_EQ(w.TimerLeben.interval(), 1000);
    EXPECT_EQ(w.TimerWebBrowser.interval(), 2000);
    EXPECT_FALSE(w.TimerErstemal.isActive());
    EXPECT_FALSE(w.TimerLeben.isActive());
    EXPECT_FALSE(w.TimerWebBrowser.isActive());
    EXPECT_FALSE(w.VWLanguage->isVisible());
    EXPECT_FALSE(w.SpracheGeandert->isVisible());
    EXPECT_EQ(app.runtime.subscriptions,
              QStringList{QStringLiteral("Ch-1.param_client<.sprache>")});
}

TEST_F(OperatorWindow, StartResultShowsTheOperatorWindowAndHidesTheStartWindow) {
    KestrixCentral& central = app.startOperatorWindow();
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
    EXPECT_EQ(app.start->central(), nullptr);
    EXPECT_TRUE(app.forms.isEmpty());
    EXPECT_EQ(app.exitCodes, QList<int>{1});
}

TEST_F(OperatorWindow, RuntimeEndedEndsTheProgramWhateverIsShown) {
    app.startOperatorWindow();
    app.runtime.endRuntime();
    EXPECT_EQ(app.exitCodes, QList<int>{0});
}

TEST_F(OperatorWindow, WithoutKestrixIniTheLogTakesItsDefaultsAndNoProgressLines) {
    KestrixCentral& w = activated();
    EXPECT_EQ(w.BaseDirectory, app.root.path());
    EXPECT_EQ(w.Line.ProgramIniFile, app.root.programIni());
    EXPECT_EQ(w.Log.LogDateiName, app.root.defaultLog());
    EXPECT_EQ(w.Log.LogDateiGroesse, 100);
    EXPECT_FALSE(w.Log.LogSystem);
    EXPECT_FALSE(w.Log.Logdaten);
    EXPECT_FALSE(QFile::exists(app.root.defaultLog()));
    EXPECT_EQ(w.Line.NumberOfMachines, 1);
    EXPECT_EQ(w.WatchedWindowTitle, QStringLiteral("Vwwebbrowser"));
}

TEST_F(OperatorWindow, WritesItsProgressLinesWithSystemLogging) {
    app.root.writeKestrixIni("[Project]\nLogFileSystem=true\n");
    activated();
    EXPECT_EQ(log(), (QStringList{"S FormActivate Start ", "S FormActivate 7 ", "S FormActivate 8 ",
                                  "S FormActivate 9 ", "S FormActivate 10 ", "S FormActivate 13 ",
                                  "S FormActivate En "}));
}

TEST_F(OperatorWindow, ClampsTheLogSizeLimit) {
    const QList<QPair<QByteArray, int>> cases{{"9", 100},    {"10", 10},   {"2000", 2000},
                                              {"2001", 100}, {"abc", 100}, {"", 100}};
    KestrixCentral& w = activated();
    for (const auto& [value, expected] : cases) {
        app.root.writeKestrixIni("[Project]\nLogFileSize=" + value + "\n");
        w.Form_Activate();
        EXPECT_EQ(w.Log.LogDateiGroesse, expected) << value.toStdString();
    }
}

TEST_F(OperatorWindow, ReadsTheMachineNamesOfTheConfiguredMachinesOnly) {
    app.root.writeProgramIni(
        "[Project]\nNumberOfMachines=2\n[Machine1]\nMachineName=Cartoner 1\n"
        "[Machine2]\nMachineName=Cartoner 2\n[Machine3]\nMachineName=Never read\n");
    KestrixCentral& w = activated();
    EXPECT_EQ(w.Line.NumberOfMachines, 2);
    EXPECT_EQ(w.Line.MachineName[0], QStringLiteral("Cartoner 1"));
    EXPECT_EQ(w.Line.MachineName[1], QStringLiteral("Cartoner 2"));
    EXPECT_EQ(w.Line.MachineName[2], QString());

    for (const char* outOfRange : {"0", "6", "-1"}) {
        app.root.writeProgramIni(QByteArray("[Project]\nNumberOfMachines=") + outOfRange +
                                 "\n[Machine2]\nMachineName=Second\n");
        w.Line.MachineName = {};
        w.Form_Activate();
        EXPECT_EQ(w.Line.NumberOfMachines, 1) << outOfRange;
        EXPECT_EQ(w.Line.MachineName[1], QString()) << outOfRange;
    }
}

TEST_F(OperatorWindow, VWStudioChoosesTheWatchedWindowTitle) {
    KestrixCentral& w = activated();
    for (const char* value : {"true", "TRUE", "True"}) {
        app.root.writeProgramIni(QByteArray("[Project]\nVWStudio=") + value + "\n");
        w.Form_Activate();
        EXPECT_EQ(w.WatchedWindowTitle, QStringLiteral("DCWindow")) << value;
    }
    for (const char* value : {"1", "yes", "FALSE"}) {
        app.root.writeProgramIni(QByteArray("[Project]\nVWStudio=") + value + "\n");
        w.Form_Activate();
        EXPECT_EQ(w.WatchedWindowTitle, QStringLiteral("Vwwebbrowser")) << value;
    }
}

TEST_F(OperatorWindow, AWatchedWindowComesToTheFrontAndTheWindowMinimisesBehindIt) {
    WindowHandle watched = app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    KestrixCentral& w = activated();
    EXPECT_EQ(w.WatchedWindow, watched);
    EXPECT_EQ(app.desktop.calls,
              (QStringList{"find Vwwebbrowser", "foreground 1", "active 1", "minimise"}));
    EXPECT_EQ(app.desktop.minimisedWindow, &w);
    EXPECT_TRUE(w.TimerWebBrowser.isActive());
    EXPECT_TRUE(w.TimerLeben.isActive());
    EXPECT_TRUE(w.TimerErstemal.isActive());
}

TEST_F(OperatorWindow, WithoutAWatchedWindowTheWatcherStaysOff) {
    app.desktop.openWindow(QStringLiteral("DCWindow"));  // not the title asked for
    KestrixCentral& w = activated();
    EXPECT_EQ(w.WatchedWindow, 0);
    EXPECT_EQ(app.desktop.calls, QStringList{"find Vwwebbrowser"});
    EXPECT_FALSE(w.TimerWebBrowser.isActive());
    EXPECT_TRUE(w.TimerLeben.isActive());
    EXPECT_TRUE(w.TimerErstemal.isActive());
}

TEST_F(OperatorWindow, WhileEndingAnActivationReadsAndShowsButArmsNoTimer) {
    app.desktop.openWindow(QStringLiteral("Vwwebbrowser"));
    KestrixCentral& w = activated();
    w.TimerErstemal.stop();
    w.TimerLeben.stop();
    w.TimerWebBrowser.stop();
    w.ProgramEnding = true;
    app.root.writeKestrixIni("[Project]\nLogFileSize=500\n");
    app.desktop.calls.clear();
    w.Form_Activate();
    EXPECT_EQ(w.Log.LogDateiGroesse, 500);
    EXPECT_EQ(app.desktop.calls,
              (QStringList{"find Vwwebbrowser", "foreground 1", "active 1", "minimise"}));
    EXPECT_FALSE(w.TimerErstemal.isActive());
    EXPECT_FALSE(w.TimerLeben.isActive());
    EXPECT_FALSE(w.TimerWebBrowser.isActive());
}

TEST_F(OperatorWindow, AProgramDirectoryTooHighUpFaultsAndTurnsTheLogButtonRed) {
    app.platform.programDirectory = QStringLiteral("/Kestrix");
    KestrixCentral& w = activated();
    // The root stays what the first cut left; the fault line itself cannot be written yet.
    EXPECT_EQ(w.BaseDirectory, QString());
    EXPECT_EQ(w.cmdError->palette().color(QPalette::Button), QColor(255, 0, 0));
    EXPECT_EQ(w.Line.NumberOfMachines, 1);
    EXPECT_TRUE(w.TimerErstemal.isActive());
}

}  // namespace
}  // namespace kestrix
