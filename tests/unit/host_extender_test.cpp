#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <vector>

#include "FaultOf.h"
#include "TestApplication.h"
#include "fault/Fault.h"
#include "host/Extender.h"

namespace kestrix::test {

// Modules of one vendor share a base class; its events are the modules' events too.
class VendorBase : public QWidget {
    Q_OBJECT
Q_SIGNALS:
    void Heartbeat();
};

class Module : public VendorBase {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ absoluteHoehe)
public:
    int absoluteHoehe() const { return 1500; }
    Q_INVOKABLE void Terminate(bool) { throw std::runtime_error("already ended"); }
    void raiseAlarm(short code) {
        Q_EMIT Alarm(QStringLiteral("Tank leer"), code);
        alarmReturned = true;
    }
    bool alarmReturned = false;
Q_SIGNALS:
    void Alarm(const QString& text, short code);
};

class ExtenderTest : public ::testing::Test {
protected:
    ExtenderTest() {
        module->setParent(&container);
        QObject::connect(extender, &Extender::ObjectEvent, [this](const EventInfo& info) {
            events.push_back(info);
            alarmReturnedBeforeHandler.push_back(module->alarmReturned);
        });
    }

    QApplication& app = ensureApplication();  // before any widget
    QWidget container;
    Module* module = new Module;
    Extender* extender = new Extender(module, "XKX_Test.Module", "O3", ScreenTwips{15.0f, 15.0f});
    std::vector<EventInfo> events;
    std::vector<bool> alarmReturnedBeforeHandler;
};

TEST_F(ExtenderTest, GeometryIsInTwipsRoundedToWholePixels) {
    extender->let("Left", QVariant::fromValue<short>(0));
    extender->let("Top", 1522);  // 101.47 pixels
    extender->let("Width", 11235.0f);
    extender->setHeight(7890);
    EXPECT_EQ(module->geometry(), QRect(0, 101, 749, 526));
    EXPECT_DOUBLE_EQ(extender->get("Top").toDouble(), 1515.0);
    extender->setTop(1523);  // 101.53 pixels
    EXPECT_EQ(module->y(), 102);
    EXPECT_DOUBLE_EQ(extender->Height(), 7890.0);

    extender->let("Visible", false);
    EXPECT_TRUE(module->isHidden());
    extender->let("Visible", true);
    EXPECT_TRUE(extender->get("Visible").toBool());
}

TEST_F(ExtenderTest, MembersFaultOrGoToTheControl) {
    EXPECT_EQ(faultOf([&] { extender->let("Top", "high"); }).number(), ErrorNumber::TypeMismatch);
    EXPECT_EQ(faultOf([&] { extender->let("Top", 1e12); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([&] { extender->let("Left", 0, {1}); }).number(), ErrorNumber::NoSuchMember);
    EXPECT_EQ(module->pos(), QPoint(0, 0));

    EXPECT_EQ(extender->get("AbsoluteHoehe").toInt(), 1500);
    Fault fault = faultOf([&] { extender->let("Terminate", true); });
    EXPECT_EQ(fault.description(), QStringLiteral("already ended"));
    EXPECT_EQ(fault.source(), QStringLiteral("XKX_Test.Module"));
}

TEST_F(ExtenderTest, EventsArriveGenericallyAndSynchronously) {
    module->raiseAlarm(7);
    Q_EMIT module->Heartbeat();  // declared by the vendor's base class
    module->setWindowTitle("not an event of the module");
    module->setObjectName("nor this");

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Name, QStringLiteral("Alarm"));
    EXPECT_EQ(events[0].Parameters, (QVariantList{"Tank leer", QVariant::fromValue<short>(7)}));
    EXPECT_EQ(events[1].Name, QStringLiteral("Heartbeat"));
    EXPECT_TRUE(events[1].Parameters.isEmpty());
    // The module's emit had not returned while the handler ran.
    EXPECT_FALSE(alarmReturnedBeforeHandler[0]);
}

TEST_F(ExtenderTest, TheExtenderDiesWithItsControl) {
    QPointer<Extender> held = extender;
    delete module;
    EXPECT_TRUE(held.isNull());
}

}  // namespace kestrix::test

#include "host_extender_test.moc"
