// A plug-in whose library cannot be loaded: it needs a variable that no library defines, which
// the dynamic loader must resolve when the library is opened.
#include <QObject>
#include <QWidget>

#include "host/ControlPlugin.h"

extern "C" int kestrix_test_variable_defined_nowhere;

namespace kestrix::test {

class UnloadablePlugin : public QObject, public ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_unloadable.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& /*progId*/, QWidget* parent) override {
        auto* control = new QWidget(parent);
        control->resize(kestrix_test_variable_defined_nowhere, 1);
        return control;
    }
};

}  // namespace kestrix::test

#include "test_unloadable_plugin.moc"
