// The host's test controls, reached the way the host reaches plug-in modules: created by the fake
// control collection and driven through their extenders.
#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <vector>

#include "FakeControlFactory.h"
#include "TestApplication.h"
#include "fault/Fault.h"
#include "host/EventInfo.h"

namespace kestrix {
namespace {

class TestControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    Extender* add(const char* progId, const char* name) {
        Extender* extender = factory_.Add(QLatin1String(progId), QLatin1String(name), &container_);
        QObject::connect(extender, &Extender::ObjectEvent, extender,
                         [this](const EventInfo& info) { events_.push_back(info.Name); });
        return extender;
    }

    static void init(Extender* extender) {
        extender->let(QStringLiteral("Init"), true,
                      {QVariant::fromValue(short{2}), QVariant::fromValue(short{4}),
                       QStringLiteral("Line D")});
    }

    static int faultNumberOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const Fault& fault) {
            return fault.number();
        }
        return 0;
    }

    QWidget container_;
    FakeControlFactory factory_;
    std::vector<QString> events_;
};

TEST_F(TestControlsTest, RecordsTheCallsOfAllControlsInOrderWithTheirArguments) {
    Extender* first = add("Test.Recording", "O1");
    Extender* second = add("XKX_OCR.OCR", "O2");
    init(first);
    second->let(QStringLiteral("Refresh"), true);
    first->let(QStringLiteral("Terminate"), true);

    EXPECT_EQ(factory_.journal->sequence(), (QStringList{"O1.Init", "O2.Refresh", "O1.Terminate"}));
    std::vector<ControlCall> calls = factory_.control(QStringLiteral("O1"))->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments,
              (QVariantList{QVariant::fromValue(short{2}), QVariant::fromValue(short{4}),
                            QStringLiteral("Line D"), true}));
    ASSERT_EQ(factory_.addCalls.size(), 2u);
    EXPECT_EQ(factory_.addCalls[1].progId, QStringLiteral("XKX_OCR.OCR"));
    EXPECT_EQ(factory_.addCalls[1].name, QStringLiteral("O2"));
    EXPECT_EQ(factory_.addCalls[1].container, &container_);
    EXPECT_FALSE(factory_.control(QStringLiteral("O2"))->isVisibleTo(&container_));
}

TEST_F(TestControlsTest, UnknownProgIdFaultsAsCannotCreateObjectAndIsStillRecorded) {
    factory_.unregisterProgId(QStringLiteral("XKX_Tarvo.Tarvo"));

    EXPECT_FALSE(factory_.isRegistered(QStringLiteral("XKX_Tarvo.Tarvo")));
    EXPECT_EQ(faultNumberOf([&] { add("XKX_Tarvo.Tarvo", "O1"); }),
              ErrorNumber::CannotCreateObject);
    EXPECT_EQ(factory_.addCalls.size(), 1u);
    EXPECT_TRUE(factory_.controls.empty());
}

TEST_F(TestControlsTest, MisbehavingControlsFailTheWayTheirNamesSay) {
    factory_.registerProgId(QStringLiteral("Test.Tall"), FakeControlFactory::Kind::Recording, 2700);
    Extender* withoutInit = add("Test.WithoutInit", "O1");
    Extender* throwing = add("Test.ThrowingInRefresh", "O2");
    Extender* failing = add("Test.FailingTerminate", "O3");
    Extender* withoutHeight = add("Test.WithoutAbsoluteHoehe", "O4");
    Extender* tall = add("Test.Tall", "O5");

    EXPECT_EQ(faultNumberOf([&] { init(withoutInit); }), ErrorNumber::NoSuchMember);
    EXPECT_NE(faultNumberOf([&] { throwing->let(QStringLiteral("Refresh"), true); }), 0);
    EXPECT_NE(faultNumberOf([&] { failing->let(QStringLiteral("Terminate"), true); }), 0);
    EXPECT_EQ(faultNumberOf([&] { withoutHeight->get(QStringLiteral("AbsoluteHoehe")); }),
              ErrorNumber::NoSuchMember);
    EXPECT_EQ(tall->get(QStringLiteral("AbsoluteHoehe")).toInt(), 2700);
    // The failing calls arrived before they failed.
    EXPECT_EQ(factory_.journal->sequence(), (QStringList{"O2.Refresh", "O3.Terminate"}));
}

TEST_F(TestControlsTest, EventsDuringInitAndOnDemandReachTheExtender) {
    Extender* eager = add("Test.RaisingEventInInit", "O1");
    init(eager);
    factory_.control(QStringLiteral("O1"))->raiseEvent(QStringLiteral("later"));

    EXPECT_EQ(events_, (std::vector<QString>{"Initialising", "TestEvent"}));
}

}  // namespace
}  // namespace kestrix
