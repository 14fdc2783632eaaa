// A module that takes its time to start: Init takes 50 ms, as a module that first reaches its
// device might. It stands in for the hot-melt tank (its ProgID), so that the start of a line's
// modules lasts long enough to be interrupted; it is built into the stand-ins' folder.
#include <kestrix/ControlPlugin.h>
#include <QThread>
#include <QWidget>

namespace kestrix::test {

class SlowStartModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short, short, const QString&, bool) { QThread::msleep(50); }
    Q_INVOKABLE void Refresh(bool) {}
    Q_INVOKABLE void Terminate(bool) {}
    int absoluteHoehe() const { return 2400; }
};

}  // namespace kestrix::test

KESTRIX_CONTROL_PLUGIN(SlowStartPlugin, kestrix::test::SlowStartModule)

#include "test_slowstart_plugin.moc"
