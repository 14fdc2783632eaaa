#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "FakeControlFactory.h"
#include "FaultOf.h"
#include "RegisteredProgIds.h"
#include "TestApplication.h"
#include "fault/Fault.h"
#include "host/Extender.h"
#include "host/PluginControlFactory.h"

namespace kestrix::test {

const QString TestPlugins = QStringLiteral(KESTRIX_TEST_PLUGIN_DIR);
const QString ProductPlugins = QStringLiteral(KESTRIX_PRODUCT_PLUGIN_DIR);
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
    QApplication& app = ensureApplication();
    QWidget container;
    QTemporaryDir folder;
};

TEST_F(FactoryTest, RegistersByProgIdAndLoadsOnlyAtTheFirstCreation) {
    // A copy of its own, so that nothing has loaded this library yet.
    QString library = folder.filePath("module.so");
    ASSERT_TRUE(writeFile(library, moduleLibrary()));
    PluginControlFactory factory({TestPlugins, folder.path()}, ScreenTwips{});
    EXPECT_EQ(registeredProgIds(factory),
              (QStringList{"KestrixTest.Crashing", "KestrixTest.Faulty", "KestrixTest.Hanging",
                           ModuleProgId, "KestrixTest.Throwing", "KestrixTest.Unloadable"}));
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
    Extender* faulty = factory.Add("KestrixTest.Faulty", "O5", &container);
    Fault ended = faultOf([&] { faulty->let("Terminate", true); });
    EXPECT_EQ(ended.description(), QStringLiteral("relay stuck"));
    EXPECT_EQ(ended.source(), QStringLiteral("KestrixTest.Faulty"));
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

TEST_F(FactoryTest, SiteFoldersComeFirstAndShadowTheShippedLibraryOfTheSameProgId) {
    // The variable's folders, then those of the site's list, then the program's own.
    QTemporaryDir second;
    const QString list = folder.filePath("plugin-path");
    ASSERT_TRUE(writeFile(list, "# the line's own modules\n\n  /srv/line/plugins \n/opt/v\n"));
    qputenv("KESTRIX_SITE_PLUGIN_PATH_FILE", list.toLocal8Bit());
    qputenv("KESTRIX_PLUGIN_PATH", (folder.path() + "::" + second.path()).toLocal8Bit());
    QStringList folders = PluginControlFactory::defaultFolders();
    EXPECT_EQ(folders, (QStringList{folder.path(), second.path(), "/srv/line/plugins", "/opt/v",
                                    QCoreApplication::applicationDirPath() + "/plugins"}));
    // A list that others may write to could name any folder: it is not read.
    ASSERT_TRUE(QFile::setPermissions(
        list, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
    EXPECT_EQ(PluginControlFactory::defaultFolders().size(), 3);
    qunsetenv("KESTRIX_PLUGIN_PATH");
    qunsetenv("KESTRIX_SITE_PLUGIN_PATH_FILE");

    // The site's library names the ProgID in other case: it still replaces the sample.
    const QString site = TestPlugins + "/site/kestrix_test_site_ocr_plugin.so";
    const QString sample = ProductPlugins + "/kestrix_module_ocr.so";
    PluginControlFactory factory({TestPlugins + "/site", ProductPlugins}, ScreenTwips{});
    const auto registrations = factory.registrations();
    auto ocr = std::find_if(registrations.begin(), registrations.end(),
                            [](const auto& r) { return r.library.endsWith("site_ocr_plugin.so"); });
    ASSERT_NE(ocr, registrations.end());
    EXPECT_EQ(ocr->progId, QStringLiteral("xkx_ocr.ocr"));
    EXPECT_EQ(ocr->library, site);
    EXPECT_EQ(ocr->shadowed, QStringList{sample});
    QWidget* control = factory.Add("XKX_OCR.OCR", "O1", &container)->control();
    EXPECT_STREQ(control->metaObject()->className(), "kestrix::test::TestModule");
    EXPECT_FALSE(QPluginLoader(sample).isLoaded());
}

TEST_F(FactoryTest, TheFakeRegistryFollowsTheRealOnesProgIdRule) {
    PluginControlFactory real({ProductPlugins}, ScreenTwips{});
    FakeControlFactory fake;
    QRandomGenerator random(20260327);
    for (const QString& progId : registeredProgIds(real)) {
        for (int round = 0; round < 20; ++round) {
            QString variant = progId;
            for (QChar& c : variant) {
                c = random.bounded(2) != 0 ? c.toUpper() : c.toLower();
            }
            EXPECT_TRUE(real.isRegistered(variant)) << qPrintable(variant);
            EXPECT_EQ(fake.isRegistered(variant), fake.isRegistered(progId)) << qPrintable(variant);
        }
    }
    EXPECT_FALSE(real.isRegistered("XKX_OCR.OCR2"));
    EXPECT_FALSE(fake.isRegistered("XKX_OCR.OCR2"));
}

// A folder or library that another user may write to could carry that user's code into the
// shell; so could a relative folder, which depends on where the shell was started, a folder of
// another user's, and one that lies in a folder (or below one, at any depth) where anyone may
// rename it and put another in its place.
TEST_F(FactoryTest, RelativeAndOthersWritableFoldersAndLibrariesAreSkipped) {
    const auto makeFolderWithModule = [&](const QString& path, mode_t mode) {
        EXPECT_TRUE(QDir().mkpath(path));
        EXPECT_TRUE(writeFile(path + "/module.so", moduleLibrary()));
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    };
    const QString groupWritable = makeFolderWithModule(folder.filePath("group"), 0775);
    const QString shared = makeFolderWithModule(folder.filePath("shared"), 0777);
    const QString inShared = makeFolderWithModule(shared + "/mine", 0755);
    // Two levels below: its own folder is safe, but the one above that could be renamed away.
    const QString deepInShared = makeFolderWithModule(inShared + "/deeper", 0755);
    QStringList skippedAsUnsafe{"plug-in folder \"" + groupWritable +
                                    "\" skipped: writable by others than its owner and root",
                                "plug-in folder \"" + inShared + "\" skipped: lies in " + shared +
                                    ", which others may write to and which is not sticky",
                                "plug-in folder \"" + deepInShared + "\" skipped: lies in " +
                                    shared + ", which others may write to and which is not sticky"};
    QStringList unsafe{groupWritable, inShared, deepInShared};
    if (::geteuid() == 0) {
        const QString foreign = makeFolderWithModule(folder.filePath("foreign"), 0755);
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        unsafe.append(foreign);
        skippedAsUnsafe.append("plug-in folder \"" + foreign +
                               "\" skipped: belongs to another user (65534)");
    }
    PluginControlFactory unsafeFolders(unsafe, ScreenTwips{});
    EXPECT_TRUE(registeredProgIds(unsafeFolders).isEmpty());
    EXPECT_EQ(unsafeFolders.skipped(), skippedAsUnsafe);

    QTemporaryDir open;
    ASSERT_TRUE(writeFile(open.filePath("module.so"), moduleLibrary()));
    ASSERT_TRUE(QFile::setPermissions(open.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::WriteOther | QFile::ExeOther));
    const QString library = folder.filePath("module.so");
    ASSERT_TRUE(writeFile(library, moduleLibrary()));
    ASSERT_TRUE(QFile::setPermissions(
        library, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));

    // Run from the test plug-ins' folder, "." would find libraries if it were searched.
    const QString started = QDir::currentPath();
    QDir::setCurrent(TestPlugins);
    PluginControlFactory factory({".", "plugins", open.path(), folder.path()}, ScreenTwips{});
    QDir::setCurrent(started);

    EXPECT_TRUE(registeredProgIds(factory).isEmpty());
    const QString others = QStringLiteral(" skipped: writable by others than its owner and root");
    EXPECT_EQ(factory.skipped(),
              (QStringList{"plug-in folder \".\" skipped: not an absolute path",
                           "plug-in folder \"plugins\" skipped: not an absolute path",
                           "plug-in folder \"" + open.path() + "\"" + others,
                           "plug-in library \"" + library + "\"" + others}));

    // Owner-only again, the library is registered.
    ASSERT_TRUE(QFile::setPermissions(library, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_TRUE(PluginControlFactory({folder.path()}, ScreenTwips{}).isRegistered(ModuleProgId));
}

}  // namespace kestrix::test
