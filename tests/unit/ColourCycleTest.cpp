#include "scenes/ColourCycle.h"
#include "tests/unit/SceneChecks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

float ColourCycle::*const values[] = {&ColourCycle::red, &ColourCycle::green, &ColourCycle::blue};
bool ColourCycle::*const rising[] = {&ColourCycle::redRising, &ColourCycle::greenRising, &ColourCycle::blueRising};

// Each component runs a triangle wave: a step at a time, turning at 0 and 1
// (set to them exactly, whether it lands on them or overshoots) and nowhere
// else, a sweep taking about 1 / step advances.
TEST(ColourCycle, ComponentsBounceBetweenZeroAndOne)
{
    // Steps of 1/4, 1/2 and 1/8 land exactly on the ends; the others overshoot.
    const float stepSets[][3] = {
        {0.02f, 0.02f, 0.02f}, {0.025f, 0.03f, 0.02f}, {0.25f, 0.5f, 0.125f}, {0.3f, 0.7f, 0.45f}};
    for (const auto& steps : stepSets) {
        ColourCycle cycle = startingColour;
        int lastTurn[3] = {0, 0, 0}, turns[3] = {0, 0, 0};
        for (int n = 1; n <= 300; ++n) {
            const ColourCycle before = cycle;
            AdvanceColourCycle(cycle, steps[0], steps[1], steps[2]);
            for (int c = 0; c < 3; ++c) {
                const float value = cycle.*values[c], was = before.*values[c];
                const bool up = before.*rising[c];
                if (cycle.*rising[c] == up) {
                    ASSERT_EQ(value, up ? was + steps[c] : was - steps[c]) << c << " at " << n;
                    ASSERT_TRUE(value > 0.0f && value < 1.0f) << c << " at " << n;
                    continue;
                }
                ASSERT_EQ(value, up ? 1.0f : 0.0f) << c << " at " << n;
                if (turns[c]++ > 0)
                    EXPECT_NEAR(n - lastTurn[c], 1.0f / steps[c], 1.0) << c << " at " << n;
                lastTurn[c] = n;
            }
        }
        for (int c = 0; c < 3; ++c)
            EXPECT_GE(turns[c], 3) << c;
    }
}

// A closed bar along x, square about its own axis, from a fixed base to an
// end that follows the level either side of it; the corners show the
// cycle's components, each of them somewhere.
TEST(LevelBox, IsAClosedBarAsLongAsTheLevel)
{
    const ColourCycle colour = {0.125f, 0.5f, 0.75f, true, false, true};
    const float levels[] = {-0.5f, 0.0f, 1.0f, 3.0f};
    double base = 0, end[4];
    for (int i = 0; i < 4; ++i) {
        glCalls.clear();
        DrawLevelBox(levels[i], colour);
        const std::vector<Frame> frames = RecordedFrames();
        ASSERT_EQ(frames.size(), 1u);
        ASSERT_EQ(frames[0].shapes.size(), 1u);
        const Shape& box = frames[0].shapes[0];
        EXPECT_TRUE(ClosedBox(box)) << "level " << levels[i];
        const Extent e = Bounds(box);
        EXPECT_TRUE(std::abs(e.centre[1]) < 1e-6 && std::abs(e.centre[2]) < 1e-6);
        EXPECT_NEAR(e.high[1] - e.low[1], e.high[2] - e.low[2], 1e-6);
        // A negative level lies below the base.
        base = i == 0 ? e.high[0] : base;
        end[i] = i == 0 ? e.low[0] : e.high[0];
        EXPECT_NEAR(i == 0 ? e.high[0] : e.low[0], base, 1e-6) << "level " << levels[i];
        bool shown[3] = {};
        for (const Vertex& v : box.vertices) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_TRUE(v.colour[c] == 0 || v.colour[c] == colour.*values[c]) << "component " << c;
                shown[c] |= v.colour[c] != 0;
            }
        }
        EXPECT_TRUE(shown[0] && shown[1] && shown[2]) << "level " << levels[i];
    }
    const double slope = end[2] - end[1];
    EXPECT_GT(slope, 0.0);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(end[i] - end[1], slope * levels[i], 1e-5) << "level " << levels[i];
}

}  // namespace
