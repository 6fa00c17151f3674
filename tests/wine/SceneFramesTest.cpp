// What the user sees: frames of each module captured from the built plug-in's
// window, with sizes that follow crafted sample bytes. Expected outlines come
// from the scene geometry and the 45-degree projection, never from the code.
#include "ClientCapture.h"
#include "PlayerStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr double tanHalfView = 0.41421356237309503;  // tan(45 degrees / 2)
constexpr double edgeTolerance = 3.0;                // pixels
constexpr double boxCentreDistance = 5.0;
constexpr double boxHalfWidth = 0.25;
constexpr double boxBase = -1.5;
constexpr double boxFarEndOffset = 1.45;
constexpr double sceneCentreX = 1.5;  // channel 1 right of the middle, channel 0 left

// A fallspeed of 700 drops a held peak by 0.7 a frame, so every level
// below the start peak of 2.0 is reached within four frames.
constexpr int fallspeed = 700;
constexpr int settleFrames = 5;

struct Outline {
    double left, top, right, bottom;
};

double RowOf(const Frame& frame, double y, double distance)
{
    return frame.height / 2.0 * (1.0 - y / (distance * tanHalfView));
}

double ColumnOf(const Frame& frame, double x, double distance)
{
    const double aspect = static_cast<double>(frame.width) / frame.height;
    return frame.width / 2.0 * (1.0 + x / (distance * tanHalfView * aspect));
}

// An upright box centred on (x, z = -5) reaching from y = -1.5 to
// y = level - 1.45; its near and far faces lie 0.25 before and behind.
Outline BoxOutline(const Frame& frame, double x, double level)
{
    const double nearFace = boxCentreDistance - boxHalfWidth;
    const double farFace = boxCentreDistance + boxHalfWidth;
    const double top = level - boxFarEndOffset;
    return {
        std::min(ColumnOf(frame, x - boxHalfWidth, nearFace), ColumnOf(frame, x - boxHalfWidth, farFace)),
        std::min(RowOf(frame, top, nearFace), RowOf(frame, top, farFace)),
        std::max(ColumnOf(frame, x + boxHalfWidth, nearFace), ColumnOf(frame, x + boxHalfWidth, farFace)),
        std::max(RowOf(frame, boxBase, nearFace), RowOf(frame, boxBase, farFace)),
    };
}

// A sphere of radius r about (x, 0, -5) as the eye at the origin sees it:
// its outline touches the planes through the eye tangent to the sphere.
Outline SphereOutline(const Frame& frame, double x, double r)
{
    const double d = boxCentreDistance;
    const double rise = r / std::sqrt(d * d - r * r);  // slope of the upper tangent plane y = rise * depth
    const double a = d * d - r * r;
    const double root = std::sqrt(4.0 * x * x * d * d - 4.0 * a * (x * x - r * r));
    const double slopeLeft = (2.0 * x * d - root) / (2.0 * a);
    const double slopeRight = (2.0 * x * d + root) / (2.0 * a);
    const double aspect = static_cast<double>(frame.width) / frame.height;
    return {
        frame.width / 2.0 * (1.0 + slopeLeft / (tanHalfView * aspect)),
        frame.height / 2.0 * (1.0 - rise / tanHalfView),
        frame.width / 2.0 * (1.0 + slopeRight / (tanHalfView * aspect)),
        frame.height / 2.0 * (1.0 + rise / tanHalfView),
    };
}

bool Lit(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) > 12;
}

// The boxes' corner colours are never grey; the checker is black or white.
bool Coloured(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) - std::min({p.red, p.green, p.blue}) > 48;
}

bool White(Pixel p)
{
    return std::min({p.red, p.green, p.blue}) > 200;
}

bool Black(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) < 40;
}

Area LeftHalf(const Frame& frame)
{
    return {0, 0, frame.width / 2, frame.height};
}

Area RightHalf(const Frame& frame)
{
    return {frame.width / 2, 0, frame.width, frame.height};
}

void ExpectOutline(const Area& found, const Outline& expected, const char* what)
{
    SCOPED_TRACE(what);
    ASSERT_GE(found.top, 0) << "nothing drawn";
    EXPECT_NEAR(found.left, expected.left, edgeTolerance) << "left edge";
    EXPECT_NEAR(found.top, expected.top, edgeTolerance) << "top edge";
    EXPECT_NEAR(found.right, expected.right, edgeTolerance) << "right edge";
    EXPECT_NEAR(found.bottom, expected.bottom, edgeTolerance) << "bottom edge";
}

using OutlineOf = Outline (*)(const Frame& frame, double x, double size);

// The two shapes of a scene: channel 0's on the left, channel 1's on the right.
void ExpectPair(const Frame& frame, PixelTest matches, OutlineOf outline, double left, double right,
                const std::string& what)
{
    ExpectOutline(Bounds(frame, LeftHalf(frame), matches), outline(frame, -sceneCentreX, left),
                  (what + ": left, channel 0").c_str());
    ExpectOutline(Bounds(frame, RightHalf(frame), matches), outline(frame, sceneCentreX, right),
                  (what + ": right, channel 1").c_str());
}

class SceneFrames : public ::testing::Test {
protected:
    void Start(int index, const IniKeys& keys)
    {
        std::string failure;
        ASSERT_TRUE(player.Load(IniSection(moduleNames[index], keys), failure)) << failure;
        ASSERT_TRUE(player.Fetch(index));
        ASSERT_EQ(player.Init(), 0);
        window = player.PluginWindow();
        ASSERT_NE(window, nullptr);
        player.Pump();
    }

    // Alternating bytes of the two channels into the source the module
    // reads, and full-scale bytes into the other, which must not count.
    void Feed(bool spectrum, int left, int right, unsigned char between)
    {
        unsigned char* (PlayerStandIn::*shown)(int) = spectrum ? &PlayerStandIn::Spectrum : &PlayerStandIn::Waveform;
        unsigned char* (PlayerStandIn::*other)(int) = spectrum ? &PlayerStandIn::Waveform : &PlayerStandIn::Spectrum;
        FillAlternating((player.*shown)(0), left, between);
        FillAlternating((player.*shown)(1), right, between);
        FillAlternating((player.*other)(0), 255, 0);
        FillAlternating((player.*other)(1), 255, 0);
    }

    void RenderFrames(int count)
    {
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(player.Render(), 0);
            player.Pump();
        }
    }

    // The picture once the held peaks have settled on the levels fed.
    Frame SettledFrame()
    {
        RenderFrames(settleFrames);
        return CaptureClient(window);
    }

    // A paint draws the scene from the levels as they stand. The client area
    // is covered in grey first, so that only a drawn frame shows the scene.
    Frame PaintedFrame()
    {
        HDC dc = GetDC(window);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        ReleaseDC(window, dc);
        GdiFlush();
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        return CaptureClient(window);
    }

    PlayerStandIn player;
    HWND window = nullptr;
};

TEST_F(SceneFrames, RectanglesBoxesFollowTheWaveformLevels)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 0}, {"fallspeed", fallspeed}, {"scales", 1}, {"scalew", 20000}}));
    // Sums 288 * 200 and 288 * 80 over scalew 20000: levels 2.88 and 1.152.
    // The spectrum bytes would clamp both levels at 3.0 if they were read.
    Feed(false, 200, 80, 0x55);
    const Frame frame = SettledFrame();
    ASSERT_GT(frame.height, 0);
    ExpectPair(frame, Lit, BoxOutline, 2.88, 1.152, "boxes at levels 2.88 and 1.152");
    EXPECT_FALSE(Lit(frame.At(frame.width / 2, frame.height / 2))) << "black between the boxes";

    // New bytes do not reach a paint: it draws the levels of the last Render.
    std::fill_n(player.Waveform(0), 2 * record::channelBytes, 0);
    ExpectPair(PaintedFrame(), Lit, BoxOutline, 2.88, 1.152, "painted boxes");
}

TEST_F(SceneFrames, SpheresFollowTheSpectrumLevels)
{
    // 30 slices and stacks keep the outline within half a percent of the sphere's.
    ASSERT_NO_FATAL_FAILURE(Start(1, {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 1}, {"fallspeed", fallspeed}, {"scales", 28800}, {"scalew", 1},
                                      {"detail", 30}, {"lines", 0}}));
    // Sums 288 * 100 and 288 * 50 over scales 28800: radii 1.0 and 0.5.
    Feed(true, 100, 50, 0xAA);
    const Frame frame = SettledFrame();
    ASSERT_GT(frame.height, 0);
    ExpectPair(frame, Lit, SphereOutline, 1.0, 0.5, "spheres of radii 1.0 and 0.5");
    const Outline left = SphereOutline(frame, -sceneCentreX, 1.0);
    const int centreX = static_cast<int>((left.left + left.right) / 2);
    const int centreY = frame.height / 2;
    const Area core = {centreX - 20, centreY - 20, centreX + 20, centreY + 20};
    EXPECT_GT(Share(frame, core, Lit), 0.99) << "a solid sphere is filled";
}

TEST_F(SceneFrames, WireframeSpheresShowTheirLines)
{
    ASSERT_NO_FATAL_FAILURE(Start(1, {{"vistype", 1}, {"fallspeed", fallspeed}, {"scales", 28800},
                                      {"detail", 12}, {"lines", 1}}));
    FillAlternating(player.Spectrum(0), 100, 0);
    FillAlternating(player.Spectrum(1), 100, 0);
    const Frame frame = SettledFrame();
    ASSERT_GT(frame.height, 0);
    const Outline left = SphereOutline(frame, -sceneCentreX, 1.0);
    const int centreX = static_cast<int>((left.left + left.right) / 2);
    const int centreY = frame.height / 2;
    const Area core = {centreX - 30, centreY - 30, centreX + 30, centreY + 30};
    const double share = Share(frame, core, Lit);
    EXPECT_GT(share, 0.01) << "lines are drawn";
    EXPECT_LT(share, 0.6) << "between the lines the background shows";
}

TEST_F(SceneFrames, TextureBoxesStandBeforeTheCheckerSquare)
{
    ASSERT_NO_FATAL_FAILURE(Start(2, {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 1}, {"fallspeed", fallspeed}, {"scales", 20000}, {"scalew", 1}}));
    // Sums 288 * 120 and 288 * 60 over scales 20000: levels 1.728 and 0.864.
    Feed(true, 120, 60, 0x33);
    const Frame frame = SettledFrame();
    ASSERT_GT(frame.height, 0);
    ExpectPair(frame, Coloured, BoxOutline, 1.728, 0.864, "boxes at levels 1.728 and 0.864");

    // The square lies on the far plane; above and between the boxes it must
    // show as black and white squares, not as the black clear colour.
    const Area above = {0, 0, frame.width, frame.height / 6};
    const Area between = {frame.width / 2 - 40, 0, frame.width / 2 + 40, frame.height};
    for (const Area& area : {above, between}) {
        EXPECT_GT(Share(frame, area, White), 0.3) << "white checker squares in area from column " << area.left
                                                  << " row " << area.top << " (none: the square was clipped)";
        EXPECT_GT(Share(frame, area, Black), 0.3) << "black checker squares in area from column " << area.left;
        EXPECT_LT(Share(frame, area, Coloured), 0.01) << "no box colours away from the boxes";
    }

    const Frame painted = PaintedFrame();
    ExpectOutline(Bounds(painted, LeftHalf(painted), Coloured), BoxOutline(painted, -sceneCentreX, 1.728),
                  "painted left box");
    EXPECT_GT(Share(painted, above, White), 0.3) << "painted checker";
}

TEST_F(SceneFrames, ResizedWindowDrawsWithTheNewProjection)
{
    ASSERT_NO_FATAL_FAILURE(Start(2, {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 0}, {"fallspeed", fallspeed}, {"scalew", 28800}}));
    FillAlternating(player.Waveform(0), 100, 0);  // level 1.0
    FillAlternating(player.Waveform(1), 150, 0);  // level 1.5
    RenderFrames(settleFrames);
    // Wide and short: the boxes come closer to the middle and shrink.
    SetWindowPos(window, nullptr, 0, 0, 800, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    RenderFrames(2);

    const Frame frame = CaptureClient(window);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(frame.width, client.right);
    ASSERT_GT(frame.width, 640) << "the client area widened";
    ASSERT_LT(frame.height, 400) << "the client area shrank";
    ExpectPair(frame, Coloured, BoxOutline, 1.0, 1.5, "boxes after the resize");
}

}  // namespace
