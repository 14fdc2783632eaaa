// Plug-in modules that break the host's contract, one library each: the build names the control
// in KESTRIX_TEST_CONTROL (and, for LeavingModule, where it leaves a process behind in
// KESTRIX_TEST_LEAVE_AT; for another interface, the IID in KESTRIX_TEST_IID).
#include <fcntl.h>
#include <kestrix/ControlPlugin.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDate>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace kestrix::test {

// When KESTRIX_TEST_MISBEHAVE_AFTER_MS is set, the modules that crash, hang or exit do so that
// many milliseconds after Init, from their own timer (at a moment of the module's choosing, not in
// a call of the shell's); otherwise each does so at its own moment (below).
int misbehaveAfterMs(int otherwise) {
    bool set = false;
    const int ms = qEnvironmentVariableIntValue("KESTRIX_TEST_MISBEHAVE_AFTER_MS", &set);
    return set ? ms : otherwise;
}

// Runs the misbehaviour at once (in Init) or from the module's timer after the time set.
template <class Misbehaviour>
void misbehave(QObject* module, int otherwiseMs, Misbehaviour misbehaviour) {
    const int ms = misbehaveAfterMs(otherwiseMs);
    if (ms < 0) {
        misbehaviour();
    } else {
        QTimer::singleShot(ms, module, misbehaviour);
    }
}

void hang() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

// Appends the text as a line to the file the environment variable names, if it names one.
void appendLine(const char* variable, const QString& text) {
    const QByteArray marks = qgetenv(variable);
    if (marks.isEmpty()) {
        return;
    }
    const int file = open(marks.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (file >= 0) {
        const QByteArray line = text.toUtf8() + '\n';
        (void)!write(file, line.constData(), static_cast<size_t>(line.size()));
        close(file);
    }
}

// As it is destroyed, a module appends its name as a line to the file KESTRIX_TEST_DESTROYED_MARKS
// names; the module named in KESTRIX_TEST_HANG_IN_DESTRUCTOR hangs there instead.
void markDestroyed(const QString& name) {
    if (qEnvironmentVariable("KESTRIX_TEST_HANG_IN_DESTRUCTOR") == name) {
        hang();
    }
    appendLine("KESTRIX_TEST_DESTROYED_MARKS", name);
}

// Keeps the contract; the modules below that derive from it break it in one way each.
class ContractModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    ~ContractModule() override { markDestroyed(objectName()); }
    Q_INVOKABLE virtual void Init(short, short, const QString&, bool) {}
    Q_INVOKABLE void Refresh(bool) {}
    Q_INVOKABLE virtual void Terminate(bool) {}
    int absoluteHoehe() const { return 1200; }
};

// Init takes a date where the machine name goes (no name converts), Refresh is a C++ function
// but not Q_INVOKABLE, and Terminate throws.
class FaultyModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short /*unit*/, short /*machine*/, QDate /*name*/, bool /*value*/) {}
    void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool /*value*/) { throw std::runtime_error("relay stuck"); }
    int absoluteHoehe() const { return 1200; }
};
void FaultyModule::Refresh(bool /*value*/) {}

// Cannot be created: its licence is missing.
class ThrowingModule : public QWidget {
    Q_OBJECT
public:
    explicit ThrowingModule(QWidget* parent) : QWidget(parent) {
        throw std::runtime_error("licence missing");
    }
};

// Crashes (SIGSEGV) in Init.
class CrashingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        misbehave(this, -1, [] { std::raise(SIGSEGV); });
    }
};

// Hangs in Init.
class HangingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override { misbehave(this, -1, hang); }
};

// Writes the container's last record to every pipe it finds open: as it is created (also in the
// checker's own process, where it finds the container's record channel), and in Init, after which
// it ends the process.
class ForgingModule : public ContractModule {
    Q_OBJECT
public:
    explicit ForgingModule(QWidget* parent) : ContractModule(parent) { forgeEnd(); }
    void Init(short, short, const QString&, bool) override {
        forgeEnd();
        _exit(0);
    }

private:
    static void forgeEnd() {
        const char end[] = "{\"record\":\"end\"}\n";
        std::signal(SIGPIPE, SIG_IGN);  // some pipes it finds have no reader
        for (int fd = 3; fd < 1024; ++fd) {
            struct stat status {};
            if (fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
                (void)!write(fd, end, sizeof end - 1);
            }
        }
    }
};

// Its own timer's slot throws.
class TimerThrowingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        QTimer::singleShot(100, this, [] { throw std::runtime_error("relay stuck"); });
    }
};

// Its own timer's slot holds the window's thread for 2 s, from right after Init: the shell's next
// call (Refresh) waits for it, however fast the machine.
class BlockingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        QTimer::singleShot(0, this,
                           [] { std::this_thread::sleep_for(std::chrono::milliseconds(2000)); });
    }
};

// Ends its process by exit(3) a second after Init, as a driver that gives up would.
class ExitingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        misbehave(this, 1000, [] { std::exit(3); });
    }
};

// A line edit across the top half of the module, on a background that takes no focus; each text
// the operator types into it is an event. When KESTRIX_TEST_TYPED_MARKS names a file, each text is
// appended there instead, a line of the module's name and the text, and no event is raised.
class TypingModule : public ContractModule {
    Q_OBJECT
public:
    explicit TypingModule(QWidget* parent) : ContractModule(parent), edit_(new QLineEdit(this)) {
        setFixedHeight(80);
        connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (qEnvironmentVariableIsSet("KESTRIX_TEST_TYPED_MARKS")) {
                appendLine("KESTRIX_TEST_TYPED_MARKS", objectName() + QLatin1Char(' ') + text);
            } else {
                emit Typed(text);
            }
        });
    }

Q_SIGNALS:
    void Typed(const QString& text);

protected:
    void resizeEvent(QResizeEvent*) override { edit_->setGeometry(0, 0, width(), height() / 2); }

private:
    QLineEdit* edit_;
};

// Emits its events from a thread of its own, which Terminate ends.
class ThreadEmittingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        worker_ = std::thread([this] {
            for (int tick = 1; tick <= 3; ++tick) {
                emit Ticked(tick);
            }
        });
    }
    void Terminate(bool) override {
        if (worker_.joinable()) {
            worker_.join();
        }
    }

Q_SIGNALS:
    void Ticked(int tick);

private:
    std::thread worker_;
};

#ifdef KESTRIX_TEST_LEAVE_AT
// Starts a process that keeps every descriptor it inherited and outlives the module: at load (and
// that process one of its own, a grandchild), in Init, in Terminate, or in Init as a daemon
// (setsid and a second fork, out of the group).
enum class LeaveAt { Load, Init, Terminate, Daemon };
constexpr LeaveAt Leave = LeaveAt::KESTRIX_TEST_LEAVE_AT;

// Returns once the last process it starts runs, so that how soon the module ends after it (on a
// busy machine, say) does not decide whether it was left behind.
void leaveProcess() {
    int started[2];
    if (pipe(started) != 0) {
        return;
    }
    if (fork() != 0) {
        close(started[1]);
        char byte = 0;
        (void)!read(started[0], &byte, 1);
        close(started[0]);
        return;
    }
    close(started[0]);
    if (Leave == LeaveAt::Daemon) {
        setsid();
        if (fork() != 0) {
            _exit(0);
        }
    }
    if (Leave == LeaveAt::Load && fork() != 0) {
        close(started[1]);  // its own process says when it runs
    } else {
        (void)!write(started[1], "x", 1);
        close(started[1]);
    }
    sleep(30);
    _exit(0);
}

const bool leftAtLoad = [] {
    if (Leave == LeaveAt::Load) {
        leaveProcess();
    }
    return true;
}();

class LeavingModule : public ContractModule {
    Q_OBJECT
public:
    using ContractModule::ContractModule;
    void Init(short, short, const QString&, bool) override {
        if (Leave == LeaveAt::Init || Leave == LeaveAt::Daemon) {
            leaveProcess();
        }
    }
    void Terminate(bool) override {
        if (Leave == LeaveAt::Terminate) {
            leaveProcess();
        }
    }
};
#endif

}  // namespace kestrix::test

#ifdef KESTRIX_TEST_IID
// A library built for another identity of the interface.
class MisbehavingPlugin : public QObject, public kestrix::ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KESTRIX_TEST_IID FILE "kestrix_control_plugin.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& /*progId*/, QWidget* parent) override {
        return new kestrix::test::KESTRIX_TEST_CONTROL(parent);
    }
};
#else
KESTRIX_CONTROL_PLUGIN(MisbehavingPlugin, kestrix::test::KESTRIX_TEST_CONTROL)
#endif

#include "test_misbehaving_plugin.moc"
