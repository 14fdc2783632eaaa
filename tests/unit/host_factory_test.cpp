#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

#include "FaultOf.h"
#include "TestApplication.h"
#include "host/Extender.h"
#include "host/PluginControlFactory.h"
#include "log/Fault.h"

namespace kestrix::test {

QApplication& application() {
    return ensureApplication();
}

const QString TestPlugins = QStringLiteral(KESTRIX_TEST_PLUGIN_DIR);
const QString ModuleLibrary = TestPlugins + QStringLiteral("/kestrix_test_module_plugin.so");
const QString ModuleProgId = QStringLiteral("KestrixTest.Module");

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray moduleLibrary() {
    QFile file(ModuleLibrary);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FactoryTest : public ::testing::Test {
protected:
    QApplication& app = application();
    QWidget container;
    QTemporaryDir folder;
};

TEST_F(FactoryTest, RegistersByProgIdAndLoadsOnlyAtTheFirstCreation) {
    // A copy of its own, so that nothing has loaded this library yet.
    QString library = folder.filePath("module.so");
    ASSERT_TRUE(writeFile(library, moduleLibrary()));
    PluginControlFactory factory({TestPlugins, folder.path()}, ScreenTwips{});
    EXPECT_EQ(factory.registeredProgIds(),
              (QStringList{ModuleProgId, "KestrixTest.Throwing", "KestrixTest.Unloadable"}));
    PluginControlFactory copyOnly({folder.path()}, ScreenTwips{});
    EXPECT_FALSE(QPluginLoader(library).isLoaded());

    copyOnly.Add(ModuleProgId, "O1", &container);
    EXPECT_TRUE(QPluginLoader(library).isLoaded());
}

TEST_F(FactoryTest, CreatesTheControlHiddenInItsContainerUnderItsName) {
    PluginControlFactory factory({TestPlugins}, ScreenTwips{});
    container.show();
    Extender* extender = factory.Add(ModuleProgId, "O4", &container);
    QWidget* control = extender->control();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &container);
    EXPECT_EQ(control->objectName(), QStringLiteral("O4"));
    EXPECT_TRUE(control->isHidden());
    EXPECT_EQ(extender->parent(), control);

    // Late binding across the library boundary, with the ProgID naming the plug-in's faults.
    extender->let("Init", true, {2, 1, "Linie 1"});
    EXPECT_EQ(extender->get("AbsoluteHoehe").toInt(), 1502);
    Fault ended = faultOf([&] { extender->let("Terminate", true); });
    EXPECT_EQ(ended.description(), QStringLiteral("module already ended"));
    EXPECT_EQ(ended.source(), ModuleProgId);
}

TEST_F(FactoryTest, ControlsThatCannotBeCreatedFaultWith429) {
    PluginControlFactory factory({TestPlugins}, ScreenTwips{});
    const QString cannotCreate = Fault::standardDescription(ErrorNumber::CannotCreateObject);

    Fault unknown = faultOf([&] { factory.Add("XKX_OCR.OCR", "O3", &container); });
    EXPECT_EQ(unknown.number(), ErrorNumber::CannotCreateObject);
    EXPECT_EQ(unknown.description(), cannotCreate);
    EXPECT_EQ(unknown.source(), OwnFaultSource);

    Fault unloadable = faultOf([&] { factory.Add("KestrixTest.Unloadable", "O5", &container); });
    EXPECT_EQ(unloadable.number(), ErrorNumber::CannotCreateObject);
    EXPECT_TRUE(unloadable.description().startsWith(cannotCreate + ": "));
    EXPECT_TRUE(unloadable.description().contains("kestrix_test_variable_defined_nowhere"));

    Fault throwing = faultOf([&] { factory.Add("KestrixTest.Throwing", "O6", &container); });
    EXPECT_EQ(throwing.number(), ErrorNumber::CannotCreateObject);
    EXPECT_EQ(throwing.description(), cannotCreate + ": licence missing");
    EXPECT_TRUE(container.findChildren<QWidget*>().isEmpty());
}

TEST_F(FactoryTest, CorruptLibrariesCreateNoControls) {
    QByteArray library = moduleLibrary();
    ASSERT_TRUE(writeFile(folder.filePath("garbage.so"), QByteArray(4096, '\x7f')));
    ASSERT_TRUE(writeFile(folder.filePath("truncated.so"), library.left(4096)));
    ASSERT_TRUE(writeFile(folder.filePath("defaced.so"), library.replace(0, 4, "JUNK")));

    // A defaced library may still show its ProgID, but it cannot deliver a control.
    PluginControlFactory factory({folder.path(), folder.filePath("missing")}, ScreenTwips{});
    EXPECT_EQ(faultOf([&] { factory.Add(ModuleProgId, "O1", &container); }).number(),
              ErrorNumber::CannotCreateObject);
    EXPECT_TRUE(container.findChildren<QWidget*>().isEmpty());
}

TEST_F(FactoryTest, ThePluginPathAddsFoldersAfterTheProgramsOwn) {
    QTemporaryDir second;
    qputenv("KESTRIX_PLUGIN_PATH", (folder.path() + "::" + second.path()).toLocal8Bit());
    QStringList folders = PluginControlFactory::defaultFolders();
    qunsetenv("KESTRIX_PLUGIN_PATH");
    EXPECT_EQ(folders, (QStringList{QCoreApplication::applicationDirPath() + "/plugins",
                                    folder.path(), second.path()}));

    // The first library found for a ProgID wins.
    ASSERT_TRUE(writeFile(folder.filePath("first.so"), moduleLibrary()));
    ASSERT_TRUE(writeFile(second.filePath("later.so"), moduleLibrary()));
    PluginControlFactory factory(folders, ScreenTwips{});
    factory.Add(ModuleProgId, "O1", &container);
    EXPECT_TRUE(QPluginLoader(folder.filePath("first.so")).isLoaded());
    EXPECT_FALSE(QPluginLoader(second.filePath("later.so")).isLoaded());
}

}  // namespace kestrix::test
