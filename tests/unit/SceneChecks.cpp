#include "tests/unit/SceneChecks.h"

#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "scenes/SceneState.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Taken before any test runs: the scenes' animation as the library is loaded.
const float rectangleSpinAtLoad = rectangleSpin;
const SpinAngles sphereSpinAtLoad = sphereSpin;
const float squareAngleAtLoad = squareAngle;
const ColourCycle coloursAtLoad[] = {rectangleColour, sphereColour, textureColour};

std::vector<GlCall> setUpCalls;

Vec4 Minus(const Vec4& a, const Vec4& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2], 0};
}

double Dot(const Vec4& a, const Vec4& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool Same(const Vec4& a, const Vec4& b)
{
    return Dot(Minus(a, b), Minus(a, b)) < 1e-10;
}

}  // namespace

void StartScene(int module, const Settings& with)
{
    settings = with;
    rectangleSpin = rectangleSpinAtLoad;
    sphereSpin = sphereSpinAtLoad;
    squareAngle = squareAngleAtLoad;
    rectangleColour = coloursAtLoad[0];
    sphereColour = coloursAtLoad[1];
    textureColour = coloursAtLoad[2];
    channelLevels = {};
    ReleaseScene();
    glCalls.clear();
    SetupScene(module, 640, 480);
    setUpCalls = glCalls;
    glCalls.clear();
}

std::vector<Frame> RecordedFrames()
{
    return ReplayFrames(setUpCalls, glCalls);
}

std::vector<Frame> DrawFrames(void (*scene)(), int count)
{
    glCalls.clear();
    for (int n = 0; n < count; ++n)
        scene();
    return RecordedFrames();
}

::testing::AssertionResult WellFormed(const Frame& frame)
{
    const std::vector<GlCall>& calls = frame.calls;
    auto first = [&](auto match) { return std::find_if(calls.begin(), calls.end(), match) - calls.begin(); };
    const auto clear = first([](const GlCall& c) {
        const int both = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
        return c.name == "glClear" && (int(c.args[0]) & both) == both;
    });
    const auto draw = first([](const GlCall& c) { return c.name == "glBegin" || c.name == "gluSphere"; });
    const auto presents =
        std::count_if(calls.begin(), calls.end(), [](const GlCall& c) { return c.name == "PresentFrame"; });
    if (clear >= draw)
        return ::testing::AssertionFailure() << "colour and depth are not cleared before drawing";
    if (presents != 1 || calls.back().name != "PresentFrame")
        return ::testing::AssertionFailure() << presents << " PresentFrame, the last call " << FormatCall(calls.back());
    if (!frame.matricesRestored)
        return ::testing::AssertionFailure() << "the matrices are not left as found";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClosedBox(const Shape& box)
{
    if (box.mode != GL_QUADS || box.vertices.size() != 24)
        return ::testing::AssertionFailure() << box.vertices.size() << " vertices in mode " << box.mode;
    auto corner = [&](int face, int k) { return box.vertices[4 * face + k % 4].eye; };
    std::vector<Vec4> distinct;
    for (int face = 0; face < 6; ++face) {
        const Vec4 d = Minus(corner(face, 2), corner(face, 0)), e = Minus(corner(face, 3), corner(face, 1));
        const Vec4 normal = {d[1] * e[2] - d[2] * e[1], d[2] * e[0] - d[0] * e[2], d[0] * e[1] - d[1] * e[0], 0};
        const double twiceArea = std::sqrt(Dot(normal, normal));
        if (twiceArea < 1e-6)
            return ::testing::AssertionFailure() << "face " << face << " has no area";
        for (int k = 0; k < 4; ++k) {
            if (std::abs(Dot(Minus(corner(face, k), corner(face, 0)), normal)) / twiceArea > 1e-5)
                return ::testing::AssertionFailure() << "face " << face << " bends at corner " << k;
            if (std::none_of(distinct.begin(), distinct.end(), [&](const Vec4& v) { return Same(v, corner(face, k)); }))
                distinct.push_back(corner(face, k));
            int sharing = 0;
            for (int other = 0; other < 6; ++other) {
                for (int j = 0; j < 4 && other != face; ++j) {
                    const Vec4 a = corner(other, j), b = corner(other, j + 1);
                    sharing += (Same(corner(face, k), a) && Same(corner(face, k + 1), b)) ||
                               (Same(corner(face, k), b) && Same(corner(face, k + 1), a));
                }
            }
            if (sharing != 1)
                return ::testing::AssertionFailure()
                       << "edge " << k << " of face " << face << " meets " << sharing << " faces";
        }
    }
    if (distinct.size() != 8)
        return ::testing::AssertionFailure() << distinct.size() << " corners";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ColoursDrift(const std::vector<Frame>& frames)
{
    for (size_t n = 0; n < frames.size(); ++n) {
        double change = 0;
        for (size_t i = 0; i < frames[n].shapes.size(); ++i) {
            const Shape& shape = frames[n].shapes[i];
            for (size_t k = 0; k < shape.vertices.size() && !shape.textured; ++k) {
                const Rgb& colour = shape.vertices[k].colour;
                if (*std::min_element(colour.begin(), colour.end()) < 0 ||
                    *std::max_element(colour.begin(), colour.end()) > 1)
                    return ::testing::AssertionFailure() << "a colour out of range in frame " << n;
                for (int c = 0; c < 3 && n > 0; ++c)
                    change = std::max(change,
                                      std::abs(colour[c] - frames[n - 1].shapes.at(i).vertices.at(k).colour[c]));
            }
        }
        if (n > 0 && (change == 0 || change > 0.05))
            return ::testing::AssertionFailure() << "colours change by " << change << " in frame " << n;
    }
    return ::testing::AssertionSuccess();
}

std::vector<Frame> DrawLevels(void (*scene)(), float low, float high)
{
    glCalls.clear();
    for (int i = 0; i < 4; ++i) {
        channelLevels.level = {low + i * (high - low) / 3, high - i * (high - low) / 3};
        scene();
    }
    return RecordedFrames();
}

::testing::AssertionResult PairFollowsLevels(const std::vector<Frame>& frames, double (*size)(const Shape&))
{
    if (frames.size() != 4)
        return ::testing::AssertionFailure() << frames.size() << " frames";
    double sizes[4][2];
    for (int i = 0; i < 4; ++i) {
        const std::vector<Shape> solids = Solids(frames[i]);
        if (solids.size() != 2)
            return ::testing::AssertionFailure() << solids.size() << " solids in frame " << i;
        const Vec4 left = Bounds(solids[0]).centre, right = Bounds(solids[1]).centre;
        if (!(left[0] < 0) || std::abs(left[0] + right[0]) > 1e-5 || std::abs(left[2] - right[2]) > 1e-5)
            return ::testing::AssertionFailure() << "not mirrored about the centre in frame " << i;
        sizes[i][0] = size(solids[0]);
        sizes[i][1] = size(solids[1]);
    }
    const double step = sizes[1][0] - sizes[0][0];
    for (int i = 0; i < 4; ++i) {
        if (!(step > 0) || std::abs(sizes[i][0] - sizes[0][0] - i * step) > 1e-5)
            return ::testing::AssertionFailure() << "the left one has size " << sizes[i][0] << " in frame " << i;
        if (std::abs(sizes[3 - i][1] - sizes[i][0]) > 1e-5)
            return ::testing::AssertionFailure() << "the right one has size " << sizes[3 - i][1] << " in frame "
                                                 << 3 - i << ", the left one " << sizes[i][0] << " at that level";
    }
    return ::testing::AssertionSuccess();
}

std::vector<Shape> Solids(const Frame& frame)
{
    std::vector<Shape> solids;
    std::copy_if(frame.shapes.begin(), frame.shapes.end(), std::back_inserter(solids),
                 [](const Shape& s) { return !s.enabled.count(GL_TEXTURE_2D); });
    std::sort(solids.begin(), solids.end(),
              [](const Shape& a, const Shape& b) { return Bounds(a).centre[0] < Bounds(b).centre[0]; });
    return solids;
}

Extent Bounds(const Shape& shape)
{
    Extent e = {shape.vertices.at(0).eye, shape.vertices.at(0).eye, {}};
    for (const Vertex& v : shape.vertices)
        for (int i = 0; i < 3; ++i)
            e.low[i] = std::min(e.low[i], v.eye[i]), e.high[i] = std::max(e.high[i], v.eye[i]);
    for (int i = 0; i < 3; ++i)
        e.centre[i] = (e.low[i] + e.high[i]) / 2;
    return e;
}
