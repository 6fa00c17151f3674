#include "scenes/SceneSetup.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "scenes/Scenes.h"
#include "settings/Settings.h"
#include "tests/unit/ExpectedCalls.h"

#include <gtest/gtest.h>

namespace {

class SpheresScene : public ::testing::Test {
protected:
    void SetUp() override { ResetScenes(); }
};

struct Colour {
    float red, green, blue;
};

std::vector<GlCall> ExpectedSphere(double x, SpinAngles spin, Colour colour, float radius, int detail)
{
    GlCall sphere = Call("gluSphere", {double(radius), double(detail), double(detail)});
    sphere.object = recordedQuadric;
    return {
        Call("glPushMatrix"),
        Call("glTranslatef", {x, 0, -5}),
        Call("glRotatef", {spin.z, 0, 0, 1}),
        Call("glRotatef", {spin.y, 0, 1, 0}),
        Call("glRotatef", {spin.x, 1, 0, 0}),
        Call("glColor3f", {colour.red, colour.green, colour.blue}),
        sphere,
        Call("glPopMatrix"),
    };
}

std::vector<GlCall> ExpectedFrame(SpinAngles spin, Colour right, Colour left, float level0, float level1, int detail)
{
    std::vector<GlCall> frame = {
        Call("glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}),
        Call("glLightfv", {GL_LIGHT0, GL_DIFFUSE, 1, 1, 1, 1}),
        Call("glLightfv", {GL_LIGHT0, GL_SPECULAR, 1, 1, 1, 1}),
        Call("glLightfv", {GL_LIGHT0, GL_POSITION, -1.5f, 1.1f, 0.6f, 0}),
        Call("glEnable", {GL_COLOR_MATERIAL}),
        Call("glEnable", {GL_LIGHTING}),
        Call("glEnable", {GL_LIGHT0}),
        Call("glMaterialfv", {GL_FRONT, GL_SPECULAR, 1, 1, 1, 1}),
        Call("glMateriali", {GL_FRONT, GL_SHININESS, 128}),
    };
    Append(frame, ExpectedSphere(1.5, spin, right, level1, detail));
    Append(frame, ExpectedSphere(-1.5, spin, left, level0, detail));
    frame.push_back(Call("PresentFrame"));
    return frame;
}

TEST_F(SpheresScene, FirstTwoFramesLightAndDrawThenAdvanceAfterPresenting)
{
    channelLevels.level = {0.04f, 2.0f};  // the meter's floor and maximum
    SpinAngles spinAtPresent = {-1, -1, -1};
    float redAtPresent = -1.0f;
    onGlCall = [&](const GlCall& call) {
        if (call.name == "PresentFrame") {
            spinAtPresent = sphereSpin;
            redAtPresent = sphereColour.red;
        }
    };
    DrawSpheresScene();
    // Right sphere (blue, red, green), left (red, green, blue).
    EXPECT_TRUE(SameCalls(ExpectedFrame({0, 0, 0}, {0.66f, 0.0f, 0.33f}, {0.0f, 0.33f, 0.66f}, 0.04f, 2.0f, 10), glCalls));
    EXPECT_EQ(glCalls.size(), 26u);
    EXPECT_EQ(spinAtPresent.z, 0.0f) << "angles advanced before the frame was presented";
    EXPECT_EQ(redAtPresent, 0.0f) << "colour advanced before the frame was presented";

    glCalls.clear();
    settings.detail = 24;  // read on every call
    DrawSpheresScene();
    const Colour second = {0.025f, 0.33f + 0.03f, 0.66f + 0.02f};
    EXPECT_TRUE(SameCalls(ExpectedFrame({1.0f, 0.75f, 0.75f}, {second.blue, second.red, second.green}, second, 0.04f,
                                        2.0f, 24),
                          glCalls));
    EXPECT_NEAR(second.green, 0.36, 1e-6);
    EXPECT_NEAR(second.blue, 0.68, 1e-6);
}

TEST_F(SpheresScene, AnglesWrapAfter360And480Frames)
{
    for (int n = 1; n <= 482; ++n)
        DrawSpheresScene();
    const auto frames = RecordedFrames();
    ASSERT_EQ(frames.size(), 482u);
    for (int n = 1; n <= 482; ++n) {
        // Frame n draws the angles left by n - 1 advances.
        const int zSteps = n <= 361 ? n - 1 : n - 361;
        const int xySteps = n <= 481 ? n - 1 : n - 481;
        const std::vector<double> angles = FirstArgs(frames[n - 1], "glRotatef");
        ASSERT_EQ(angles.size(), 6u);
        for (int sphere = 0; sphere < 2; ++sphere) {
            ASSERT_EQ(angles[3 * sphere], 1.0f * zSteps) << "z angle in frame " << n;
            ASSERT_EQ(angles[3 * sphere + 1], 0.75f * xySteps) << "y angle in frame " << n;
            ASSERT_EQ(angles[3 * sphere + 2], 0.75f * xySteps) << "x angle in frame " << n;
        }
    }
    EXPECT_EQ(FirstArgs(frames[360], "glRotatef")[0], 360.0);
    EXPECT_EQ(FirstArgs(frames[361], "glRotatef")[0], 1.0);
    EXPECT_EQ(FirstArgs(frames[480], "glRotatef")[1], 360.0);
    EXPECT_EQ(FirstArgs(frames[481], "glRotatef")[2], 0.75);
}

TEST_F(SpheresScene, WithoutAQuadricNothingIsDrawnOrAdvanced)
{
    sphereQuadric = nullptr;
    DrawSpheresScene();
    EXPECT_TRUE(glCalls.empty()) << glCalls.size() << " calls, the first " << FormatCall(glCalls.front());
    EXPECT_EQ(sphereSpin.z, 0.0f);
    EXPECT_EQ(sphereColour.red, 0.0f);

    sphereQuadric = recordedQuadric;
    DrawSpheresScene();
    EXPECT_EQ(RecordedFrames().size(), 1u);
    EXPECT_EQ(sphereSpin.z, 1.0f);
}

}  // namespace
