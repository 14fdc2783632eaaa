#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <string>

#include <sys/prctl.h>

namespace kestrix {

// A private X server for one test: Xvfb on a free display, optionally with a window manager
// (openbox, or icewm as a second one), ready to use when the constructor returns. While it lives,
// DISPLAY names it and QT_QPA_PLATFORM is "xcb", so an X11Desktop or QApplication created
// afterwards and every child process started afterwards use it. At the end it stops both and puts
// the environment back.
//
//     XServer x(XServer::WithWindowManager);
//     if (x.missing()) GTEST_SKIP() << x.error();  // Xvfb or the manager is not installed
//     ASSERT_TRUE(x.ok()) << x.error();            // installed but would not start
//
// Destroy everything that is connected to the server (QApplication, X11Desktop) before it.
class XServer {
public:
    enum Mode { WithoutWindowManager, WithWindowManager /* openbox */, WithIcewm };

    explicit XServer(Mode mode = WithoutWindowManager) {
        if (!startXvfb()) {
            return;
        }
        useThisDisplay();
        if (mode == WithWindowManager) {
            startWindowManager(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        } else if (mode == WithIcewm) {
            startWindowManager(QStringLiteral("icewm"), {});
        }
    }

    ~XServer() {
        stop(windowManager_);
        stop(xvfb_);
        if (environmentSet_) {
            restore("DISPLAY", oldDisplay_);
            restore("QT_QPA_PLATFORM", oldPlatform_);
        }
    }

    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return error_.empty(); }
    // A program it needs is not installed: a reason to skip, where any other failure is one.
    bool missing() const { return missing_; }
    const std::string& error() const { return error_; }
    // ":N"
    const QString& display() const { return display_; }

private:
    static constexpr int StartTimeoutMs = 30000;
    static constexpr int ProbeTimeoutMs = 3000;

    bool startXvfb() {
        QString program = findProgram(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            return false;
        }
        // -displayfd 1: Xvfb picks a free display and writes its number to our end of stdout
        // once it accepts connections. -noreset: it must survive its last client going away.
        xvfb_.setStandardErrorFile(logDir_.filePath(QStringLiteral("Xvfb.log")));
        endWithThisProcess(xvfb_);
        xvfb_.start(program,
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x1024x24")});
        QDeadlineTimer deadline(StartTimeoutMs);
        QByteArray output;
        while (!output.contains('\n')) {
            if (!xvfb_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                fail(QStringLiteral("Xvfb did not report its display"), QStringLiteral("Xvfb.log"));
                return false;
            }
            output += xvfb_.readAllStandardOutput();
        }
        display_ = QStringLiteral(":") + QString::fromLatin1(output.trimmed());
        return true;
    }

    void useThisDisplay() {
        oldDisplay_ = saved("DISPLAY");
        oldPlatform_ = saved("QT_QPA_PLATFORM");
        environmentSet_ = true;
        qputenv("DISPLAY", display_.toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    // A window manager announces itself before it manages new windows (openbox some 100 ms
    // before), so the server counts as ready only when a probe window has appeared in the
    // manager's client list (and gone again). A probe mapped while the manager is still starting
    // can be missed, so a new one is tried until one is managed.
    void startWindowManager(const QString& name, const QStringList& arguments) {
        QString manager = findProgram(name);
        QString xmessage = findProgram(QStringLiteral("xmessage"));
        if (manager.isEmpty() || xmessage.isEmpty() ||
            findProgram(QStringLiteral("xprop")).isEmpty()) {
            return;
        }
        const QString logName = name + QStringLiteral(".log");
        windowManager_.setStandardOutputFile(logDir_.filePath(logName));
        windowManager_.setStandardErrorFile(logDir_.filePath(logName), QIODevice::Append);
        endWithThisProcess(windowManager_);
        windowManager_.start(manager, arguments);
        QDeadlineTimer deadline(StartTimeoutMs);
        bool managed = false;
        while (!managed && !deadline.hasExpired() &&
               windowManager_.state() != QProcess::NotRunning) {
            QProcess probe;
            probe.setStandardOutputFile(QProcess::nullDevice());
            probe.setStandardErrorFile(QProcess::nullDevice());
            probe.start(xmessage, {QStringLiteral("kestrix probe")});
            managed = waitForClientList(true, ProbeTimeoutMs);
            stop(probe);
        }
        if (!managed) {
            fail(name + QStringLiteral(" did not manage a probe window"), logName);
        } else if (!waitForClientList(false, StartTimeoutMs)) {
            fail(name + QStringLiteral(" kept a closed probe window"), logName);
        }
    }

    // Waits until the window manager's client list has windows (or has none).
    bool waitForClientList(bool withWindows, int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && windowManager_.state() != QProcess::NotRunning) {
            QProcess xprop;
            xprop.start(QStringLiteral("xprop"),
                        {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
            xprop.waitForFinished(5000);
            QByteArray list = xprop.readAllStandardOutput();
            // "_NET_CLIENT_LIST(WINDOW): window id # 0x400004", or "... not found." before the
            // manager.
            if (list.contains("window id #") && list.contains("0x") == withWindows) {
                return true;
            }
            lastClientList_ = list;
            QThread::msleep(20);
        }
        return false;
    }

    QString findProgram(const QString& name) {
        QString path = QStandardPaths::findExecutable(name);
        if (path.isEmpty()) {
            missing_ = true;
            error_ = name.toStdString() + " is not installed";
        }
        return path;
    }

    void fail(const QString& what, const QString& logName) {
        QFile log(logDir_.filePath(logName));
        QByteArray tail;
        if (log.open(QIODevice::ReadOnly)) {
            tail = log.readAll().right(2000);
        }
        error_ =
            (what + QStringLiteral(" (client list: ") + QString::fromLocal8Bit(lastClientList_) +
             QStringLiteral("): ") + QString::fromLocal8Bit(tail))
                .toStdString();
    }

    // A test that crashes runs no destructor: the server must not outlive it.
    static void endWithThisProcess(QProcess& process) {
        process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    }

    static void stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning) {
            return;
        }
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    struct SavedVariable {
        bool set = false;
        QByteArray value;
    };

    static SavedVariable saved(const char* name) {
        return {qEnvironmentVariableIsSet(name), qgetenv(name)};
    }

    static void restore(const char* name, const SavedVariable& variable) {
        if (variable.set) {
            qputenv(name, variable.value);
        } else {
            qunsetenv(name);
        }
    }

    QTemporaryDir logDir_;
    QProcess xvfb_;
    QProcess windowManager_;
    QString display_;
    QByteArray lastClientList_;
    std::string error_;
    bool missing_ = false;
    bool environmentSet_ = false;
    SavedVariable oldDisplay_;
    SavedVariable oldPlatform_;
};

}  // namespace kestrix
