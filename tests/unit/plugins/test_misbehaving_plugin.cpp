// Plug-in modules that break the host's contract, one library each: the build names the control
// in KESTRIX_TEST_CONTROL.
#include <kestrix/ControlPlugin.h>
#include <QDate>
#include <QWidget>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

namespace kestrix::test {

// Init takes a date where the machine name goes (no name converts), Refresh is missing, and
// Terminate throws.
class FaultyModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short /*unit*/, short /*machine*/, QDate /*name*/, bool /*value*/) {}
    Q_INVOKABLE void Terminate(bool /*value*/) { throw std::runtime_error("relay stuck"); }
    int absoluteHoehe() const { return 1200; }
};

// Cannot be created: its licence is missing.
class ThrowingModule : public QWidget {
    Q_OBJECT
public:
    explicit ThrowingModule(QWidget* parent) : QWidget(parent) {
        throw std::runtime_error("licence missing");
    }
};

class CrashingModule : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short, short, const QString&, bool) { std::raise(SIGSEGV); }
};

class HangingModule : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short, short, const QString&, bool) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
};

}  // namespace kestrix::test

KESTRIX_CONTROL_PLUGIN(MisbehavingPlugin, kestrix::test::KESTRIX_TEST_CONTROL)

#include "test_misbehaving_plugin.moc"
