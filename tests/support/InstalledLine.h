#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUuid>
#include <functional>

#include "TempRoot.h"

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
        for (const char* name : {"kestrix", "kestrix-hmi", "kestrix-watched-window"}) {
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
        return QString::fromUtf8(TempRoot::read(journalPath())).split('\n', Qt::SkipEmptyParts);
    }
    QStringList log() const { return TempRoot::logTexts(root.defaultLog()); }

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

    // Runs a command to its end and returns its standard output.
    QString run(const QString& command, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(command, arguments);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    // Window ids of the windows titled exactly so (X11, through xdotool).
    QStringList windowsTitled(const QString& title) const {
        return run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                               QLatin1Char('^') + title + '$'})
            .split('\n', Qt::SkipEmptyParts);
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

    // An open message box of the shell: a dialog window titled "Kestrix" that the window manager
    // shows (a box whose window exists but is not yet managed cannot be activated); empty when
    // none is open.
    QString messageBox() const {
        for (const QString& window : windowsTitled(QStringLiteral("Kestrix"))) {
            const QString properties =
                run(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_WINDOW_TYPE"),
                     QStringLiteral("WM_STATE")});
            if (properties.contains(QStringLiteral("DIALOG")) &&
                properties.contains(QStringLiteral("window state: Normal"))) {
                return window;
            }
        }
        return {};
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

    // The operator activates the window and clicks a point of its client area.
    void clickAt(const QString& window, int x, int y) const {
        run(QStringLiteral("xdotool"),
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    }

    // Waits until the condition holds, up to the given time; true when it did.
    static bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000) {
        for (int waited = 0; waited < milliseconds; waited += 50) {
            if (condition()) {
                return true;
            }
            QThread::msleep(50);
        }
        return condition();
    }

    TempRoot root;
    QProcessEnvironment environment;
    QProcess shell;
    QProcess watched;
};

}  // namespace kestrix
