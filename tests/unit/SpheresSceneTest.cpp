#include "scenes/SceneSetup.h"
#include "scenes/Scenes.h"
#include "tests/unit/SceneChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class SpheresScene : public ::testing::Test {
protected:
    void SetUp() override { StartScene(spheresModule); }
};

// Left shows channel 0, right channel 1. Loud spheres reach across the
// middle; their centres stay on their sides.
TEST_F(SpheresScene, SpheresEitherSideOfTheCentreGrowWithTheirChannel)
{
    EXPECT_TRUE(PairFollowsLevels(DrawLevels(DrawSpheresScene, 0.5f, 2.0f), [](const Shape& s) { return s.radius; }));
}

// The angle of the rotation from one modelview to the other, in degrees.
double TurnBetween(const Mat4& a, const Mat4& b)
{
    double trace = 0;
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            trace += a[4 * column + row] * b[4 * column + row];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / 3.14159265358979323846;
}

// Lit by a directional light from the viewer's side that stays put as they turn.
TEST_F(SpheresScene, LitSpheresTurnALittleEachFrame)
{
    const std::vector<Frame> frames = DrawFrames(DrawSpheresScene, 500);  // past a whole turn
    ASSERT_FALSE(frames.at(0).lights.empty());
    EXPECT_TRUE(frames[0].lights.back()[3] == 0 && frames[0].lights.back()[2] > 0);
    for (size_t n = 0; n < frames.size(); ++n) {
        ASSERT_TRUE(WellFormed(frames[n]));
        ASSERT_EQ(frames[n].lights, frames[0].lights);
        const std::vector<Shape> spheres = Solids(frames[n]);
        ASSERT_EQ(spheres.size(), 2u);
        for (int k = 0; k < 2; ++k) {
            for (double cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL})
                ASSERT_TRUE(spheres[k].enabled.count(cap)) << "capability " << cap;
            if (n == 0)
                continue;
            const double turn = TurnBetween(spheres[k].modelview, Solids(frames[n - 1])[k].modelview);
            ASSERT_TRUE(turn > 0.1 && turn < 5) << turn << " degrees in frame " << n;
        }
    }
    EXPECT_TRUE(ColoursDrift(frames));
}

TEST_F(SpheresScene, DetailAndLinesComeFromTheSettings)
{
    for (int lines : {0, 1}) {
        Settings chosen = initialSettings;
        chosen.lines = lines;
        StartScene(spheresModule, chosen);
        for (int detail : {7, 24}) {
            settings.detail = detail;  // read by every frame
            for (const Shape& sphere : Solids(DrawFrames(DrawSpheresScene, 1).at(0))) {
                EXPECT_TRUE(sphere.slices == detail && sphere.stacks == detail);
                EXPECT_EQ(sphere.drawStyle, lines ? GLU_LINE : GLU_FILL);
            }
        }
    }
}

// Without a quadric a call shows no frame, so the animation waits for the next.
TEST_F(SpheresScene, WithoutAQuadricNothingIsDrawnOrMoved)
{
    DrawSpheresScene();
    GLUquadric* const quadric = sphereQuadric;
    sphereQuadric = nullptr;
    DrawSpheresScene();
    sphereQuadric = quadric;
    DrawSpheresScene();
    const std::vector<Frame> skipped = RecordedFrames();
    StartScene(spheresModule);
    const std::vector<Frame> plain = DrawFrames(DrawSpheresScene, 2);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[1].calls.size(), plain[1].calls.size());
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(Solids(skipped[1]).at(k).modelview, Solids(plain[1]).at(k).modelview);
        EXPECT_EQ(Solids(skipped[1]).at(k).vertices[0].colour, Solids(plain[1]).at(k).vertices[0].colour);
    }
}

}  // namespace
