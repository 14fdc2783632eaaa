// A plug-in module that keeps the host's contract, as the host sees one: members declared for
// late binding and reached across the library boundary, an event raised during Init and one
// while it runs.
#include <kestrix/ControlPlugin.h>
#include <QTimer>
#include <QWidget>

namespace kestrix::test {

class TestModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short unit, short /*machine*/, const QString& name, bool /*value*/) {
        unit_ = unit;
        emit Started(unit, name);
        QTimer::singleShot(100, this, [this] { emit Measured(42.5); });
    }
    Q_INVOKABLE void Refresh(bool /*value*/) {}
    Q_INVOKABLE void Terminate(bool /*value*/) {}
    int absoluteHoehe() const { return 1500 + unit_; }

Q_SIGNALS:
    void Started(short unit, const QString& machineName);
    void Measured(double value);

private:
    short unit_ = 0;
};

}  // namespace kestrix::test

KESTRIX_CONTROL_PLUGIN(TestModulePlugin, kestrix::test::TestModule)

#include "test_module_plugin.moc"
