#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUuid>

#include "TempRoot.h"
#include "WaitUntil.h"
#include "XServer.h"

namespace kestrix {

// A line installed in a temporary root from the build: the shell, the runtime stand-in and the
// plug-ins in <root>/Program/Kestrix, with a runtime socket and journal of its own so that runs
// never meet.
class InstalledLine {
public:
    InstalledLine() {
        const QString built = QString::fromLocal8Bit(qgetenv("KESTRIX_BUILD_DIR")) +
                              QStringLiteral("/Program/Kestrix");
        const QString program = root.programDirectory();
        QDir().mkpath(program + QStringLiteral("/plugins"));
        for (const char* name :
             {"kestrix", "kestrix-hmi", "kestrix-module", "kestrix-watched-window"}) {
            QFile::copy(built + QLatin1Char('/') + QLatin1String(name),
                        program + QLatin1Char('/') + QLatin1String(name));
        }
        for (const QString& plugin : QDir(built + QStringLiteral("/plugins"))
                                         .entryList({QStringLiteral("*.so")}, QDir::Files)) {
            QFile::copy(built + QStringLiteral("/plugins/") + plugin,
                        program + QStringLiteral("/plugins/") + plugin);
        }
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(
            QStringLiteral("KESTRIX_HMI_SOCKET"),
            QStringLiteral("kestrix-e2e-") + QUuid::createUuid().toString(QUuid::Id128).left(12));
        environment.insert(QStringLiteral("KESTRIX_HMI_JOURNAL"), journalPath());
    }

    ~InstalledLine() {
        for (QProcess* process : {&shell, &watched}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        run(hmi(), {QStringLiteral("stop")});
    }

    // The line's programs show their windows on this X display.
    void showOn(const QString& display) {
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }

    QString program(const char* name) const {
        return root.programDirectory() + QLatin1Char('/') + QLatin1String(name);
    }
    QString hmi() const { return program("kestrix-hmi"); }
    QString journalPath() const { return root.path() + QStringLiteral("/hmi.journal"); }
    QStringList journal() const {
        return QString::fromUtf8(readFile(journalPath())).split('\n', Qt::SkipEmptyParts);
    }
    QStringList log() const { return logTexts(root.defaultLog()); }
    bool logHas(const QString& text) const { return log().contains(text); }
    bool waitForLog(const QString& text, int milliseconds = 20000) const {
        return waitUntil([&] { return logHas(text); }, milliseconds);
    }

    void startShell() {
        shell.setProcessEnvironment(environment);
        shell.setProcessChannelMode(QProcess::ForwardedChannels);
        shell.start(program("kestrix"), {});
    }

    // Starts the other program's window and waits until it is there; its window id, or empty.
    QString openWatchedWindow(const QString& title) {
        watched.setProcessEnvironment(environment);
        watched.start(program("kestrix-watched-window"),
                      {QStringLiteral("--title"), title, QStringLiteral("--commands")});
        QStringList windows;
        waitUntil([&] {
            windows = windowsTitled(title);
            return !windows.isEmpty();
        });
        return windows.value(0);
    }

    // The watched window's program acts on its window: "hide", "show" or "minimise".
    void tellWatchedWindow(const char* command) {
        watched.write(QByteArray(command) + '\n');
        watched.waitForBytesWritten();
    }

    // Runs a command to its end (killed after the given time) and returns its standard output.
    QString run(const QString& command, const QStringList& arguments,
                int milliseconds = 10000) const {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(command, arguments);
        if (!process.waitForFinished(milliseconds)) {
            process.kill();
            process.waitForFinished(1000);
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    // Window ids of the windows titled exactly so (X11, through xdotool).
    QStringList windowsTitled(const QString& title) const {
        return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                               QLatin1Char('^') + title + '$'})
            .split('\n', Qt::SkipEmptyParts);
    }

    // The window's top on the screen (X11, through xdotool).
    int topOf(const QString& window) const {
        const QString geometry =
            run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window});
        return QRegularExpression(QStringLiteral("Position: -?\\d+,(-?\\d+)"))
            .match(geometry)
            .captured(1)
            .toInt();
    }

    // The operator window: the window titled "Kestrix" of 800 × 600 pixels (the hidden start
    // window carries the program's name too); empty when there is none.
    QString operatorWindow() const {
        for (const QString& window : windowsTitled(QStringLiteral("Kestrix"))) {
            if (run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window})
                    .contains(QStringLiteral("800x600"))) {
                return window;
            }
        }
        return {};
    }

    // The open message boxes of the shell: dialog windows titled "Kestrix" that the window
    // manager shows (a box whose window exists but is not yet managed cannot be activated).
    QStringList messageBoxes() const {
        QStringList boxes;
        for (const QString& window : windowsTitled(QStringLiteral("Kestrix"))) {
            const QString properties =
                run(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_WINDOW_TYPE"),
                     QStringLiteral("WM_STATE")});
            if (properties.contains(QStringLiteral("DIALOG")) &&
                properties.contains(QStringLiteral("window state: Normal"))) {
                boxes.append(window);
            }
        }
        return boxes;
    }
    // An open message box of the shell; empty when none is open.
    QString messageBox() const { return messageBoxes().value(0); }

    // The module processes (kestrix-module) of this line that are still there.
    int moduleProcesses() const {
        const QString moduleHost = program("kestrix-module");
        int count = 0;
        for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == moduleHost) {
                ++count;
            }
        }
        return count;
    }

    // Puts another plug-in library into the line's plug-in folder in place of one of the build's.
    void replacePlugin(const QString& builtName, const QString& library) {
        const QString folder = root.programDirectory() + QStringLiteral("/plugins/");
        QFile::remove(folder + builtName);
        QFile::copy(library, folder + QFileInfo(library).fileName());
    }

#ifdef KESTRIX_ISOLATION_PLUGIN_DIR
    // Puts a misbehaving stand-in of the isolation tests ("exiting", "crashing", "hanging",
    // "timerthrowing", "threademitting", "typing", "leavinginit": a process left behind in Init)
    // in the place of the module kind whose ProgID the build gave it.
    void useStandIn(const QString& standIn) {
        const std::pair<const char*, const char*> builtFor[] = {
            {"exiting", "xmelt"},          {"crashing", "ocr"},
            {"hanging", "stamp"},          {"timerthrowing", "dirtyfilter"},
            {"threademitting", "topfold"}, {"typing", "tarvo"},
            {"leavinginit", "csi"},        {"leavingdaemon", "ocr"}};
        const QString folder = root.programDirectory() + QStringLiteral("/plugins/");
        for (const auto& [name, built] : builtFor) {
            if (standIn == QLatin1String(name)) {
                // The last stand-in put in a kind's place is the one there.
                for (const auto& [other, itsKind] : builtFor) {
                    if (qstrcmp(itsKind, built) == 0) {
                        QFile::remove(folder + QStringLiteral("kestrix_test_isolated%1_plugin.so")
                                                   .arg(QLatin1String(other)));
                    }
                }
                replacePlugin(QStringLiteral("kestrix_module_%1.so").arg(QLatin1String(built)),
                              QStringLiteral(KESTRIX_ISOLATION_PLUGIN_DIR
                                             "/kestrix_test_isolated%1_plugin.so")
                                  .arg(standIn));
                return;
            }
        }
        ADD_FAILURE() << "no stand-in " << standIn.toStdString();
    }
#endif

    void xdotool(const QStringList& arguments) const {
        run(QStringLiteral("xdotool"), arguments);
    }

    // Clicks a point of a window's client area, the window activated first.
    void clickAt(const QString& window, int x, int y) const {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(x), QString::number(y), QStringLiteral("click"),
                 QStringLiteral("1")});
    }

    // Answers the open message box with a key once one is there; false when none came.
    bool answerBox(const QString& key, int milliseconds = 20000) const {
        QString box;
        if (!waitUntil(
                [&] {
                    box = messageBox();
                    return !box.isEmpty();
                },
                milliseconds)) {
            return false;
        }
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box,
                 QStringLiteral("key"), key});
        return true;
    }

    // The window manager's active window (X11, through xdotool).
    QString activeWindow() const {
        return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
    }

    // The window manager shows the window as an icon (WM_STATE Iconic).
    bool isIconic(const QString& window) const {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")})
            .contains(QStringLiteral("Iconic"));
    }

    TempRoot root;
    QProcessEnvironment environment;
    QProcess shell;
    QProcess watched;
};

// What the end-to-end tests share: a private X server with a window manager. Without Xvfb or
// openbox the test is skipped.
class XServerTest : public ::testing::Test {
protected:
    explicit XServerTest(XServer::Mode mode = XServer::WithWindowManager) : x(mode) {}

    void SetUp() override {
        if (x.missing()) {
            GTEST_SKIP() << x.error();
        }
        ASSERT_TRUE(x.ok()) << x.error();
    }

    XServer x;
};

// A line installed from the build that shows on the test's X server, with this Program.ini and
// with system and data lines in its log.
class InstalledLineTest : public XServerTest {
protected:
    explicit InstalledLineTest(const QByteArray& programIni = "[Project]\nNumberOfMachines=1\n",
                               XServer::Mode mode = XServer::WithWindowManager)
        : XServerTest(mode) {
        line.root.writeKestrixIni("[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n");
        line.root.writeProgramIni(programIni);
    }

    void SetUp() override {
        XServerTest::SetUp();
        line.showOn(x.display());
    }

    InstalledLine line;
};

}  // namespace kestrix
