// A plug-in whose library cannot be loaded: it needs a variable that no library defines, which
// the dynamic loader must resolve when the library is opened.
#include <kestrix/ControlPlugin.h>
#include <QWidget>

extern "C" int kestrix_test_variable_defined_nowhere;

namespace kestrix::test {

class UnloadableModule : public QWidget {
public:
    explicit UnloadableModule(QWidget* parent) : QWidget(parent) {
        resize(kestrix_test_variable_defined_nowhere, 1);
    }
};

}  // namespace kestrix::test

KESTRIX_CONTROL_PLUGIN(UnloadablePlugin, kestrix::test::UnloadableModule)

#include "test_unloadable_plugin.moc"
