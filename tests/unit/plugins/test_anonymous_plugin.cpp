// A Qt plug-in of ours whose metadata names no ProgID: the registry must pass it over. Built with
// KESTRIX_TEST_CONTROL_CHARACTERS, its ProgID holds a line break and a terminal escape.
#include <QObject>
#include <QWidget>

#include <kestrix/ControlPlugin.h>

namespace kestrix::test {

class AnonymousPlugin : public QObject, public ControlPlugin {
    Q_OBJECT
#ifdef KESTRIX_TEST_CONTROL_CHARACTERS
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_controlchars.json")
#else
    Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "test_anonymous.json")
#endif
    Q_INTERFACES(kestrix::ControlPlugin)
public:
    QWidget* createControl(const QString& /*progId*/, QWidget* parent) override {
        return new QWidget(parent);
    }
};

}  // namespace kestrix::test

#include "test_anonymous_plugin.moc"
