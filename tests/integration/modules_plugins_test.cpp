// The sample plug-in modules as the host sees them: each library loaded from the program's
// plug-in folder, its module created by ProgID and reached only late-bound, through the
// meta-object and the extender.
#include <gtest/gtest.h>

#include <kestrix/ControlPlugin.h>
#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QPluginLoader>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

#include "TestApplication.h"
#include "host/EventInfo.h"
#include "host/Extender.h"
#include "host/InProcessControl.h"
#include "platform/Screen.h"

namespace kestrix {
namespace {

struct ModuleKind {
    const char* library;
    const char* progId;
    const char* eventButton;  // a button of the module that raises an event of its own
    const char* eventName;    // the event that button raises
};

const ModuleKind Kinds[] = {
    {"kestrix_module_xmelt", "XKX_Xmelt.Xmelt", "refillButton", "RefillRequested"},
    {"kestrix_module_ocr", "XKX_OCR.OCR", "resetButton", "CountersReset"},
    {"kestrix_module_stamp", "XKX_StampInspection.Stamp", "resetButton", "CountersReset"},
    {"kestrix_module_stampboxer", "XKX_StampInspectionBoxer.Stamp", "ejectButton",
     "BoxEjectRequested"},
    {"kestrix_module_tarvo", "XKX_Tarvo.Tarvo", "pauseButton", "PauseChanged"},
    {"kestrix_module_dirtyfilter", "XKX_DirtyFilterKeyence.DirtyFilter", "cleanedButton",
     "FilterCleaned"},
    {"kestrix_module_topfold", "XKX_TopFold.TopFold", "resetButton", "CountersReset"},
    {"kestrix_module_csi", "XKX_ClosureStampInspection.CSI", "resetButton", "CountersReset"},
};

void PrintTo(const ModuleKind& kind, std::ostream* out) {
    *out << kind.progId;
}

// The width the host gives every module: PictureHaupt's 11235 twips at 15 twips per pixel.
constexpr int HostWidthPixels = 749;

QString pluginFolder() {
    QString buildDir = qEnvironmentVariable("KESTRIX_BUILD_DIR");
    if (buildDir.isEmpty()) {
        return QStringLiteral(KESTRIX_PRODUCT_PLUGIN_DIR);
    }
    return buildDir + QStringLiteral("/Program/Kestrix/plugins");
}

QString libraryPath(const ModuleKind& kind) {
    return pluginFolder() + QLatin1Char('/') + QLatin1String(kind.library) + QStringLiteral(".so");
}

class ModulePluginTest : public ::testing::TestWithParam<ModuleKind> {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override {
        loader_ = std::make_unique<QPluginLoader>(libraryPath(GetParam()));
        plugin_ = qobject_cast<ControlPlugin*>(loader_->instance());
        ASSERT_NE(plugin_, nullptr) << qPrintable(loader_->errorString());
        container_ = std::make_unique<QWidget>();
        control_ = plugin_->createControl(QLatin1String(GetParam().progId), container_.get());
        ASSERT_NE(control_, nullptr);
        extender_ = InProcessControl::extend(control_, QLatin1String(GetParam().progId),
                                             QStringLiteral("O1"), ScreenTwips{15.0f, 15.0f});
        QObject::connect(extender_, &Extender::ObjectEvent, extender_,
                         [this](const EventInfo& info) { events_.push_back(info); });
    }

    // Init as the host assigns it: unit, machine number and machine name, then the value True.
    void init(short unit, short machine, const QString& name) {
        extender_->let(QStringLiteral("Init"), true,
                       {QVariant::fromValue(unit), QVariant::fromValue(machine), name});
    }

    template <class Child>
    Child* child(const char* objectName) const {
        return control_->findChild<Child*>(QLatin1String(objectName));
    }

    bool anyTimerActive() const {
        for (auto* timer : control_->findChildren<QTimer*>()) {
            if (timer->isActive()) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<QPluginLoader> loader_;
    ControlPlugin* plugin_ = nullptr;
    std::unique_ptr<QWidget> container_;
    QWidget* control_ = nullptr;
    Extender* extender_ = nullptr;
    std::vector<EventInfo> events_;
};

TEST_P(ModulePluginTest, MetadataNamesTheKindsProgIdAndNoOtherIsCreated) {
    QJsonObject metaData = loader_->metaData().value(QStringLiteral("MetaData")).toObject();
    EXPECT_EQ(metaData.value(QStringLiteral("ProgID")).toString(),
              QLatin1String(GetParam().progId));

    EXPECT_NE(
        plugin_->createControl(QString::fromLatin1(GetParam().progId).toUpper(), container_.get()),
        nullptr);
    EXPECT_EQ(plugin_->createControl(QStringLiteral("XKX_Unknown.Unknown"), container_.get()),
              nullptr);
}

TEST_P(ModulePluginTest, TakesTheHostsCallsAndShowsItsIdentityAfterInit) {
    EXPECT_TRUE(child<QLabel>("identityLabel")->text().contains(QStringLiteral("not initialised")));

    init(2, 3, QStringLiteral("Cartoner West"));
    extender_->let(QStringLiteral("Refresh"), true);

    QString kind = child<QLabel>("kindLabel")->text();
    QString identity = child<QLabel>("identityLabel")->text();
    EXPECT_TRUE(kind.endsWith(QStringLiteral(" 2"))) << qPrintable(kind);
    EXPECT_TRUE(identity.contains(QStringLiteral("Machine 3"))) << qPrintable(identity);
    EXPECT_TRUE(identity.contains(QStringLiteral("Cartoner West"))) << qPrintable(identity);
    EXPECT_TRUE(anyTimerActive());
}

TEST_P(ModulePluginTest, KeepsTheHeightItReportsAndFitsTheHostsWidth) {
    int twips = extender_->get(QStringLiteral("AbsoluteHoehe")).toInt();
    ASSERT_GE(twips, 1500);
    ASSERT_LE(twips, 3000);

    control_->resize(HostWidthPixels, 10);
    container_->show();
    control_->show();
    QCoreApplication::processEvents();

    double twipsPerPixel = 1440.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_EQ(control_->height(), qRound(twips / twipsPerPixel));
    EXPECT_LE(control_->minimumSizeHint().height(), control_->height());
    for (auto* widget : control_->findChildren<QWidget*>()) {
        if (!widget->isVisible()) {
            continue;
        }
        QRect inModule(widget->mapTo(control_, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(control_->rect().contains(inModule))
            << qPrintable(widget->objectName()) << " of "
            << qPrintable(widget->metaObject()->className()) << " lies outside the module";
    }
}

TEST_P(ModulePluginTest, ItsButtonRaisesAnEventThatReachesTheHost) {
    init(1, 1, QStringLiteral("Line 1"));
    auto* button = child<QPushButton>(GetParam().eventButton);
    ASSERT_NE(button, nullptr);

    button->click();

    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].Name, QLatin1String(GetParam().eventName));
}

TEST_P(ModulePluginTest, TerminateStopsItsWorkAndItsEvents) {
    init(1, 1, QStringLiteral("Line 1"));
    ASSERT_TRUE(anyTimerActive());

    extender_->let(QStringLiteral("Terminate"), true);
    child<QPushButton>(GetParam().eventButton)->click();
    // Neither a late Refresh nor a second Init brings it back to life.
    extender_->let(QStringLiteral("Refresh"), true);
    init(1, 1, QStringLiteral("Line 1"));

    EXPECT_FALSE(anyTimerActive());
    EXPECT_TRUE(events_.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ModulePluginTest, ::testing::ValuesIn(Kinds),
                         [](const ::testing::TestParamInfo<ModuleKind>& info) {
                             return std::string(info.param.library).substr(15);
                         });

TEST(ModuleKinds, EachKindHasAHeightOfItsOwn) {
    ensureApplication();
    std::set<int> heights;
    QWidget container;
    for (const auto& kind : Kinds) {
        QPluginLoader loader(libraryPath(kind));
        auto* plugin = qobject_cast<ControlPlugin*>(loader.instance());
        ASSERT_NE(plugin, nullptr) << qPrintable(loader.errorString());
        QWidget* control = plugin->createControl(QLatin1String(kind.progId), &container);
        heights.insert(control->property("AbsoluteHoehe").toInt());
    }
    EXPECT_EQ(heights.size(), std::size(Kinds));
}

}  // namespace
}  // namespace kestrix
