// A Qt plug-in of ours whose metadata names no ProgID: the registry must pass it over.
#include <QObject>
#include <QWidget>

#include <kestrix/ControlPlugin.h>

namespace kestrix::test {

class AnonymousPlugin : public QObject, public ControlPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_anonymous.json")
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& /*progId*/, QWidget* parent) override {
        return new QWidget(parent);
    }
};

}  // namespace kestrix::test

#include "test_anonymous_plugin.moc"
