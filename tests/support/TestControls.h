#pragma once

#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace kestrix {

// One call that a test control received: the control's name, the member and its arguments in
// order (for an assignment, the assigned value last).
struct ControlCall {
    QString control;
    QString member;
    QVariantList arguments;
};

// The calls of all controls of one test, in the order they arrived.
class CallJournal {
public:
    std::vector<ControlCall> calls;

    // "O1.Init", "O1.Refresh", ...: the order of calls across controls, without arguments.
    QStringList sequence() const;
    // The calls that one control received.
    std::vector<ControlCall> of(const QString& control) const;
};

// What the test controls have in common: where they record their calls, the height they report
// and an event of their own that a test raises on demand. None of these are members the host can
// reach late-bound; each control below declares its own set.
class TestControl : public QWidget {
    Q_OBJECT
public:
    explicit TestControl(QWidget* parent = nullptr);

    // The name calls are recorded under; the factory uses the control's name ("O1").
    QString label;
    std::shared_ptr<CallJournal> journal = std::make_shared<CallJournal>();
    int heightTwips = 1500;

    // This control's own calls, in order.
    std::vector<ControlCall> calls() const { return journal->of(label); }
    // Raises TestEvent, which the host receives as an event of this control.
    void raiseEvent(const QString& text) { emit TestEvent(text); }

Q_SIGNALS:
    void TestEvent(const QString& text);

protected:
    void record(const QString& member, const QVariantList& arguments);
};

// A well-behaved control with every member of a plug-in module; AbsoluteHoehe can be set.
class RecordingControl : public TestControl {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe WRITE setAbsoluteHoehe)
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return heightTwips; }
    void setAbsoluteHoehe(int twips) { heightTwips = twips; }
};

// A control that has no Init.
class ControlWithoutInit : public TestControl {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return heightTwips; }
};

// A control whose Refresh throws std::runtime_error("refresh failed"), after recording the call.
class ControlThrowingInRefresh : public TestControl {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return heightTwips; }
};

// A control whose Terminate fails: it throws std::runtime_error("terminate failed"), after
// recording the call.
class ControlFailingTerminate : public TestControl {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return heightTwips; }
};

// A control that has no AbsoluteHoehe.
class ControlWithoutAbsoluteHoehe : public TestControl {
    Q_OBJECT
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
};

// A control that raises its event Initialising(unit, machine) in the middle of Init: after
// recording the call, before Init returns.
class ControlRaisingEventInInit : public TestControl {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    using TestControl::TestControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return heightTwips; }

Q_SIGNALS:
    void Initialising(short unit, short machine);
};

// A control that raises TestEvent from a thread of its own: raiseFromThread(n) starts a thread
// that raises n events one after the other. Terminate, and the control's end, wait for the thread.
class ControlEmittingFromThread : public RecordingControl {
    Q_OBJECT
public:
    using RecordingControl::RecordingControl;
    ~ControlEmittingFromThread() override;

    void raiseFromThread(int count);
    void waitForThread();
    Q_INVOKABLE void Terminate(bool value);

    // The emits of the thread that have returned.
    std::atomic<int> returned{0};

private:
    std::thread thread_;
};

// A control whose own timer throws std::runtime_error("relay stuck") at every tick, from Init on,
// and whose single-shot timer throws "relay stuck once" (Qt's own object runs that one).
class ControlThrowingFromTimer : public RecordingControl {
    Q_OBJECT
public:
    using RecordingControl::RecordingControl;

    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);

    QTimer timer{this};
};

}  // namespace kestrix
