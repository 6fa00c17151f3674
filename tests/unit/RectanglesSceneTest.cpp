#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "scenes/Scenes.h"
#include "tests/unit/ExpectedCalls.h"

#include <gtest/gtest.h>

namespace {

// Read before any test runs: the scenes' state as the library is loaded.
const float rectangleSpinAtLoad = rectangleSpin;
const SpinAngles sphereSpinAtLoad = sphereSpin;
const float squareAngleAtLoad = squareAngle;
const ColourCycle coloursAtLoad[] = {rectangleColour, sphereColour, textureColour};

class RectanglesScene : public ::testing::Test {
protected:
    void SetUp() override { ResetScenes(); }
};

// One frame as drawn with the right box's spin angle and the box colours.
std::vector<GlCall> ExpectedFrame(float spin, float level0, float level1, float red, float green, float blue)
{
    std::vector<GlCall> frame = {
        Call("glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}),
        Call("glPushMatrix"),
        Call("glEnable", {GL_DEPTH_TEST}),
        Call("glDisable", {GL_COLOR_MATERIAL}),
        Call("glDisable", {GL_LIGHTING}),
        Call("glTranslatef", {1.5, 0, -5}),
        Call("glRotatef", {90, 0, 0, 1}),
        Call("glRotatef", {spin, 1, 0, 0}),
    };
    Append(frame, ExpectedBox(level1, red, green, blue));
    Append(frame, {
                      Call("glPopMatrix"),
                      Call("glPushMatrix"),
                      Call("glTranslatef", {-1.5, 0, -5}),
                      Call("glRotatef", {90, 0, 0, 1}),
                      Call("glRotatef", {90.0f - spin, 1, 0, 0}),
                  });
    Append(frame, ExpectedBox(level0, red, green, blue));
    Append(frame, {Call("glPopMatrix"), Call("PresentFrame")});
    return frame;
}

TEST(SceneState, StartsUnturnedInTheStartingColours)
{
    EXPECT_EQ(rectangleSpinAtLoad, 0.0f);
    EXPECT_EQ(sphereSpinAtLoad.z, 0.0f);
    EXPECT_EQ(sphereSpinAtLoad.y, 0.0f);
    EXPECT_EQ(sphereSpinAtLoad.x, 0.0f);
    EXPECT_EQ(squareAngleAtLoad, 0.0f);
    for (const ColourCycle& colour : coloursAtLoad) {
        EXPECT_EQ(colour.red, 0.0f);
        EXPECT_EQ(colour.green, 0.33f);
        EXPECT_EQ(colour.blue, 0.66f);
        EXPECT_TRUE(colour.redRising && colour.greenRising && colour.blueRising);
    }
}

TEST_F(RectanglesScene, FirstTwoFramesDrawTheBoxesThenAdvanceAfterPresenting)
{
    channelLevels.level = {0.0f, 3.0f};
    float spinAtPresent = -1.0f;
    float redAtPresent = -1.0f;
    onGlCall = [&](const GlCall& call) {
        if (call.name == "PresentFrame") {
            spinAtPresent = rectangleSpin;
            redAtPresent = rectangleColour.red;
        }
    };
    DrawRectanglesScene();
    EXPECT_TRUE(SameCalls(ExpectedFrame(0.0f, 0.0f, 3.0f, 0.0f, 0.33f, 0.66f), glCalls));
    EXPECT_EQ(glCalls.size(), 115u);
    EXPECT_EQ(spinAtPresent, 0.0f) << "spin advanced before the frame was presented";
    EXPECT_EQ(redAtPresent, 0.0f) << "colour advanced before the frame was presented";
    EXPECT_EQ(rectangleSpin, 0.75f);

    glCalls.clear();
    DrawRectanglesScene();
    EXPECT_TRUE(SameCalls(ExpectedFrame(0.75f, 0.0f, 3.0f, 0.02f, 0.33f + 0.02f, 0.66f + 0.02f), glCalls));
    EXPECT_NEAR(rectangleColour.green, 0.37, 1e-6);
}

TEST_F(RectanglesScene, SpinRunsA480FrameCycleThatNeverReturnsToZero)
{
    for (int n = 1; n <= 962; ++n)
        DrawRectanglesScene();
    const auto frames = RecordedFrames();
    ASSERT_EQ(frames.size(), 962u);
    for (int n = 1; n <= 962; ++n) {
        // 0 in the first frame only, then 0.75, 1.5, ..., 360 over and over.
        const int step = n == 1 ? 0 : (n - 2) % 480 + 1;
        const float right = 0.75f * step;
        const std::vector<double> angles = FirstArgs(frames[n - 1], "glRotatef");
        ASSERT_EQ(angles.size(), 4u);
        ASSERT_EQ(angles[1], right) << "right box in frame " << n;
        ASSERT_EQ(angles[3], 90.0f - right) << "left box in frame " << n;
    }
    EXPECT_EQ(FirstArgs(frames[480], "glRotatef")[1], 360.0) << "frame 481 draws the angle left by frame 480";
    EXPECT_EQ(FirstArgs(frames[481], "glRotatef")[1], 0.75);
}

}  // namespace
