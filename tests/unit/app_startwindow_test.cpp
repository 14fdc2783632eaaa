// Where the start window goes, and where the program's root is.

#include <gtest/gtest.h>

#include <string>

#include "app/StartPlacement.h"
#include "config/InstallationRoot.h"
#include "fault/Fault.h"

namespace kestrix {
namespace {

constexpr StartWindowSize Design{7800, 4740};

struct PlacementCase {
    bool withLineDisplay;
    int resolution;
    double left;
    double top;
};

class StartPlacementAt15TwipsPerPixel : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(StartPlacementAt15TwipsPerPixel, PlacesTheWindowAsTheSettingsSay) {
    const PlacementCase& c = GetParam();
    std::optional<StartPlacement> placement =
        placeStartWindow(c.withLineDisplay, c.resolution, 15.0f, 15.0f, Design);
    ASSERT_TRUE(placement.has_value());
    EXPECT_DOUBLE_EQ(placement->left, c.left);
    EXPECT_DOUBLE_EQ(placement->top, c.top);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, StartPlacementAt15TwipsPerPixel,
    ::testing::Values(PlacementCase{true, 1024, 994, 1697},    // upper left of 15360 × 11520
                      PlacementCase{false, 1024, 3780, 3390},  // centred
                      PlacementCase{true, 800, 0, 437},        // left clamped to 0
                      PlacementCase{false, 800, 2100, 2130},
                      PlacementCase{true, 1280, 2914, 3617},  // 1024 pixels high
                      // The right-edge rule after the clamp makes the left negative again.
                      PlacementCase{true, 500, -300, 3617},
                      // A missing "Resolution" reads −1: unrounded, unclamped centring.
                      PlacementCase{false, -1, -3907.5, 5310}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) {
        const PlacementCase& c = info.param;
        return std::string(c.withLineDisplay ? "UpperLeft" : "Centred") + "AtResolution" +
               (c.resolution < 0 ? std::string("Missing") : std::to_string(c.resolution));
    });

TEST(StartPlacement, EqualityWithTheAreaEdgeLeavesThePositionAlone) {
    // W = 7800 exactly the window's width: L + width = W is not greater, so L stays 0.
    std::optional<StartPlacement> placement = placeStartWindow(true, 520, 15.0f, 15.0f, Design);
    ASSERT_TRUE(placement.has_value());
    EXPECT_DOUBLE_EQ(placement->left, 0);
}

TEST(StartPlacement, AnAreaBeyondSixteenBitsGivesNoPlacement) {
    // 2185 × 15 = 32775 does not fit; 2184 × 15 = 32760 still does.
    EXPECT_FALSE(placeStartWindow(true, 2185, 15.0f, 15.0f, Design).has_value());
    EXPECT_FALSE(placeStartWindow(false, 30000, 15.0f, 15.0f, Design).has_value());
    EXPECT_TRUE(placeStartWindow(false, 2184, 15.0f, 15.0f, Design).has_value());
}

TEST(StartPlacement, HalvesOfTheAreaRoundToEven) {
    // 5 × 0.5 = 2.5 twips → W = 2 (halves to even), so the centred left is 1, not 1.5.
    std::optional<StartPlacement> placement =
        placeStartWindow(false, 5, 0.5f, 0.5f, StartWindowSize{0, 0});
    ASSERT_TRUE(placement.has_value());
    EXPECT_DOUBLE_EQ(placement->left, 1);
    // 7 × 0.5 = 3.5 → 4.
    placement = placeStartWindow(false, 7, 0.5f, 0.5f, StartWindowSize{0, 0});
    ASSERT_TRUE(placement.has_value());
    EXPECT_DOUBLE_EQ(placement->left, 2);
}

TEST(InstallationRoot, CutsTheLastTwoComponents) {
    EXPECT_EQ(installationRootOf(QStringLiteral("/opt/Line/Program/Kestrix")),
              QStringLiteral("/opt/Line"));
    EXPECT_EQ(programIniOf(QStringLiteral("/opt/Line")),
              QStringLiteral("/opt/Line/Parameter/Program.ini"));
    EXPECT_EQ(kestrixIniOf(QStringLiteral("/opt/Line")),
              QStringLiteral("/opt/Line/Program/Kestrix/Kestrix.ini"));
    EXPECT_EQ(defaultLogFileOf(QStringLiteral("/opt/Line")),
              QStringLiteral("/opt/Line/Program/Kestrix/Kestrix.log"));
}

TEST(InstallationRoot, AProgramOneLevelBelowTheRootFaultsOnTheSecondCut) {
    EXPECT_EQ(cutAtLastSeparator(QStringLiteral("/Kestrix")), QString());
    EXPECT_THROW(installationRootOf(QStringLiteral("/Kestrix")), Fault);
    EXPECT_THROW(cutAtLastSeparator(QStringLiteral("Kestrix")), Fault);
}

}  // namespace
}  // namespace kestrix
