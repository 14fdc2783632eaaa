// The installed line as an unattended service, under a real X server with a window manager: what
// it tells a service manager of its own (readiness, status, the watchdog fed from the window's
// event loop, which a stopped window thread starves), a second start that raises the running
// window, the line's health in the metrics file, and every log line and record in a private
// journal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>

#include "InstalledLine.h"

namespace kestrix {
namespace {

// Two modules, each in a process of its own: the hot-melt tank runs, the OCR module crashes in
// Init and is stopped.
constexpr char LineOfTwo[] =
    "[Project]\nNumberOfMachines=1\n[Machine1]\nHotMeltTankNumberOfTanks=1\nOCRNumberOfModules=1\n";

// A service manager's notification socket: the datagrams the shell sends to NOTIFY_SOCKET.
class NotifySocket {
public:
    explicit NotifySocket(const QString& path) : path_(path) {
        descriptor_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        bound_ = ::bind(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~NotifySocket() { ::close(descriptor_); }

    bool bound() const { return bound_; }

    // The messages come in so far, one assignment a line each ("READY=1").
    QStringList receive() {
        char buffer[4096];
        for (;;) {
            const ssize_t size = ::recv(descriptor_, buffer, sizeof(buffer), 0);
            if (size <= 0) {
                return received_;
            }
            received_ += QString::fromUtf8(buffer, size).split('\n', Qt::SkipEmptyParts);
        }
    }
    void forget() {
        receive();
        received_.clear();
    }
    bool waitFor(const QString& message, int milliseconds = 20000) {
        return waitUntil([&] { return receive().contains(message); }, milliseconds);
    }

private:
    QString path_;
    int descriptor_ = -1;
    bool bound_ = false;
    QStringList received_;
};

class LineAsService : public InstalledLineTest {
protected:
    LineAsService() : InstalledLineTest(LineOfTwo) {
        line.root.writeKestrixIni(
            "[Project]\nLogFileSystem=TRUE\nLogFileData=TRUE\n[Monitoring]\nTextfileDirectory=" +
            QFile::encodeName(metricsFolder.path()) + "\n");
        line.environment.insert(QStringLiteral("ASAN_OPTIONS"),
                                line.environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                    QStringLiteral(":handle_segv=0:detect_leaks=0"));
        line.useStandIn(QStringLiteral("crashing"));
    }

    // The metrics file as Prometheus' own text parser reads it: "name{labels} value" a line.
    QStringList parsedMetrics() const {
        return line
            .run(QStringLiteral("/usr/bin/python3"),  // Debian's, with python3-prometheus-client
                 {QStringLiteral("-c"),
                  QStringLiteral(
                      "import sys\n"
                      "from prometheus_client.parser import text_string_to_metric_families\n"
                      "for family in text_string_to_metric_families(open(sys.argv[1]).read()):\n"
                      "  for s in family.samples:\n"
                      "    labels=','.join(k+'='+v for k,v in sorted(s.labels.items()))\n"
                      "    print(s.name+'{'+labels+'} '+repr(s.value))\n"),
                  metricsFolder.path() + QStringLiteral("/kestrix.prom")})
            .split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir metricsFolder;
};

TEST_F(LineAsService, TellsItsManagerFeedsTheWatchdogStaysOneAndReportsItsHealth) {
    NotifySocket manager(line.root.path() + QStringLiteral("/notify"));
    ASSERT_TRUE(manager.bound());
    line.environment.insert(QStringLiteral("NOTIFY_SOCKET"), line.root.path() + "/notify");
    line.environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000"));
    line.startShell();

    // Ready once the operator window is shown; the countdown, then the modules as its status.
    ASSERT_TRUE(manager.waitFor(QStringLiteral("READY=1")))
        << manager.receive().join(' ').toStdString();
    // Shown, it reaches the X server a moment later.
    EXPECT_TRUE(waitUntil([&] { return !line.operatorWindow().isEmpty(); }, 5000));
    EXPECT_TRUE(manager.waitFor(QStringLiteral("STATUS=starting in  4 sec.")));
    EXPECT_TRUE(manager.waitFor(QStringLiteral("STATUS=1 modules running, 1 stopped")));
    EXPECT_GE(manager.receive().count(QStringLiteral("WATCHDOG=1")), 4);

    // A second start raises the minimised operator window, says so and leaves the runtime be.
    const QString operatorWindow = line.operatorWindow();
    line.xdotool({QStringLiteral("windowminimize"), QStringLiteral("--sync"), operatorWindow});
    ASSERT_TRUE(waitUntil([&] { return line.isIconic(operatorWindow); }, 5000));
    QProcess second;
    second.setProcessEnvironment(line.environment);
    second.start(line.program("kestrix"), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardError(), QByteArray("Kestrix is already running\n"));
    EXPECT_TRUE(waitUntil([&] { return !line.isIconic(operatorWindow); }, 5000));
    EXPECT_EQ(line.journal().count(QStringLiteral("started")), 1);

    // The health file: the OCR module stopped, its fault counted under its ProgID.
    QStringList metrics;
    EXPECT_TRUE(waitUntil(
        [&] {
            metrics = parsedMetrics();
            return metrics.contains(QStringLiteral("kestrix_modules_stopped{} 1.0"));
        },
        5000))
        << metrics.join('\n').toStdString();
    EXPECT_TRUE(metrics.contains(QStringLiteral("kestrix_modules_configured{} 2.0")));
    EXPECT_TRUE(metrics.contains(QStringLiteral("kestrix_modules_running{} 1.0")));
    EXPECT_FALSE(
        metrics.filter(QStringLiteral("kestrix_faults_total{progid=XKX_OCR.OCR} ")).isEmpty());
    EXPECT_FALSE(metrics.filter(QStringLiteral("kestrix_life_tick_age_seconds{}")).isEmpty());

    // A stopped window thread feeds the watchdog no more; it goes on when the thread does.
    ASSERT_EQ(::kill(static_cast<pid_t>(line.shell.processId()), SIGSTOP), 0);
    QThread::msleep(100);
    manager.forget();
    QThread::msleep(1000);
    EXPECT_EQ(manager.receive().count(QStringLiteral("WATCHDOG=1")), 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(line.shell.processId()), SIGCONT), 0);
    EXPECT_TRUE(manager.waitFor(QStringLiteral("WATCHDOG=1"), 2000));

    line.run(line.hmi(), {QStringLiteral("stop")});
    ASSERT_TRUE(line.shell.waitForFinished(10000));
    EXPECT_EQ(line.shell.exitCode(), 0);
}

// The entries of the journal as `journalctl -o json` gives them, one object each.
QList<QJsonObject> journalEntries(const QString& file) {
    QList<QJsonObject> entries;
    for (const QByteArray& text : readFile(file).split('\n')) {
        const QJsonDocument entry = QJsonDocument::fromJson(text);
        if (entry.isObject()) {
            entries.append(entry.object());
        }
    }
    return entries;
}

// The first entry whose fields have these values; empty when there is none.
QJsonObject entryWith(const QList<QJsonObject>& entries, const QVariantMap& fields) {
    for (const QJsonObject& entry : entries) {
        bool matches = true;
        for (auto it = fields.cbegin(); it != fields.cend() && matches; ++it) {
            matches = entry.value(it.key()).toString() == it.value().toString();
        }
        if (matches) {
            return entry;
        }
    }
    return {};
}

// A journald of the test's own: in a mount namespace of its own, with fresh folders on
// /run/systemd/journal and /run/log/journal, so that the shell's entries go there and nowhere
// else. Needs root and unshare.
TEST_F(LineAsService, EveryLogLineAndRecordGoesToTheJournalWithItsFields) {
    if (::geteuid() != 0 ||
        QProcess::execute(QStringLiteral("unshare"),
                          {QStringLiteral("-m"), QStringLiteral("true")}) != 0 ||
        !QFile::exists(QStringLiteral("/lib/systemd/systemd-journald"))) {
        GTEST_SKIP() << "a private journal needs root, unshare and systemd-journald";
    }
    // A third module, in the top fold's place, raises three events from a thread of its own.
    line.root.writeProgramIni(QByteArray(LineOfTwo) + "TopFoldSystems=1\n");
    line.useStandIn(QStringLiteral("threademitting"));
    const QString entriesFile = line.root.path() + QStringLiteral("/journal.json");
    line.shell.setProcessEnvironment(line.environment);
    line.shell.setProcessChannelMode(QProcess::ForwardedChannels);
    line.shell.start(
        QStringLiteral("unshare"),
        {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
         QStringLiteral("bash"), QStringLiteral(KESTRIX_PRIVATE_JOURNAL), entriesFile,
         line.program("kestrix")});
    ASSERT_TRUE(line.waitForLog(QStringLiteral("S FormActivate En "))) << "no activation";
    ASSERT_TRUE(waitUntil([&] {
        return !line.log().filter(QStringLiteral("the module in slot 2 stopped")).isEmpty();
    }));
    // The operator closes the event boxes, the newest (the one that takes the input) first.
    int closed = 0;
    waitUntil(
        [&] {
            QString newest;
            for (const QString& box : line.messageBoxes()) {
                newest = box.toULongLong() > newest.toULongLong() ? box : newest;
            }
            if (!newest.isEmpty()) {
                line.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), newest,
                              QStringLiteral("key"), QStringLiteral("Return")});
                ++closed;
            }
            return closed >= 3 && line.messageBoxes().isEmpty();
        },
        15000);
    line.run(line.hmi(), {QStringLiteral("stop")});
    ASSERT_TRUE(line.shell.waitForFinished(20000));
    ASSERT_EQ(line.shell.exitCode(), 0);

    const QList<QJsonObject> entries = journalEntries(entriesFile);
    ASSERT_FALSE(entries.isEmpty());
    // Each line of the log is an entry of its own, its text the message.
    for (QString text : line.log()) {
        text.remove(QRegularExpression(QStringLiteral("^([EDS] )*")));
        EXPECT_FALSE(
            entryWith(entries, {{"MESSAGE", text.trimmed()}, {"SYSLOG_IDENTIFIER", "kestrix"}})
                .isEmpty())
            << text.toStdString();
    }
    EXPECT_FALSE(entryWith(entries, {{"MESSAGE", "FormActivate Start"},
                                     {"PRIORITY", "7"},
                                     {"KESTRIX_FLAGS", "S"},
                                     {"KESTRIX_SOURCE", "FormActivate"}})
                     .isEmpty());
    const QJsonObject stopLine = entryWith(
        entries, {{"KESTRIX_RECORD", "log-line"}, {"KESTRIX_FAULT", "440"}, {"KESTRIX_SLOT", "2"}});
    EXPECT_EQ(stopLine.value("PRIORITY").toString(), "3");
    EXPECT_EQ(stopLine.value("KESTRIX_PROGID").toString(), "XKX_OCR.OCR");
    EXPECT_EQ(stopLine.value("KESTRIX_SOURCE").toString(), "KX.O2");
    EXPECT_FALSE(entryWith(entries, {{"KESTRIX_RECORD", "module-stopped"},
                                     {"KESTRIX_SLOT", "2"},
                                     {"KESTRIX_PROGID", "XKX_OCR.OCR"}})
                     .isEmpty());
    // Each event shown, with how long its box was open.
    const QJsonObject event = entryWith(entries, {{"KESTRIX_RECORD", "event-shown"},
                                                  {"KESTRIX_EVENT", "Ticked"},
                                                  {"KESTRIX_SLOT", "3"},
                                                  {"KESTRIX_PROGID", "XKX_TopFold.TopFold"}});
    ASSERT_FALSE(event.isEmpty());
    EXPECT_GT(event.value("KESTRIX_BOX_OPEN_MS").toString().toInt(), 0);
    EXPECT_FALSE(entryWith(entries, {{"KESTRIX_RECORD", "line-ended"},
                                     {"KESTRIX_EXIT_STATUS", "0"},
                                     {"KESTRIX_CAUSE", "the HMI runtime ended"}})
                     .isEmpty());
}

}  // namespace
}  // namespace kestrix
