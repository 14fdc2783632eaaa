#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QWidget>
#include <vector>

#include "TestApplication.h"
#include "host/Extender.h"
#include "host/LateBinding.h"
#include "host/PluginControlFactory.h"

namespace kestrix::test {

// The operator window's scroll bar, created through its real plug-in library.
class ScrollBarTest : public ::testing::Test {
protected:
    ScrollBarTest() {
        bar = factory.Add(QStringLiteral("HolvigScrollBar.ScrollBar"), QStringLiteral("ScrollBar"),
                          &window);
        QObject::connect(bar, &Extender::ObjectEvent,
                         [this](const EventInfo& info) { events.push_back(info); });
        rangeMax = dispIdOf(QStringLiteral("max"));
        pageSize = dispIdOf(QStringLiteral("pageupdo"));
        enabledFlag = dispIdOf(QStringLiteral("enabled"));
    }

    // The dispatch id the control declares for one of its members.
    int dispIdOf(const QString& member) const {
        for (const auto& [id, name] : LateBinding::dispIds(bar->control())) {
            if (name == member) {
                return id;
            }
        }
        ADD_FAILURE() << "the scroll bar declares no dispatch id for " << member.toStdString();
        return 0;
    }

    // The bar the operator moves.
    QScrollBar* handle() const { return bar->control()->findChild<QScrollBar*>(); }

    // The positions of the NeuePos events so far (their first argument).
    std::vector<int> positions() const {
        std::vector<int> result;
        for (const EventInfo& event : events) {
            EXPECT_EQ(event.Name, QStringLiteral("NeuePos"));
            EXPECT_EQ(event.Parameters.size(), 3);
            EXPECT_EQ(event.Parameters.value(0).metaType().id(), QMetaType::Short);
            result.push_back(event.Parameters.value(0).toInt());
        }
        return result;
    }

    QApplication& app = ensureApplication();
    QWidget window;
    PluginControlFactory factory{{QStringLiteral(KESTRIX_PRODUCT_PLUGIN_DIR)}, ScreenTwips{}};
    Extender* bar = nullptr;
    std::vector<EventInfo> events;
    // The members the host's layout reaches by dispatch id.
    int rangeMax = 0;
    int pageSize = 0;
    int enabledFlag = 0;
};

TEST_F(ScrollBarTest, StartsAtTheTopWithItsStoredRange) {
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->get("min").toInt(), 1);
    EXPECT_EQ(bar->callId(rangeMax).toInt(), 2);  // stored "max"
    EXPECT_EQ(bar->callId(pageSize).toInt(), 2);  // stored "pageupdo"
    EXPECT_EQ(handle()->orientation(), Qt::Vertical);
    EXPECT_EQ(handle()->value(), 1);
}

TEST_F(ScrollBarTest, DispatchIdsSetRangeMaximumPageSizeAndEnabledFlag) {
    bar->letId(enabledFlag, false);
    bar->letId(rangeMax, QVariant::fromValue<short>(1003));
    bar->letId(pageSize, QVariant::fromValue<short>(526));
    EXPECT_EQ(bar->get("max").toInt(), 1003);
    EXPECT_EQ(bar->callId(pageSize).toInt(), 526);
    EXPECT_FALSE(bar->control()->isEnabled());
    bar->letId(enabledFlag, true);
    EXPECT_TRUE(handle()->isEnabled());

    // Positions run from 1 (the top) to where the last page is in view.
    EXPECT_EQ(handle()->minimum(), 1);
    EXPECT_EQ(handle()->maximum(), 1003 - 526 + 1);

    // A stack that fits the view cannot scroll.
    bar->letId(rangeMax, QVariant::fromValue<short>(299));
    bar->letId(pageSize, QVariant::fromValue<short>(299));
    handle()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(handle()->value(), 1);
    EXPECT_TRUE(events.empty());
}

TEST_F(ScrollBarTest, MovingTheBarRaisesNeuePosWithTheNewPosition) {
    bar->letId(rangeMax, QVariant::fromValue<short>(1003));
    bar->letId(pageSize, QVariant::fromValue<short>(526));

    handle()->triggerAction(QAbstractSlider::SliderPageStepAdd);  // one page down, clamped
    handle()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    handle()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(positions(), (std::vector<int>{478, 478 - 52, 1}));
    // The other two arguments: the position before and the page size.
    EXPECT_EQ(events[1].Parameters.value(1).toInt(), 478);
    EXPECT_EQ(events[1].Parameters.value(2).toInt(), 526);
}

TEST_F(ScrollBarTest, AShrinkingRangeMovesThePositionAndSaysSo) {
    bar->letId(rangeMax, QVariant::fromValue<short>(1003));
    bar->letId(pageSize, QVariant::fromValue<short>(526));
    handle()->triggerAction(QAbstractSlider::SliderToMaximum);
    bar->letId(rangeMax, QVariant::fromValue<short>(600));
    EXPECT_EQ(positions(), (std::vector<int>{478, 600 - 526 + 1}));
}

}  // namespace kestrix::test
