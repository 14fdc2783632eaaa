#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <string>

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

// A private Wayland compositor for one test: headless sway with XWayland, ready when the
// constructor returns. sway refuses to run as root, so under root it runs as "nobody", with a
// runtime folder of its own that it owns; the test's programs (root may reach any socket) find it
// through the absolute paths that waylandDisplay() and swaySocket() give, and its XWayland
// display through xDisplay().
//
//     WaylandCompositor sway;
//     if (!sway.ok()) GTEST_SKIP() << sway.error();  // sway missing or unable to start here
class WaylandCompositor {
public:
    WaylandCompositor() {
        const QString sway = QStandardPaths::findExecutable(QStringLiteral("sway"));
        if (sway.isEmpty()) {
            error_ = "sway is not installed";
            return;
        }
        if (!runtime_.isValid() || !prepareRuntimeFolder()) {
            error_ = "no runtime folder for sway";
            return;
        }
        start(sway);
    }

    ~WaylandCompositor() {
        if (sway_.state() != QProcess::NotRunning) {
            sway_.terminate();
            if (!sway_.waitForFinished(5000)) {
                sway_.kill();
                sway_.waitForFinished(5000);
            }
        }
    }

    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // The compositor's socket as an absolute path, a valid WAYLAND_DISPLAY for any user.
    QString waylandDisplay() const { return waylandDisplay_; }
    // XWayland's display (":N"); empty where Xwayland (or, under root, xhost) is not installed.
    QString xDisplay() const { return xDisplay_; }
    // sway's IPC socket, for swaymsg -s.
    QString swaySocket() const { return swaySocket_; }

    // The window that has sway's input focus: its title, or empty.
    QString focusedTitle() const {
        QProcess swaymsg;
        swaymsg.start(QStringLiteral("swaymsg"),
                      {QStringLiteral("-s"), swaySocket_, QStringLiteral("-t"),
                       QStringLiteral("get_tree"), QStringLiteral("-r")});
        swaymsg.waitForFinished(5000);
        return focusedName(QJsonDocument::fromJson(swaymsg.readAllStandardOutput()).object());
    }

private:
    static constexpr int StartTimeoutMs = 15000;

    // sway checks that its runtime folder is the user's own and closed to others.
    bool prepareRuntimeFolder() {
        if (geteuid() != 0) {
            return true;
        }
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            return false;
        }
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
        return chown(QFile::encodeName(runtime_.path()).constData(), uid_, gid_) == 0;
    }

    void start(const QString& sway) {
        // Once running, sway's first command writes what its clients need to know.
        const QString ready = runtime_.filePath(QStringLiteral("ready"));
        const QString config = runtime_.filePath(QStringLiteral("config"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            error_ = "cannot write sway's configuration";
            return;
        }
        // XWayland where it is installed. It lets only its own user in: under root, sway's first
        // command lets root's programs in too (with xhost). Its X sockets go where every X
        // server's do.
        const bool root = geteuid() == 0;
        const bool xwayland =
            !QStandardPaths::findExecutable(QStringLiteral("Xwayland")).isEmpty() &&
            (!root || !QStandardPaths::findExecutable(QStringLiteral("xhost")).isEmpty());
        if (xwayland && root && !QFile::exists(QStringLiteral("/tmp/.X11-unix"))) {
            mkdir("/tmp/.X11-unix", 01777);
            chmod("/tmp/.X11-unix", 01777);
        }
        file.write(xwayland ? "xwayland enable\n" : "xwayland disable\n");
        const QByteArray letRootIn =
            xwayland && root ? "xhost +si:localuser:root >/dev/null 2>&1; " : "";
        file.write("exec sh -c '" + letRootIn + "echo \"$WAYLAND_DISPLAY;$DISPLAY;$SWAYSOCK\" > " +
                   QFile::encodeName(ready) + ".part && mv " + QFile::encodeName(ready) + ".part " +
                   QFile::encodeName(ready) + "'\n");
        file.close();

        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        environment.insert(QStringLiteral("HOME"), runtime_.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        sway_.setProcessEnvironment(environment);
        sway_.setStandardOutputFile(QProcess::nullDevice());
        sway_.setStandardErrorFile(log_.filePath(QStringLiteral("sway.log")));
        const uid_t uid = uid_;
        const gid_t gid = gid_;
        // A test that crashes runs no destructor: sway must not outlive it.
        sway_.setChildProcessModifier([uid, gid] {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
                _exit(127);
            }
        });
        sway_.start(sway, {QStringLiteral("-c"), config});

        QDeadlineTimer deadline(StartTimeoutMs);
        while (!QFile::exists(ready)) {
            if (sway_.state() == QProcess::NotRunning || deadline.hasExpired()) {
                QFile log(log_.filePath(QStringLiteral("sway.log")));
                log.open(QIODevice::ReadOnly);
                error_ = "sway did not start: " + log.readAll().right(2000).toStdString();
                return;
            }
            QThread::msleep(20);
        }
        QFile answer(ready);
        answer.open(QIODevice::ReadOnly);
        const QStringList fields = QString::fromLocal8Bit(answer.readAll().trimmed()).split(';');
        waylandDisplay_ = runtime_.filePath(fields.value(0));
        xDisplay_ = fields.value(1);
        swaySocket_ = fields.value(2);
    }

    // The name of the focused node of sway's tree (outputs, workspaces, windows, floating ones
    // too), depth first.
    static QString focusedName(const QJsonObject& node) {
        if (node.value(QStringLiteral("focused")).toBool()) {
            return node.value(QStringLiteral("name")).toString();
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
                if (QString name = focusedName(child.toObject()); !name.isEmpty()) {
                    return name;
                }
            }
        }
        return {};
    }

    QTemporaryDir runtime_;
    QTemporaryDir log_;
    QProcess sway_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    QString waylandDisplay_;
    QString xDisplay_;
    QString swaySocket_;
    std::string error_;
};

}  // namespace kestrix
