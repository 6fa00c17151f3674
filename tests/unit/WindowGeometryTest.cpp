#include "placement/WindowGeometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// A desk of two monitors: a 1920 x 1080 one with a 40-pixel task bar at the
// bottom, and a 1280 x 1024 one to its left, a little higher.
constexpr ScreenRect mainArea = {0, 0, 1920, 1040};
constexpr ScreenRect leftArea = {-1280, -200, 0, 824};
constexpr ScreenRect desk[] = {mainArea, leftArea};
constexpr PlacementLimits limits = {136, 39, 23};

struct PlacementCase {
    const char* what;
    Placement saved;
    std::size_t areaCount;  // of desk, from the start
    Placement expected;
};

const PlacementCase placementCases[] = {
    {"inside", {50, 50, 640, 480}, 1, {50, 50, 640, 480}},
    {"partly off to the left", {-12, 40, 500, 380}, 1, {-12, 40, 500, 380}},
    {"exactly a third of its width on screen", {-400, 40, 600, 480}, 1, {-400, 40, 600, 480}},
    {"a pixel less than a third", {-401, 40, 600, 480}, 1, {0, 40, 600, 480}},
    {"only the bottom strip on screen, caption above", {50, -460, 640, 480}, 1, {50, 0, 640, 480}},
    /* 5 */
    {"caption a pixel above the top", {50, -1, 640, 480}, 1, {50, 0, 640, 480}},
    {"caption just above the task bar", {50, 1017, 640, 480}, 1, {50, 1017, 640, 480}},
    {"caption a pixel into the task bar", {50, 1018, 640, 480}, 1, {50, 560, 640, 480}},
    {"caption above the first monitor, beside the higher second", {100, -150, 640, 480}, 2, {100, 0, 640, 480}},
    {"caption on the higher second monitor", {-300, -150, 640, 480}, 2, {-300, -150, 640, 480}},
    /* 10 */
    {"wholly left", {-30000, 50, 640, 480}, 1, {0, 50, 640, 480}},
    {"wholly right", {50000, 50, 640, 480}, 1, {1280, 50, 640, 480}},
    {"wholly below", {50, 50000, 640, 480}, 1, {50, 560, 640, 480}},
    {"wholly above", {50, -30000, 640, 480}, 1, {50, 0, 640, 480}},
    {"right edge past the largest integer", {INT_MAX, 50, 640, 480}, 1, {1280, 50, 640, 480}},
    /* 15 */
    {"bottom edge past the largest integer", {50, INT_MAX, 640, 480}, 1, {50, 560, 640, 480}},
    {"lowest integers", {INT_MIN, INT_MIN, 640, 480}, 1, {0, 0, 640, 480}},
    {"largest size", {50, 50, INT_MAX, INT_MAX}, 1, {0, 0, 1920, 1040}},
    {"wider than the screen, lost", {-5000, 50, 3000, 480}, 1, {0, 50, 1920, 480}},
    {"zero size", {70, 60, 0, 0}, 1, {70, 60, 640, 480}},
    /* 20 */
    {"negative width", {70, 60, -5, 300}, 1, {70, 60, 640, 480}},
    {"negative height", {70, 60, 300, INT_MIN}, 1, {70, 60, 640, 480}},
    {"below the minimum width", {70, 60, 135, 300}, 1, {70, 60, 640, 480}},
    {"below the minimum height", {70, 60, 300, 38}, 1, {70, 60, 640, 480}},
    {"the minimum size", {70, 60, 136, 39}, 1, {70, 60, 136, 39}},
    /* 25 */
    {"unusable size and lost", {-30000, 60, 0, 480}, 1, {0, 60, 640, 480}},
    {"on the second monitor", {-900, 100, 640, 480}, 2, {-900, 100, 640, 480}},
    {"second monitor unplugged", {-900, 100, 640, 480}, 1, {0, 100, 640, 480}},
    {"beyond the second monitor", {-9000, -900, 640, 480}, 2, {-1280, -200, 640, 480}},
    {"touching both, sharing most with the second", {-620, 815, 640, 480}, 2, {-640, 344, 640, 480}},
    /* 30 */
    {"no monitor known", {-30000, 50, 640, 480}, 0, {-30000, 50, 640, 480}},
};

std::string Describe(const Placement& p)
{
    return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ") " + std::to_string(p.width) + " x " +
           std::to_string(p.height);
}

TEST(PlaceOnScreen, KeepsUsablePlacesAndBringsBackLostOnes)
{
    for (const PlacementCase& c : placementCases) {
        const Placement placed = PlaceOnScreen(c.saved, limits, desk, c.areaCount);
        EXPECT_EQ(Describe(placed), Describe(c.expected)) << c.what << ", saved " << Describe(c.saved);
        // Where a window is put back is a place the rule keeps.
        EXPECT_EQ(Describe(PlaceOnScreen(placed, limits, desk, c.areaCount)), Describe(placed)) << c.what;
    }
}

struct ClickCase {
    const char* what;
    Click second;  // the first is at time 1000, (200, 100)
    bool doubleClick;
};

constexpr Click firstClick = {1000, 200, 100};
constexpr std::uint32_t doubleClickTime = 500;
constexpr int rectangleWidth = 4;
constexpr int rectangleHeight = 6;

const ClickCase clickCases[] = {
    {"same place at once", {1000, 200, 100}, true},
    {"at the double-click time", {1500, 200, 100}, true},
    {"a millisecond later", {1501, 200, 100}, false},
    {"at the rectangle's corner", {1200, 198, 103}, true},
    {"a pixel right of it", {1200, 203, 100}, false},
    /* 5 */
    {"a pixel above it", {1200, 200, 96}, false},
    {"earlier than the first", {999, 200, 100}, false},
    {"far away", {1200, INT_MIN, INT_MAX}, false},
};

TEST(IsDoubleClick, SecondClickMustFollowSoonAndNearby)
{
    for (const ClickCase& c : clickCases)
        EXPECT_EQ(IsDoubleClick(firstClick, c.second, doubleClickTime, rectangleWidth, rectangleHeight),
                  c.doubleClick)
            << c.what;

    // The millisecond clock wraps about every 49.7 days.
    EXPECT_TRUE(IsDoubleClick({0xFFFFFF00u, 5, 5}, {0x50u, 5, 5}, doubleClickTime, rectangleWidth, rectangleHeight));
}

}  // namespace
