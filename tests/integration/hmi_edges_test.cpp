// The runtime link at its edges, with the attacker or the fault made real: folders that others
// could reach, another user on the socket (when the tests run as root), a umask that opens
// everything, a planted link, a shell killed while its runtime runs.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "InstalledLine.h"
#include "hmi/HmiPaths.h"
#include "hmi/HmiProtocol.h"
#include "hmi/Processes.h"
#include "hmi_support.h"

namespace kestrix {
namespace {

using hmitest::LanguageVariable;
using hmitest::RecordingClient;
using namespace std::chrono_literals;

// Sets the variables the paths depend on for one test, and puts them back afterwards.
class HmiPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : Variables) {
            saved.append(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                         : std::nullopt);
            qunsetenv(name);
        }
        qputenv("TMPDIR", QFile::encodeName(folder.path()));
        qputenv("HOME", QFile::encodeName(home));
        ASSERT_EQ(
            ::mkdir(QFile::encodeName(folder.filePath(QStringLiteral(".cache"))).constData(), 0700),
            0);
        qputenv("KESTRIX_HMI_COMMAND", KESTRIX_HMI_PROGRAM);
    }

    void TearDown() override {
        for (qsizetype i = 0; i < saved.size(); ++i) {
            if (saved.at(i)) {
                qputenv(Variables[i], *saved.at(i));
            } else {
                qunsetenv(Variables[i]);
            }
        }
    }

    QString makeFolder(const QString& name, mode_t mode) const {
        const QString path = folder.filePath(name);
        EXPECT_EQ(::mkdir(QFile::encodeName(path).constData(), mode), 0);
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    }

    static mode_t modeOf(const QString& path) {
        struct stat status {};
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                          : 0;
    }

    static constexpr const char* Variables[] = {
        "XDG_RUNTIME_DIR",     "XDG_CACHE_HOME",     "TMPDIR", "HOME", "KESTRIX_HMI_SOCKET",
        "KESTRIX_HMI_JOURNAL", "KESTRIX_HMI_COMMAND"};
    QTemporaryDir folder;
    QList<std::optional<QByteArray>> saved;
    // The user's home; the runtime folder's fallback lies in its cache folder.
    const QString home = folder.path();
    const QString fallback = folder.filePath(QStringLiteral(".cache/kestrix"));
};

TEST_F(HmiPathsTest, SocketJournalAndLockLieInTheUsersOwnFolder) {
    const QString session = makeFolder(QStringLiteral("session"), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(session));
    HmiPaths paths = hmiPaths();
    ASSERT_TRUE(paths.isUsable()) << paths.error.toStdString();
    EXPECT_EQ(paths.socket, session + QStringLiteral("/kestrix-hmi"));
    EXPECT_EQ(paths.journal, paths.socket + QStringLiteral(".journal"));
    EXPECT_EQ(paths.lock, paths.socket + QStringLiteral(".lock"));

    // A session folder open to others is passed over for a folder of the program's own, made
    // private whatever the umask left of its rights.
    ASSERT_EQ(::chmod(QFile::encodeName(session).constData(), 0755), 0);
    const mode_t previousMask = ::umask(0777);
    paths = hmiPaths();
    ::umask(previousMask);
    ASSERT_TRUE(paths.isUsable()) << paths.error.toStdString();
    EXPECT_EQ(paths.socket, fallback + QStringLiteral("/kestrix-hmi"));
    EXPECT_EQ(modeOf(fallback), 0700u);

    // A name of the user's choice lies in that folder too; the journal goes where it is told.
    qputenv("KESTRIX_HMI_SOCKET", "line-2");
    qputenv("KESTRIX_HMI_JOURNAL", "/var/tmp/line-2.journal");
    paths = hmiPaths();
    EXPECT_EQ(paths.socket, fallback + QStringLiteral("/line-2"));
    EXPECT_EQ(paths.journal, QStringLiteral("/var/tmp/line-2.journal"));
}

// Without a usable session folder the runtime's folder is one that no other user can make first:
// not the shared temporary folder's "kestrix-<uid>", which anyone may create (here open to all,
// or, when the tests run as root, private to another user), and not a relative
// $XDG_RUNTIME_DIR, which names a different folder wherever a process is started.
TEST_F(HmiPathsTest, NoOtherUserCanClaimTheFallbackFirstAndARelativeSessionFolderIsIgnored) {
    const QString squatted = makeFolder(QStringLiteral("kestrix-%1").arg(::getuid()), 0777);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(squatted).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(squatted).constData(), 65534, 65534), 0);
    }
    makeFolder(QStringLiteral("session"), 0700);
    const QString started = QDir::currentPath();
    QDir::setCurrent(folder.path());
    qputenv("XDG_RUNTIME_DIR", "session");
    const HmiPaths paths = hmiPaths();
    QDir::setCurrent(started);
    ASSERT_TRUE(paths.isUsable()) << paths.error.toStdString();
    EXPECT_EQ(paths.socket, fallback + QStringLiteral("/kestrix-hmi"));
    EXPECT_EQ(modeOf(fallback), 0700u);
}

TEST_F(HmiPathsTest, FoldersOthersCouldReachOrReplaceAreRefused) {
    auto refusal = [] {
        const HmiPaths paths = hmiPaths();
        EXPECT_TRUE(paths.socket.isEmpty());
        return paths.error.toStdString();
    };
    // The program's folder made beforehand by someone: open to others, or a link to a private one.
    makeFolder(QStringLiteral(".cache/kestrix"), 0777);
    EXPECT_NE(refusal().find("open to other users"), std::string::npos);
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    ASSERT_TRUE(QFile::link(makeFolder(QStringLiteral("private"), 0700), fallback));
    EXPECT_NE(refusal().find("symbolic link"), std::string::npos);
    ASSERT_TRUE(QFile::remove(fallback));
    if (::geteuid() == 0) {
        makeFolder(QStringLiteral(".cache/kestrix"), 0700);
        ASSERT_EQ(::chown(QFile::encodeName(fallback).constData(), 65534, 65534), 0);
        EXPECT_NE(refusal().find("belongs to another user"), std::string::npos);
    }

    // A private folder in a folder that anyone may rename it out of (no sticky bit).
    const QString shared = makeFolder(QStringLiteral("shared"), 0777);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(shared));
    EXPECT_NE(refusal().find("others may write to and which is not sticky"), std::string::npos);
    qunsetenv("XDG_CACHE_HOME");

    // A socket named by path, or by a name that leads out of the private folder.
    const QString open = makeFolder(QStringLiteral("open"), 0755);
    qputenv("KESTRIX_HMI_SOCKET", QFile::encodeName(open + QStringLiteral("/hmi.socket")));
    EXPECT_NE(refusal().find("open to other users"), std::string::npos);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(makeFolder(QStringLiteral("session"), 0700)));
    qputenv("KESTRIX_HMI_SOCKET", "../open/hmi.socket");
    EXPECT_NE(refusal().find("open to other users"), std::string::npos);
}

TEST_F(HmiPathsTest, SocketAndLockAreTheUsersAloneWhateverTheUmaskAndNoLinkIsFollowed) {
    // The default place, in this test's temporary folder, with a link where the journal goes,
    // planted to make the runtime write into another file.
    const QString socket =
        makeFolder(QStringLiteral(".cache/kestrix"), 0700) + QStringLiteral("/kestrix-hmi");
    const QString victim = folder.filePath(QStringLiteral("victim"));
    QFile(victim).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(victim, socket + QStringLiteral(".journal")));

    const mode_t previousMask = ::umask(0);
    RecordingClient shell;
    shell.client->start();
    const bool answered = shell.awaitStartResult();
    ::umask(previousMask);
    ASSERT_TRUE(answered);
    EXPECT_EQ(shell.startResults, QList<bool>{true});

    for (const QString& file : {socket, socket + QStringLiteral(".lock")}) {
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &status), 0) << file.toStdString();
        EXPECT_EQ(status.st_mode & 077, 0u) << file.toStdString() << " is open to others";
    }
    EXPECT_EQ(QFileInfo(victim).size(), 0) << "the journal was written through the link";
}

// A process of the user nobody, forked from the test: it drops to that user and runs `body`,
// which makes plain system calls only (the test may have threads) and reports numbers over a
// pipe.
class NobodyProcess {
public:
    // Why the test cannot play a second user; empty when it can.
    static QString whyUnavailable() {
        if (::geteuid() != 0) {
            return QStringLiteral("the tests do not run as root, so no second user can be played");
        }
        return ::getpwnam("nobody") ? QString() : QStringLiteral("there is no user nobody");
    }

    template <class Body>
    explicit NobodyProcess(Body body) {
        const passwd* nobody = ::getpwnam("nobody");
        uid = nobody->pw_uid;
        const gid_t group = nobody->pw_gid;
        if (::pipe2(report_, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(report_[0]);
            if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(uid) != 0) {
                ::_exit(99);
            }
            body(report_[1]);
            ::_exit(0);
        }
        ::close(report_[1]);
    }

    ~NobodyProcess() { end(); }

    // Waits until the process has ended by itself.
    void awaitEnd() {
        while (!reaped_ && pid_ > 0 && ::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }

    // Ends the process (when it has not ended by itself) and returns all it reported.
    std::vector<long> end() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            awaitEnd();
        }
        if (report_[0] >= 0) {
            long number = 0;
            while (::read(report_[0], &number, sizeof number) == sizeof number) {
                reports_.push_back(number);
            }
            ::close(report_[0]);
            report_[0] = -1;
        }
        return reports_;
    }

    pid_t pid() const { return pid_; }
    uid_t uid = 0;

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int report_[2] = {-1, -1};
    std::vector<long> reports_;
};

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(),
                std::min<size_t>(bytes.size(), sizeof address.sun_path - 1));
    return address;
}

// Reads what the peer says until it closes the connection (or 5 s pass); the byte count.
long drain(int connection) {
    const timeval patience{5, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    long total = 0;
    char buffer[256];
    ssize_t count;
    while ((count = ::read(connection, buffer, sizeof buffer)) > 0) {
        total += count;
    }
    return total;
}

class HmiEdgesTest : public hmitest::RuntimeFixture {};

TEST_F(HmiEdgesTest, AnotherUsersListenerOnTheSocketIsNeitherUsedNorToldAnything) {
    if (const QString why = NobodyProcess::whyUnavailable(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    // The other user listens on the shell's socket, answers as a runtime would and reports, per
    // connection, how many bytes it was told. (Bound here, listening there: the system vouches
    // for the process that listens.)
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(socketName);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    NobodyProcess squatter([listener](int report) {
        ::listen(listener, 16);
        for (;;) {
            const int connection = ::accept(listener, nullptr, nullptr);
            ::send(connection, "ready\n", 6, MSG_NOSIGNAL);  // the peer may be gone already
            const long told = drain(connection);
            ::close(connection);
            if (::write(report, &told, sizeof told) != sizeof told) {
                ::_exit(1);
            }
        }
    });
    ::close(listener);

    useRuntimeOptions(QStringLiteral("--start-delay-ms 600000"));  // ours never listens
    RecordingClient shell(1500ms);
    shell.client->subscribe(LanguageVariable);
    shell.client->start();
    ASSERT_TRUE(shell.awaitStartResult());
    EXPECT_EQ(shell.startResults, QList<bool>{false});
    EXPECT_NE(runRuntimeCommand({QStringLiteral("set"), LanguageVariable, "1031"}).exitCode, 0);

    const std::vector<long> told = squatter.end();
    EXPECT_FALSE(told.empty()) << "the squatter was never reached";
    for (long bytes : told) {
        EXPECT_EQ(bytes, 0);
    }
}

TEST_F(HmiEdgesTest, RuntimeRefusesAnotherUsersConnectionUnheard) {
    if (const QString why = NobodyProcess::whyUnavailable(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    RecordingClient shell;
    shell.client->start();
    ASSERT_TRUE(shell.awaitStartResult());
    ASSERT_EQ(shell.startResults, QList<bool>{true});

    // The way to the socket is opened up, as a careless administrator might, and the other user
    // tries to set a variable and stop the runtime.
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(socketName).constData(), 0777), 0);
    const sockaddr_un address = addressOf(socketName);
    NobodyProcess intruder([&address](int report) {
        const int connection = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        long answered = -1;
        if (::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
            0) {
            // Refused, the sending may fail already; what counts is that nothing comes back.
            const char request[] = "set Probe 1\nstop\n";
            ::send(connection, request, sizeof request - 1, MSG_NOSIGNAL);
            answered = drain(connection);
        }
        if (::write(report, &answered, sizeof answered) != sizeof answered) {
            ::_exit(1);
        }
    });
    intruder.awaitEnd();
    const pid_t intruderPid = intruder.pid();
    EXPECT_EQ(intruder.end(), std::vector<long>{0})
        << "the intruder did not reach the runtime (-1) or got an answer";
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0700), 0);

    EXPECT_TRUE(journal().contains(
        QStringLiteral("refused user %1 process %2").arg(intruder.uid).arg(intruderPid)))
        << journal().join('\n').toStdString();
    EXPECT_EQ(runRuntimeCommand({QStringLiteral("get"), QStringLiteral("Probe")}).exitCode, 1);
    EXPECT_EQ(runRuntimeCommand({QStringLiteral("get"), LanguageVariable}).exitCode, 0);
    EXPECT_EQ(shell.endedCount, 0);
}

// A shell that dies before it ever connected (a process that launched the runtime and never
// connects stands in for it): its runtime notices by itself and ends.
TEST_F(HmiEdgesTest, RuntimeOfAShellThatDiedBeforeConnectingEndsItself) {
    QProcess shell;
    shell.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    ASSERT_TRUE(shell.waitForStarted());
    const qint64 shellPid = shell.processId();
    QProcess runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(HmiProtocol::ShellVariable), QString::number(shellPid));
    runtime.setProcessEnvironment(environment);
    runtime.start(runtimeProgram(), {});
    ASSERT_TRUE(awaitJournalLine(QStringLiteral("started")));

    shell.kill();
    shell.waitForFinished();
    EXPECT_TRUE(runtime.waitForFinished(10000)) << "the runtime outlived its shell";
    EXPECT_EQ(runtime.exitCode(), 0);
    EXPECT_EQ(journal(),
              (QStringList{QStringLiteral("started"), QStringLiteral("shell-gone %1").arg(shellPid),
                           QStringLiteral("ended")}));
}

// A mistaken $KESTRIX_HMI_SOCKET names a file of the user's: the runtime keeps it and does not
// start, saying why.
TEST_F(HmiEdgesTest, AnExistingFileAtTheSocketNameIsKeptAndTheRuntimeDoesNotStart) {
    QFile notes(socketName);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("the operator's notes\n");
    notes.close();

    const Outcome runtime = runRuntimeCommand({});
    EXPECT_EQ(runtime.exitCode, 2);
    EXPECT_TRUE(runtime.errorOutput.contains(QStringLiteral("is no socket of this user's")))
        << runtime.errorOutput.toStdString();
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), QByteArray("the operator's notes\n"));
}

// The lock's file names a process that does not hold the lock (the file is only text): that
// process is not signalled, whatever the file says about its shell.
TEST_F(HmiEdgesTest, AProcessThatTheLockFileNamesButThatHoldsNoLockIsNotSignalled) {
    QProcess bystander;
    bystander.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(bystander.waitForStarted());
    const std::optional<ProcessIdentity> victim =
        ProcessIdentity::of(static_cast<pid_t>(bystander.processId()));
    ASSERT_TRUE(victim);

    // Held here; the file names the bystander as the runtime and a shell that is gone.
    const int lock = ::open(QFile::encodeName(socketName + QStringLiteral(".lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const QByteArray holder = QByteArray::number(victim->pid()) + ' ' +
                              QByteArray::number(victim->startTime()) + " 2147483646 1\n";
    ASSERT_EQ(::write(lock, holder.constData(), holder.size()), holder.size());

    const Outcome runtime = runRuntimeCommand({});
    ::close(lock);
    EXPECT_EQ(runtime.exitCode, 2) << runtime.errorOutput.toStdString();
    EXPECT_TRUE(victim->isRunning()) << "the bystander was signalled";
    EXPECT_EQ(bystander.state(), QProcess::Running);
}

// A journal at its limit is cut to its newer half, whole lines, before the next line.
TEST_F(HmiEdgesTest, TheJournalStaysWithinItsLimit) {
    constexpr qint64 Limit = 1024 * 1024;
    QFile old(journalPath);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    for (int line = 0; old.size() < Limit - 8; ++line) {
        old.write(QByteArray("set Probe ") + QByteArray::number(line).rightJustified(8, '0') +
                  '\n');
    }
    old.close();

    RecordingClient shell;
    shell.client->start();
    ASSERT_TRUE(shell.awaitStartResult());
    ASSERT_EQ(shell.startResults, QList<bool>{true});
    const QStringList lines = journal();
    EXPECT_LE(QFileInfo(journalPath).size(), Limit / 2 + 64);
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("set Probe ")))
        << lines.first().toStdString();
    EXPECT_EQ(lines.first().size(), QStringLiteral("set Probe 00000000").size());
    EXPECT_EQ(lines.last(), QStringLiteral("started"));
    EXPECT_EQ(QFileInfo(journalPath).permissions() &
                  ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFile::Permissions());
}

// The processes whose parent is `parent`.
QList<pid_t> childrenOf(pid_t parent) {
    QList<pid_t> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isNumber = false;
        const pid_t pid = entry.toInt(&isNumber);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isNumber || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (command) state parent ...", the command perhaps with blanks and parentheses.
        const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
        if (fields.size() > 2 && fields.at(2).toInt() == parent) {
            children.append(pid);
        }
    }
    return children;
}

// The real shell of an installed line, killed.
TEST(HmiShellCrashTest, RuntimeOfAKilledShellEndsItselfAndAHungOneIsReplacedByTheNextShell) {
    InstalledLine line;
    auto startedCount = [&] { return line.journal().count(QStringLiteral("started")); };

    // Killed: its runtime finds its shell gone, says so and ends.
    line.startShell();
    ASSERT_TRUE(waitUntil([&] { return startedCount() == 1; }));
    const qint64 firstShell = line.shell.processId();
    line.shell.kill();
    line.shell.waitForFinished();
    const QStringList endOfFirst{QStringLiteral("shell-gone %1").arg(firstShell),
                                 QStringLiteral("ended")};
    EXPECT_TRUE(waitUntil([&] {
        const QStringList journal = line.journal();
        return journal.mid(journal.size() - 2) == endOfFirst;
    })) << line.journal().join('\n').toStdString();

    // Killed while its runtime hangs: the next shell's runtime replaces it.
    line.environment.insert(QStringLiteral("KESTRIX_HMI_COMMAND"),
                            line.hmi() + QStringLiteral(" --hang-after-s 1"));
    line.startShell();
    ASSERT_TRUE(waitUntil([&] { return startedCount() == 2; }));
    const QList<pid_t> runtimes = childrenOf(static_cast<pid_t>(line.shell.processId()));
    ASSERT_EQ(runtimes.size(), 1);
    ASSERT_TRUE(waitUntil([&] { return line.journal().contains("hanging"); }));
    line.shell.kill();
    line.shell.waitForFinished();

    line.environment.remove(QStringLiteral("KESTRIX_HMI_COMMAND"));  // the runtime beside it
    line.startShell();
    ASSERT_TRUE(waitUntil([&] { return startedCount() == 3; }))
        << line.journal().join('\n').toStdString();
    EXPECT_TRUE(line.journal().contains(QStringLiteral("replaced %1").arg(runtimes.first())))
        << line.journal().join('\n').toStdString();
    EXPECT_TRUE(waitUntil([&] { return !ProcessIdentity::of(runtimes.first()); }));
}

}  // namespace
}  // namespace kestrix
