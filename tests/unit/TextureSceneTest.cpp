#include "scenes/LevelMeter.h"
#include "scenes/Scenes.h"
#include "tests/unit/SceneChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

using TexCoord = std::array<double, 2>;

const Shape* Square(const Frame& frame)
{
    const auto square =
        std::find_if(frame.shapes.begin(), frame.shapes.end(), [](const Shape& s) { return s.textured; });
    return square == frame.shapes.end() ? nullptr : &*square;
}

// Where the texture's first texel lies, as an angle about the square's middle.
double Turn(const Shape& square)
{
    const Vec4 middle = Bounds(square).centre;
    for (const Vertex& v : square.vertices)
        if (v.texCoord == TexCoord{0, 0})
            return std::atan2(v.eye[1] - middle[1], v.eye[0] - middle[0]) * 180 / 3.14159265358979323846;
    return NAN;
}

// The whole checkerboard faces the viewer behind the boxes, its depth just
// inside the far plane but its place on screen that of the plain projection;
// it turns one step a frame.
TEST(TextureScene, CheckerboardSquareTurnsBehindTheBoxesInsideTheFarPlane)
{
    StartScene(textureModule);
    channelLevels.level = {3.0f, 3.0f};
    const std::vector<Frame> frames = DrawFrames(DrawTextureScene, 200);  // past a whole turn
    double firstStep = 0;
    for (size_t n = 0; n < frames.size(); ++n) {
        const Shape* square = Square(frames[n]);
        ASSERT_TRUE(square) << "frame " << n;
        ASSERT_TRUE(square->mode == GL_QUADS && square->vertices.size() == 4);
        double boxDepth = -1;
        for (const Shape& box : Solids(frames[n]))
            for (const Vertex& v : box.vertices)
                boxDepth = std::max(boxDepth, v.clip[2] / v.clip[3]);
        std::set<TexCoord> texels;
        for (const Vertex& v : square->vertices) {
            const Vec4 plain = Transform(frames[n].projection, v.eye);
            ASSERT_NEAR(v.clip[0] / v.clip[3], plain[0] / plain[3], 1e-6);
            ASSERT_NEAR(v.clip[1] / v.clip[3], plain[1] / plain[3], 1e-6);
            ASSERT_TRUE(v.clip[2] / v.clip[3] < 1 - 1e-4 && v.clip[2] / v.clip[3] > boxDepth) << "frame " << n;
            ASSERT_NEAR(v.eye[2], square->vertices[0].eye[2], 1e-6);
            texels.insert(v.texCoord);
        }
        ASSERT_EQ(texels, (std::set<TexCoord>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
        if (n == 0)
            continue;
        const double step = std::remainder(Turn(*square) - Turn(*Square(frames[n - 1])), 360.0);
        firstStep = n == 1 ? step : firstStep;
        ASSERT_TRUE(std::abs(step) > 0.1 && std::abs(step - firstStep) < 1e-3) << step << " degrees in frame " << n;
    }
}

}  // namespace
