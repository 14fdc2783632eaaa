// A module whose events come as a storm: from Refresh on, every 50 ms a fresh single-shot timer
// raises Alarm, until Terminate. Each event's box runs a nested event loop in which the next
// timer fires, so the boxes nest as deep as the host lets them. It stands in for the OCR module
// (its ProgID), so that a line of OCR modules storms; it is built into a folder of its own.
#include <kestrix/ControlPlugin.h>
#include <QTimer>
#include <QWidget>

namespace kestrix::test {

class EventStormModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short, short, const QString&, bool) {}
    Q_INVOKABLE void Refresh(bool) {
        if (!storming_) {
            storming_ = true;
            raiseNext();
        }
    }
    Q_INVOKABLE void Terminate(bool) { storming_ = false; }
    int absoluteHoehe() const { return 900; }

Q_SIGNALS:
    void Alarm(int number);

private:
    // The next timer is set before the event is raised, so it fires while the event's box is open.
    void raiseNext() {
        QTimer::singleShot(50, this, [this] {
            if (storming_) {
                raiseNext();
                emit Alarm(++raised_);
            }
        });
    }

    bool storming_ = false;
    int raised_ = 0;
};

}  // namespace kestrix::test

KESTRIX_CONTROL_PLUGIN(EventStormPlugin, kestrix::test::EventStormModule)

#include "test_eventstorm_plugin.moc"
