#include "scenes/ColourCycle.h"
#include "tests/unit/ExpectedCalls.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Turns {
    const char* name;
    float ColourCycle::*value;
    bool ColourCycle::*rising;
    std::vector<int> expected;  // advances at which the direction flips
};

// Advances the cycle and checks, per component, at which advances it turned,
// that it turned exactly at 1 or 0 and stayed strictly inside them otherwise.
void ExpectTurns(ColourCycle cycle, float redStep, float greenStep, float blueStep, const std::vector<Turns>& components,
                 int advances)
{
    std::vector<std::vector<int>> seen(components.size());
    for (int n = 1; n <= advances; ++n) {
        const ColourCycle before = cycle;
        AdvanceColourCycle(cycle, redStep, greenStep, blueStep);
        for (size_t c = 0; c < components.size(); ++c) {
            const Turns& component = components[c];
            const float value = cycle.*component.value;
            if (cycle.*component.rising != before.*component.rising) {
                seen[c].push_back(n);
                EXPECT_EQ(value, before.*component.rising ? 1.0f : 0.0f) << component.name << " at advance " << n;
            } else {
                EXPECT_GT(value, 0.0f) << component.name << " at advance " << n;
                EXPECT_LT(value, 1.0f) << component.name << " at advance " << n;
            }
        }
    }
    for (size_t c = 0; c < components.size(); ++c)
        EXPECT_EQ(seen[c], components[c].expected) << components[c].name;
}

TEST(ColourCycle, BoxScenesTurnAtTheListedAdvances)
{
    // Also the Texture scene's cycle: same start, same steps.
    ExpectTurns({0.0f, 0.33f, 0.66f, true, true, true}, 0.02f, 0.02f, 0.02f,
                {{"red", &ColourCycle::red, &ColourCycle::redRising, {51, 102}},
                 {"green", &ColourCycle::green, &ColourCycle::greenRising, {34, 85}},
                 {"blue", &ColourCycle::blue, &ColourCycle::blueRising, {18, 69}}},
                110);
}

TEST(ColourCycle, SpheresTurnAtTheListedAdvances)
{
    // Green climbs back from 0 in 34 steps of 0.03, turning again at 91.
    ExpectTurns({0.0f, 0.33f, 0.66f, true, true, true}, 0.025f, 0.03f, 0.02f,
                {{"red", &ColourCycle::red, &ColourCycle::redRising, {41, 82}},
                 {"green", &ColourCycle::green, &ColourCycle::greenRising, {23, 57, 91}},
                 {"blue", &ColourCycle::blue, &ColourCycle::blueRising, {18, 69}}},
                110);
}

TEST(ColourCycle, LandingOnAnEndOrOvershootingItTurnsInThatAdvance)
{
    struct Case {
        float value;
        bool rising;
        float step;
        float after;
        bool risingAfter;
    };
    const Case cases[] = {
        {0.5f, true, 0.5f, 1.0f, false},   // lands on 1
        {0.5f, false, 0.5f, 0.0f, true},   // lands on 0
        {0.9f, true, 0.25f, 1.0f, false},  // overshoots 1
        {0.1f, false, 0.25f, 0.0f, true},  // overshoots 0
        {1.0f, false, 0.25f, 0.75f, false},
        {0.0f, true, 0.25f, 0.25f, true},
    };
    for (const Case& c : cases) {
        // The same case in each component, the other two at rest mid-range.
        ColourCycle cycle = {c.value, c.value, c.value, c.rising, c.rising, c.rising};
        AdvanceColourCycle(cycle, c.step, 0.0f, 0.0f);
        EXPECT_EQ(cycle.red, c.after) << "from " << c.value << " step " << c.step;
        EXPECT_EQ(cycle.redRising, c.risingAfter) << "from " << c.value << " step " << c.step;
        cycle = {c.value, c.value, c.value, c.rising, c.rising, c.rising};
        AdvanceColourCycle(cycle, 0.0f, c.step, c.step);
        EXPECT_EQ(cycle.green, c.after);
        EXPECT_EQ(cycle.blue, c.after);
        EXPECT_EQ(cycle.greenRising, c.risingAfter);
        EXPECT_EQ(cycle.blueRising, c.risingAfter);
    }
}

TEST(LevelBox, DrawsTheTwentyFourCornersInTableOrder)
{
    const struct {
        float level;
        float farX;
    } cases[] = {{0.0f, -1.45f}, {0.04f, -1.41f}, {3.0f, 1.55f}, {-0.5f, -1.95f}};
    const ColourCycle colour = {0.125f, 0.5f, 0.75f, true, false, true};
    for (const auto& c : cases) {
        glCalls.clear();
        DrawLevelBox(c.level, colour);
        EXPECT_TRUE(SameCalls(ExpectedBox(c.level, 0.125f, 0.5f, 0.75f), glCalls)) << "level " << c.level;
        // Far end exactly where the level puts it, whatever side of the base.
        ASSERT_EQ(glCalls.size(), 50u);
        EXPECT_NEAR(glCalls[6].args[0], c.farX, 1e-6) << "level " << c.level;
    }
}

TEST(LevelBox, EachQuadIsOneFaceAndTogetherTheyCloseTheBox)
{
    glCalls.clear();
    DrawLevelBox(2.0f, {0.1f, 0.2f, 0.3f, true, true, true});
    ASSERT_EQ(glCalls.size(), 50u);
    // Faces of the bar from -1.5 to 2 - 1.45: which coordinate the face fixes.
    const struct {
        int axis;
        float value;
    } faces[] = {{1, 0.25f}, {1, -0.25f}, {2, 0.25f}, {2, -0.25f}, {0, -1.5f}, {0, 2.0f - 1.45f}};
    for (int face = 0; face < 6; ++face) {
        for (int corner = 0; corner < 4; ++corner) {
            const GlCall& vertex = glCalls[2 + 8 * face + 2 * corner];
            ASSERT_EQ(vertex.name, "glVertex3f");
            EXPECT_EQ(vertex.args[faces[face].axis], faces[face].value) << "face " << face << " corner " << corner;
        }
    }
}

}  // namespace
