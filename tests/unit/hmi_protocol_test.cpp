// The line protocol between the runtime and its clients.

#include <gtest/gtest.h>

#include "hmi/HmiProtocol.h"

namespace kestrix {
namespace {

using HmiProtocol::decode;
using HmiProtocol::encode;

TEST(HmiProtocolTest, MessagesSurviveTheLine) {
    HmiProtocol::Message set = decode(encode("set", "Ch-1.param_client<.sprache>", "Deutsch 2"));
    EXPECT_EQ(set.verb, "set");
    EXPECT_EQ(set.name, "Ch-1.param_client<.sprache>");
    EXPECT_EQ(set.value, "Deutsch 2");  // a value keeps its blanks

    HmiProtocol::Message bare = decode(encode("stop-request"));
    EXPECT_EQ(bare.verb, "stop-request");
    EXPECT_TRUE(bare.name.isEmpty());
    EXPECT_TRUE(bare.value.isEmpty());

    EXPECT_EQ(decode("ready abc\r\n").name, "abc");
    EXPECT_EQ(encode("changed", "Grüße", "1").count('\n'), 1);
    EXPECT_EQ(decode(encode("changed", "Grüße", "1")).name, QStringLiteral("Grüße"));
}

TEST(HmiProtocolTest, NamesAndValuesThatWouldBreakTheLineAreRefused) {
    EXPECT_TRUE(HmiProtocol::isValidName("Ch-1.param_client<.sprache>"));
    EXPECT_FALSE(HmiProtocol::isValidName(""));
    EXPECT_FALSE(HmiProtocol::isValidName("two words"));
    EXPECT_FALSE(HmiProtocol::isValidName("line\nbreak"));
    EXPECT_FALSE(HmiProtocol::isValidName("tab\there"));
    EXPECT_TRUE(HmiProtocol::isValidValue("any text at all"));
    EXPECT_FALSE(HmiProtocol::isValidValue("1031\nstop"));
    EXPECT_FALSE(HmiProtocol::isValidValue("1031\r"));
}

TEST(HmiProtocolTest, WholeNumbersBecomeIntegersAndEverythingElseText) {
    EXPECT_EQ(HmiProtocol::variantOfValue("1031").typeId(), QMetaType::Int);
    EXPECT_EQ(HmiProtocol::variantOfValue("1031"), QVariant(1031));
    EXPECT_EQ(HmiProtocol::variantOfValue("-7"), QVariant(-7));
    EXPECT_EQ(HmiProtocol::variantOfValue("4294967296"), QVariant(qlonglong(4294967296LL)));
    EXPECT_EQ(HmiProtocol::variantOfValue("1031.5").typeId(), QMetaType::QString);
    EXPECT_EQ(HmiProtocol::variantOfValue("").typeId(), QMetaType::QString);
    EXPECT_EQ(HmiProtocol::variantOfValue("English"), QVariant(QStringLiteral("English")));
}

}  // namespace
}  // namespace kestrix
