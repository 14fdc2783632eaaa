#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

#include "FaultOf.h"
#include "ScriptedBackend.h"
#include "TestApplication.h"
#include "fault/Fault.h"
#include "host/Extender.h"
#include "host/InProcessControl.h"

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
    Extender* extender =
        InProcessControl::extend(module, "XKX_Test.Module", "O3", ScreenTwips{15.0f, 15.0f});
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

// Whatever backend a control has, its extender handles its own members alike and hands every other
// call, the control's signals and the frame's placing through unchanged: one seeded run of random
// steps against a control in this process and a scripted one elsewhere.
TEST_F(ExtenderTest, EveryBackendGetsTheSameExtender) {
    QWidget frame(&container);
    frame.setGeometry(module->geometry());
    frame.setVisible(!module->isHidden());
    const ScriptedBackend::Placing unplaced{frame.size(), !frame.isHidden()};
    auto* backend = new ScriptedBackend;
    Extender remote(&frame, backend, "XKX_Test.Module", "O3", ScreenTwips{15.0f, 15.0f});
    std::vector<EventInfo> remoteEvents;
    std::vector<Fault> stops;
    int restartRequests = 0;
    QObject::connect(&remote, &Extender::ObjectEvent,
                     [&](const EventInfo& info) { remoteEvents.push_back(info); });
    QObject::connect(&remote, &Extender::stopped, [&](const Fault& f) { stops.push_back(f); });
    QObject::connect(&remote, &Extender::restartRequested, [&] { ++restartRequests; });

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const QString own[] = {"Left", "Top", "Width", "Height", "Visible"};
    const QString others[] = {"AbsoluteHoehe", "Init", "Refresh", "left ", "visible"};
    const auto faultNumberOf = [](const std::function<void()>& work) -> int {
        try {
            work();
        } catch (const Fault& fault) {
            return fault.number();
        }
        return 0;
    };
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE(step);
        switch (pick(4)) {
            case 0: {  // one of the extender's own members, with a value of any kind
                const QString& member = own[pick(5)];
                const QVariant values[] = {pick(20000), QStringLiteral("high"), pick(2) == 1, 1e12,
                                           QStringLiteral(" True ")};
                const QVariant value = values[pick(5)];
                const QVariantList arguments = pick(8) == 0 ? QVariantList{1} : QVariantList{};
                const size_t callsBefore = backend->calls.size();
                EXPECT_EQ(faultNumberOf([&] { remote.let(member, value, arguments); }),
                          faultNumberOf([&] { extender->let(member, value, arguments); }));
                EXPECT_EQ(remote.get(member), extender->get(member));
                EXPECT_EQ(frame.geometry(), module->geometry());
                EXPECT_EQ(backend->calls.size(), callsBefore);
                break;
            }
            case 1: {  // any other member goes to the control and its answer or fault comes back
                const QString member = others[pick(5)];
                backend->nextAnswer = pick(1000);
                backend->nextFault.reset();
                if (pick(3) == 0) {
                    backend->nextFault =
                        Fault(pick(500) + 1, "from the control", "XKX_Test.Module");
                }
                const int dispId = pick(100);
                const QVariant value = pick(100);
                ScriptedBackend::Call expected;
                QVariant answer;
                const int way = pick(4);
                const int fault = faultNumberOf([&] {
                    if (way == 0) {
                        expected = {member, {}, {}};
                        answer = remote.get(member);
                    } else if (way == 1) {
                        expected = {member, value, {value}};
                        remote.let(member, value, {value});
                    } else if (way == 2) {
                        expected = {QStringLiteral("#%1").arg(dispId), value, {}};
                        remote.letId(dispId, value);
                    } else {
                        expected = {QStringLiteral("#%1").arg(dispId), {}, {value}};
                        answer = remote.callId(dispId, {value});
                    }
                });
                ASSERT_FALSE(backend->calls.empty());
                EXPECT_EQ(backend->calls.back(), expected);
                EXPECT_EQ(fault, backend->nextFault ? backend->nextFault->number() : 0);
                if (!backend->nextFault && (way == 0 || way == 3)) {
                    EXPECT_EQ(answer, backend->nextAnswer);
                }
                break;
            }
            case 2: {  // "Restart": started afresh where the frame stands; in this process, 91
                const int restarts = backend->restarts;
                backend->placings.clear();
                remote.restart();
                EXPECT_EQ(backend->restarts, restarts + 1);
                EXPECT_EQ(backend->placings.size(), 1u);
                EXPECT_EQ(faultNumberOf([&] { extender->restart(); }), ErrorNumber::ObjectNotSet);
                break;
            }
            default: {  // the control's signals arrive as the extender's
                const EventInfo info{QStringLiteral("Alarm"), {pick(100)}};
                const size_t events = remoteEvents.size();
                const size_t stopped = stops.size();
                const int requests = restartRequests;
                Q_EMIT backend->eventRaised(info);
                Q_EMIT backend->stopped(Fault(440, "stopped", "XKX_Test.Module"));
                Q_EMIT backend->restartRequested();
                ASSERT_EQ(remoteEvents.size(), events + 1);
                EXPECT_EQ(remoteEvents.back().Name, info.Name);
                EXPECT_EQ(remoteEvents.back().Parameters, info.Parameters);
                EXPECT_EQ(stops.size(), stopped + 1);
                EXPECT_EQ(restartRequests, requests + 1);
                break;
            }
        }
        // The control elsewhere always knows where its frame stands.
        EXPECT_EQ(backend->placings.empty() ? unplaced : backend->placings.back(),
                  (ScriptedBackend::Placing{frame.size(), !frame.isHidden()}));
    }
    EXPECT_GT(backend->placings.size(), 0u);
    remote.releaseWaitingEvents();
    EXPECT_TRUE(backend->released);
}

TEST_F(ExtenderTest, TheExtenderDiesWithItsControl) {
    QPointer<Extender> held = extender;
    delete module;
    EXPECT_TRUE(held.isNull());
}

}  // namespace kestrix::test

#include "host_extender_test.moc"
