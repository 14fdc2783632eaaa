#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "FaultOf.h"
#include "fault/Fault.h"
#include "fault/Int16.h"

namespace kestrix {
namespace {

TEST(Fault, ClassicNumbersCarryTheirClassicTexts) {
    EXPECT_EQ(Fault::standardDescription(6), "Overflow");
    EXPECT_EQ(Fault::standardDescription(9), "Subscript out of range");
    EXPECT_EQ(Fault::standardDescription(13), "Type mismatch");
    EXPECT_EQ(Fault::standardDescription(91), "Object variable or With block variable not set");
    EXPECT_EQ(Fault::standardDescription(429), "ActiveX component can't create object");
    EXPECT_EQ(Fault::standardDescription(438), "Object doesn't support this property or method");
    EXPECT_EQ(Fault::ofNumber(6).source(), "Kestrix");
}

// --- 16-bit arithmetic ---------------------------------------------------------------------------

TEST(Int16, SumsAndDifferencesFaultWithOverflowExactlyOutsideTheRange) {
    EXPECT_EQ(add16(32766, 1), 32767);
    EXPECT_EQ(sub16(-32767, 1), -32768);
    EXPECT_EQ(faultOf([] { add16(32767, 1); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([] { sub16(-32768, 1); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([] { sub16(0, -32768); }).number(), ErrorNumber::Overflow);
}

TEST(Int16, ConversionRoundsHalvesToEvenAndFaultsOutsideTheRange) {
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_EQ(toInt16(-2.5), -2);
    EXPECT_EQ(toInt16(-3.5), -4);
    EXPECT_EQ(toInt16(2.5000001), 3);
    EXPECT_EQ(toInt16(32767.49), 32767);
    EXPECT_EQ(toInt16(-32768.5), -32768);
    EXPECT_EQ(faultOf([] { toInt16(32767.5); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([] { toInt16(-32769.5); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([] { toInt16(std::nan("")); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(faultOf([] { toInt16(HUGE_VAL); }).number(), ErrorNumber::Overflow);
    EXPECT_EQ(toInt32(2147483646.5), 2147483646);
    EXPECT_EQ(faultOf([] { toInt32(2147483647.5); }).number(), ErrorNumber::Overflow);
}

TEST(Int16, WrapKeepsTheLow16BitsAsASignedNumber) {
    EXPECT_EQ(wrapLow16(70000), 4464);
    EXPECT_EQ(wrapLow16(65535), -1);
    EXPECT_EQ(wrapLow16(32768), -32768);
    EXPECT_EQ(wrapLow16(static_cast<uint32_t>(-2)), -2);
}

}  // namespace
}  // namespace kestrix
