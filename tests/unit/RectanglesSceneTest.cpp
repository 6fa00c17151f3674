#include "scenes/Scenes.h"
#include "tests/unit/SceneChecks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Both modules that show the levels as boxes.
class BoxScenes : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { StartScene(GetParam()); }
    void (*const draw)() = sceneModules[GetParam()].draw;
};

TEST_P(BoxScenes, FramesClearFirstPresentLastAndShowTheBoxesOwnColours)
{
    // State another module may leave: the boxes must set what they need.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    const std::vector<Frame> frames = DrawFrames(draw, 120);
    for (const Frame& frame : frames) {
        ASSERT_TRUE(WellFormed(frame));
        for (const Shape& box : Solids(frame))
            ASSERT_TRUE(box.enabled.count(GL_DEPTH_TEST) && !box.enabled.count(GL_LIGHTING));
    }
    EXPECT_TRUE(ColoursDrift(frames));
}

double Height(const Shape& box)
{
    return Bounds(box).high[1] - Bounds(box).low[1];
}

// Left shows channel 0, right channel 1, on one floor; silence is a flat box.
TEST_P(BoxScenes, BoxesStandEitherSideOfTheCentreTallerAsTheirChannelIsLouder)
{
    const std::vector<Frame> frames = DrawLevels(draw, 0.0f, 3.0f);
    ASSERT_TRUE(PairFollowsLevels(frames, Height));
    const double floor = Bounds(Solids(frames[0])[0]).low[1];
    for (const Frame& frame : frames) {
        for (const Shape& box : Solids(frame)) {
            EXPECT_TRUE(ClosedBox(box));
            EXPECT_NEAR(Bounds(box).low[1], floor, 1e-5);
        }
    }
    const Extent silent = Bounds(Solids(frames[0])[0]);
    EXPECT_LT(Height(Solids(frames[0])[0]), silent.high[0] - silent.low[0]);
}

INSTANTIATE_TEST_SUITE_P(Scenes, BoxScenes,
                         ::testing::Values(rectanglesModule, textureModule),
                         [](const auto& info) { return info.param == rectanglesModule ? "Rectangles" : "Texture"; });

// A box's turn about the vertical through its middle, as its first corner
// lies; a square section looks the same every quarter turn.
double Turn(const Shape& box)
{
    const Vec4 middle = Bounds(box).centre, &corner = box.vertices[0].eye;
    return std::atan2(corner[2] - middle[2], corner[0] - middle[0]) * 180 / 3.14159265358979323846;
}

TEST(RectanglesScene, BoxesTurnOppositeWaysByOneStepPerFrame)
{
    StartScene(rectanglesModule);
    const std::vector<Frame> frames = DrawFrames(DrawRectanglesScene, 500);  // past a whole turn
    auto step = [&](size_t n, int box) {
        return std::remainder(Turn(Solids(frames[n]).at(box)) - Turn(Solids(frames[n - 1]).at(box)), 90.0);
    };
    const double right = step(1, 1);
    EXPECT_GT(std::abs(right), 0.1);
    for (size_t n = 1; n < frames.size(); ++n) {
        ASSERT_NEAR(step(n, 1), right, 1e-3) << "frame " << n;
        ASSERT_NEAR(step(n, 0), -right, 1e-3) << "frame " << n;
    }
}

}  // namespace
