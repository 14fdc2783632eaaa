#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <functional>
#include <stdexcept>

#include "FaultOf.h"
#include "TestApplication.h"
#include "host/LateBinding.h"

namespace kestrix::test {

// A control with the kinds of members the host reaches late-bound.
class Gauge : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId 0x68030002", "RangeMax")
    Q_CLASSINFO("DispId 142", "Reset")
    Q_PROPERTY(short RangeMax MEMBER rangeMax)
    Q_PROPERTY(int Serial READ serial)
    Q_PROPERTY(int Fragile READ fragile)
public:
    int serial() const { return 4711; }
    int fragile() const { throw std::runtime_error("sensor lost"); }
    Q_INVOKABLE void Init(short unit, short machine, const QString& name, bool value) {
        initArguments = {unit, machine, name, value};
    }
    Q_INVOKABLE void Refresh(bool value) { initArguments = {value}; }
    Q_INVOKABLE int Sum(int a, int b) const { return a + b; }
    Q_INVOKABLE void Reset() { rangeMax = 0; }
    Q_INVOKABLE void Terminate(bool) { throw Fault(5, "Invalid procedure call", "Gauge.Own"); }

    short rangeMax = 2;
    QVariantList initArguments;
};

class LateBindingTest : public ::testing::Test {
protected:
    QApplication& app = ensureApplication();  // before any widget
    Gauge gauge;
};

TEST_F(LateBindingTest, MembersAreReachedByName) {
    LateBinding::let(&gauge, "RangeMax", 299);
    EXPECT_EQ(gauge.rangeMax, 299);
    EXPECT_EQ(LateBinding::get(&gauge, "Serial").toInt(), 4711);
    EXPECT_EQ(LateBinding::call(&gauge, "Sum", {QStringLiteral("7"), 35.0}).toInt(), 42);

    // An assignment to a member function passes the arguments, then the value, each converted.
    LateBinding::let(&gauge, "Refresh", true);
    EXPECT_EQ(gauge.initArguments, QVariantList{true});
    LateBinding::let(&gauge, "Init", true, {2, 3.0, "Linie 3"});
    EXPECT_EQ(gauge.initArguments, (QVariantList{QVariant::fromValue<short>(2),
                                                 QVariant::fromValue<short>(3), "Linie 3", true}));
}

TEST_F(LateBindingTest, DispatchIdsNameMembersInHexadecimalOrDecimal) {
    LateBinding::letId(&gauge, 0x68030002, 526);
    EXPECT_EQ(gauge.rangeMax, 526);
    EXPECT_EQ(LateBinding::callId(&gauge, 0x68030002).toInt(), 526);
    LateBinding::callId(&gauge, 142);
    EXPECT_EQ(gauge.rangeMax, 0);
    EXPECT_EQ(faultOf([&] { LateBinding::letId(&gauge, 0x68030001, 1); }).number(),
              ErrorNumber::NoSuchMember);
}

TEST_F(LateBindingTest, FaultsKeepTheClassicNumbers) {
    auto numberOf = [](const std::function<void()>& work) { return faultOf(work).number(); };
    EXPECT_EQ(numberOf([&] { LateBinding::get(&gauge, "AbsoluteHoehe"); }), 438);
    EXPECT_EQ(numberOf([&] { LateBinding::let(&gauge, "Serial", 1); }), 438);  // read-only
    EXPECT_EQ(numberOf([&] { LateBinding::let(&gauge, "Init", true, {1, 2}); }), 438);
    EXPECT_EQ(numberOf([] { LateBinding::let(nullptr, "Refresh", true); }), 91);
    EXPECT_EQ(numberOf([] { LateBinding::letId(nullptr, 0x68030002, 1); }), 91);
    EXPECT_EQ(numberOf([&] { LateBinding::let(&gauge, "RangeMax", "abc"); }), 13);
    EXPECT_EQ(numberOf([&] { LateBinding::let(&gauge, "RangeMax", QVariant()); }), 13);
    // Too large for a 16-bit member: an overflow, not a wrapped-around value.
    EXPECT_EQ(numberOf([&] { LateBinding::let(&gauge, "RangeMax", 40000); }), 6);
    EXPECT_EQ(gauge.rangeMax, 2);
}

TEST_F(LateBindingTest, FloatingValuesRoundHalfToEvenForWholeNumbers) {
    LateBinding::let(&gauge, "RangeMax", 2.5);
    EXPECT_EQ(gauge.rangeMax, 2);
    LateBinding::let(&gauge, "RangeMax", -7.5f);
    EXPECT_EQ(gauge.rangeMax, -8);
}

TEST_F(LateBindingTest, ExceptionsOfTheControlBecomeFaultsNamingIt) {
    Fault fault = faultOf([&] { LateBinding::get(&gauge, "Fragile"); });
    EXPECT_EQ(fault.number(), ErrorNumber::AutomationError);
    EXPECT_EQ(fault.description(), QStringLiteral("sensor lost"));
    EXPECT_EQ(fault.source(), QStringLiteral("kestrix::test::Gauge"));

    // A fault that the control raises itself passes as it is.
    Fault own = faultOf([&] { LateBinding::let(&gauge, "Terminate", true); });
    EXPECT_EQ(own.number(), 5);
    EXPECT_EQ(own.source(), QStringLiteral("Gauge.Own"));
}

}  // namespace kestrix::test

#include "host_latebinding_test.moc"
