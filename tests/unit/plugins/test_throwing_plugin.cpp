// A plug-in that loads but fails to create its control.
#include <QObject>
#include <QWidget>
#include <stdexcept>

#include "host/ControlPlugin.h"

namespace kestrix::test {

class ThrowingPlugin : public QObject, public ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_throwing.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& /*progId*/, QWidget* /*parent*/) override {
        throw std::runtime_error("licence missing");
    }
};

}  // namespace kestrix::test

#include "test_throwing_plugin.moc"
