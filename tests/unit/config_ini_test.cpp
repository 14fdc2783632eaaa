// The profile-file rules of the lookup, over file contents held in memory.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/IniFile.h"

namespace kestrix {
namespace {

using namespace std::string_literals;
using std::nullopt;

std::optional<std::string> find(const std::string& content, const std::string& section,
                                const std::string& key) {
    return findIniValue(content, section, key);
}

TEST(IniLookup, LfCrLfAndLoneCrEndALineAndNulEndsItsContent) {
    std::string content = "[S]\nA=1\r\nB=2\rC=one\0two\nD\0=4\nE=5"s;
    EXPECT_EQ(find(content, "S", "A"), "1");
    EXPECT_EQ(find(content, "S", "B"), "2");
    EXPECT_EQ(find(content, "S", "C"), "one");
    EXPECT_EQ(find(content, "S", "D"), nullopt);
    EXPECT_EQ(find(content, "S", "E"), "5");
}

TEST(IniLookup, BlanksAroundNamesAndValuesDoNotCountInnerBlanksDo) {
    std::string content = "[ \tMy Section\t ]\n \t My Key \t=\t a  b \x1A\v\f\n";
    EXPECT_EQ(find(content, "My Section", "My Key"), "a  b");
    EXPECT_EQ(find(content, " My Section\t", "\tMy Key "), "a  b");
    EXPECT_EQ(find(content, "MySection", "My Key"), nullopt);
    EXPECT_EQ(find(content, "My Section", "MyKey"), nullopt);
}

TEST(IniLookup, NamesCompareWithoutAsciiCaseOnlyAndBytesAboveAsciiPassUnchanged) {
    std::string content =
        "[Project]\nResolution=800\n[Gr\xC4\xDF"
        "e]\nK\xE4=Wert \xFC\xFF\n";
    EXPECT_EQ(find(content, "PROJECT", "resolution"), "800");
    EXPECT_EQ(find(content,
                   "Gr\xC4\xDF"
                   "e",
                   "K\xE4"),
              "Wert \xFC\xFF");
    EXPECT_EQ(find(content,
                   "Gr\xE4\xDF"
                   "e",
                   "K\xE4"),
              nullopt);
}

TEST(IniLookup, TheCallersNamesEndAtANulAndAnEmptyKeyNamesNothing) {
    EXPECT_EQ(find("[S]\nK=v\n", "S\0ignored"s, "K\0x"s), "v");
    EXPECT_EQ(find("[S]\n=value\n", "S", ""), nullopt);
}

TEST(IniLookup, OneMatchingPairOfOuterQuotesIsRemoved) {
    std::string content =
        "[S]\nD=\"a b\"\nS='a b'\nInner=\" padded \"\nTwice=\"\"x\"\"\nEmpty=\"\"\n"
        "Mixed=\"a b'\nLone=\"\nInside=a\"b\"\n";
    EXPECT_EQ(find(content, "S", "D"), "a b");
    EXPECT_EQ(find(content, "S", "S"), "a b");
    EXPECT_EQ(find(content, "S", "Inner"), " padded ");
    EXPECT_EQ(find(content, "S", "Twice"), "\"x\"");
    EXPECT_EQ(find(content, "S", "Empty"), "");
    EXPECT_EQ(find(content, "S", "Mixed"), "\"a b'");
    EXPECT_EQ(find(content, "S", "Lone"), "\"");
    EXPECT_EQ(find(content, "S", "Inside"), "a\"b\"");
}

TEST(IniLookup, AValueIsCutTo254BytesAfterItsQuotesAreRemoved) {
    std::string text(300, 'v');
    text[253] = 'L';
    std::string content = "[S]\nPlain=" + text + "\nQuoted=\"" + text +
                          "\"\nHuge=" + std::string(100 * 1024, 'x') + "\nAfter=a=b ; c\n";
    EXPECT_EQ(find(content, "S", "Plain"), text.substr(0, 254));
    EXPECT_EQ(find(content, "S", "Quoted"), text.substr(0, 254));
    EXPECT_EQ(find(content, "S", "Huge"), std::string(254, 'x'));
    EXPECT_EQ(find(content, "S", "After"), "a=b ; c");
}

TEST(IniLookup, CommentsLinesWithoutEqualsAndKeysBeforeAnySectionAreNoEntries) {
    std::string content = "Early=1\n[S]\n; K=comment\n  ;K=indented\nK\nEmpty=\n";
    EXPECT_EQ(find(content, "S", "K"), nullopt);
    EXPECT_EQ(find(content, "S", "Early"), nullopt);
    EXPECT_EQ(find(content, "", "Early"), nullopt);
    EXPECT_EQ(find(content, "S", "Empty"), "");
}

TEST(IniLookup, ASectionNameEndsAtTheFirstBracketAndNeedsOne) {
    std::string content = "[A]B]\nK=1\n[C] trailing text\nK=2\n[Open\nK=3\n[Open=x\n";
    EXPECT_EQ(find(content, "A", "K"), "1");
    EXPECT_EQ(find(content, "A]B", "K"), nullopt);
    EXPECT_EQ(find(content, "C", "K"), "2");
    EXPECT_EQ(find(content, "Open", "K"), nullopt);
    EXPECT_EQ(find(content, "C", "[Open"), "x");
}

TEST(IniLookup, TheFirstSectionOfANameCountsAndWithinItTheFirstKey) {
    std::string content = "[S]\nA=first\na=again\n[Other]\nB=x\n[s]\nA=second\nC=later\n";
    EXPECT_EQ(find(content, "S", "A"), "first");
    EXPECT_EQ(find(content, "S", "C"), nullopt);
    EXPECT_EQ(find(content, "T", "A"), nullopt);
}

TEST(IniNumber, ReadsTheLeadingDecimalNumberWithItsSign) {
    EXPECT_EQ(iniNumber(" \t800 pixels"), 800u);
    EXPECT_EQ(iniNumber("-12x"), static_cast<uint32_t>(-12));
    EXPECT_EQ(iniNumber("+007"), 7u);
    for (const char* noNumber : {"abc", "-", "- 5", "0x10", ""}) {
        EXPECT_EQ(iniNumber(noNumber), 0u) << noNumber;
    }
}

TEST(IniNumber, WrapsModuloTwoToTheThirtySecond) {
    EXPECT_EQ(iniNumber("4294967297"), 1u);
    EXPECT_EQ(iniNumber("-4294967297"), static_cast<uint32_t>(-1));
    EXPECT_EQ(iniNumber("99999999999999999999"), 1661992959u);  // 10^20 − 1 mod 2^32
}

}  // namespace
}  // namespace kestrix
