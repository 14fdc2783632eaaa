// A plug-in module as the host sees one: members declared for late binding, reached across the
// library boundary.
#include <QObject>
#include <QWidget>
#include <stdexcept>

#include "host/ControlPlugin.h"

namespace kestrix::test {

class TestModule : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    using QWidget::QWidget;
    Q_INVOKABLE void Init(short unit, short /*machine*/, const QString& /*name*/, bool /*value*/) {
        unit_ = unit;
    }
    Q_INVOKABLE void Terminate(bool /*value*/) { throw std::runtime_error("module already ended"); }
    int absoluteHoehe() const { return 1500 + unit_; }

private:
    short unit_ = 0;
};

class TestModulePlugin : public QObject, public ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_module.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& progId, QWidget* parent) override {
        return progId == QLatin1String("KestrixTest.Module") ? new TestModule(parent) : nullptr;
    }
};

}  // namespace kestrix::test

#include "test_module_plugin.moc"
