#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "scenes/Scenes.h"
#include "tests/unit/ExpectedCalls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

class TextureScene : public ::testing::Test {
protected:
    void SetUp() override { ResetScenes(); }
};

// The square's stream; the calls that bracket it on the projection stack are
// checked here for their place, and the matrix for its effect further down.
std::vector<GlCall> ExpectedSquare(float angle, const std::vector<double>& depthMatrix)
{
    std::vector<GlCall> square = {
        Call("glMatrixMode", {GL_PROJECTION}),
        Call("glPushMatrix"),
        Call("glMultMatrixf", depthMatrix),
        Call("glMatrixMode", {GL_MODELVIEW}),
        Call("glPushMatrix"),
        Call("glTranslatef", {0, 0, -10}),
        Call("glRotatef", {angle, 0, 0, 1}),
        Call("glEnable", {GL_TEXTURE_2D}),
        Call("glBindTexture", {GL_TEXTURE_2D, 0}),
        Call("glBegin", {GL_QUADS}),
        Call("glTexCoord2f", {0, 0}),
        Call("glVertex3f", {-7.1f, -7.1f, 0}),
        Call("glTexCoord2f", {0, 1}),
        Call("glVertex3f", {-7.1f, 7.1f, 0}),
        Call("glTexCoord2f", {1, 1}),
        Call("glVertex3f", {7.1f, 7.1f, 0}),
        Call("glTexCoord2f", {1, 0}),
        Call("glVertex3f", {7.1f, -7.1f, 0}),
        Call("glEnd"),
        Call("glDisable", {GL_TEXTURE_2D}),
        Call("glPopMatrix"),
        Call("glMatrixMode", {GL_PROJECTION}),
        Call("glPopMatrix"),
        Call("glMatrixMode", {GL_MODELVIEW}),
    };
    return square;
}

std::vector<double> RecordedDepthMatrix()
{
    for (const GlCall& call : glCalls) {
        if (call.name == "glMultMatrixf")
            return call.args;
    }
    return {};
}

TEST_F(TextureScene, FirstFrameDrawsSquareThenBoxesAndAdvancesAroundThem)
{
    channelLevels.level = {0.04f, 1.0f};
    std::vector<float> angleAtBegin;
    float redAtLastEnd = -1.0f;
    float redAtPresent = -1.0f;
    onGlCall = [&](const GlCall& call) {
        if (call.name == "glBegin")
            angleAtBegin.push_back(squareAngle);
        if (call.name == "glEnd")
            redAtLastEnd = textureColour.red;
        if (call.name == "PresentFrame")
            redAtPresent = textureColour.red;
    };
    DrawTextureScene();

    std::vector<GlCall> expected = {Call("glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT})};
    Append(expected, ExpectedSquare(0.0f, RecordedDepthMatrix()));
    Append(expected, {
                         Call("glPushMatrix"),
                         Call("glEnable", {GL_DEPTH_TEST}),
                         Call("glDisable", {GL_COLOR_MATERIAL}),
                         Call("glDisable", {GL_LIGHTING}),
                         Call("glTranslatef", {1.5, 0, -5}),
                         Call("glRotatef", {90, 0, 0, 1}),
                     });
    Append(expected, ExpectedBox(1.0f, 0.0f, 0.33f, 0.66f));
    Append(expected, {
                         Call("glPopMatrix"),
                         Call("glPushMatrix"),
                         Call("glTranslatef", {-1.5, 0, -5}),
                         Call("glRotatef", {90, 0, 0, 1}),
                         Call("glRotatef", {90, 1, 0, 0}),
                     });
    Append(expected, ExpectedBox(0.04f, 0.0f, 0.33f, 0.66f));
    Append(expected, {Call("glPopMatrix"), Call("PresentFrame")});
    EXPECT_TRUE(SameCalls(expected, glCalls));
    EXPECT_EQ(glCalls.size(), 138u);

    // The square turns between the square and the boxes, the colours before
    // the frame is presented.
    EXPECT_EQ(angleAtBegin, (std::vector<float>{0.0f, 2.0f, 2.0f}));
    EXPECT_EQ(redAtLastEnd, 0.0f);
    EXPECT_EQ(redAtPresent, 0.02f);
}

constexpr double pi = 3.14159265358979323846;

using Matrix = std::array<double, 16>;  // column-major, as GL takes it
using Vector = std::array<double, 4>;

Vector Transform(const Matrix& m, const Vector& v)
{
    Vector out = {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column)
            out[row] += m[4 * column + row] * v[column];
    }
    return out;
}

// The set-up's projection: 45 degrees, near 1, far 10.
Matrix Perspective(double aspect)
{
    const double f = 1.0 / std::tan(22.5 * pi / 180.0);
    return {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, -11.0 / 9.0, -1, 0, 0, -20.0 / 9.0, 0};
}

TEST_F(TextureScene, SquareIsPulledInsideTheFarPlaneWithoutMovingOnScreen)
{
    DrawTextureScene();
    const std::vector<double> recorded = RecordedDepthMatrix();
    ASSERT_EQ(recorded.size(), 16u);
    Matrix pull;
    std::copy(recorded.begin(), recorded.end(), pull.begin());

    // Nearest and farthest depth of a box: its faces at z = -5 +- 0.25.
    const Matrix projection = Perspective(4.0 / 3.0);
    double boxDepth = 0;
    for (double z : {-4.75, -5.25}) {
        const Vector clip = Transform(projection, {0, 0, z, 1});
        boxDepth = std::max(boxDepth, clip[2] / clip[3]);
    }

    for (double angle : {0.0, 30.0, 45.0, 90.0}) {
        const double c = std::cos(angle * pi / 180.0), s = std::sin(angle * pi / 180.0);
        for (double x : {-7.1, 7.1}) {
            for (double y : {-7.1, 7.1}) {
                const Vector eye = {c * x - s * y, s * x + c * y, -10, 1};
                // Without the pull the square's depth is exactly 1, on the far plane.
                const Vector plain = Transform(projection, eye);
                const Vector pulled = Transform(projection, Transform(pull, eye));
                for (int i : {0, 1, 3})
                    EXPECT_NEAR(pulled[i], plain[i], 1e-9) << "component " << i << " at " << angle << " degrees";
                const double depth = pulled[2] / pulled[3];
                EXPECT_LT(depth, 1.0 - 1e-4) << "at " << angle << " degrees";
                EXPECT_GT(depth, boxDepth + 0.1) << "boxes stay in front at " << angle << " degrees";
            }
        }
    }
}

TEST_F(TextureScene, SquareAngleWrapsAfter180Frames)
{
    for (int n = 1; n <= 362; ++n)
        DrawTextureScene();
    const auto frames = RecordedFrames();
    ASSERT_EQ(frames.size(), 362u);
    for (int n = 1; n <= 362; ++n) {
        // 0 in the first frame only, then 2, 4, ..., 360 over and over.
        const int steps = n == 1 ? 0 : (n - 2) % 180 + 1;
        const std::vector<double> angles = FirstArgs(frames[n - 1], "glRotatef");
        ASSERT_EQ(angles.size(), 4u);
        ASSERT_EQ(angles[0], 2.0f * steps) << "frame " << n;
    }
    EXPECT_EQ(FirstArgs(frames[180], "glRotatef")[0], 360.0);
    EXPECT_EQ(FirstArgs(frames[181], "glRotatef")[0], 2.0);
}

}  // namespace
