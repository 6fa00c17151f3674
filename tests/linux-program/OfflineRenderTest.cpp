// The native offline renderer with Mesa's GL through EGL and no display at
// all (run with DISPLAY unset), and the plugin.ini reading it shares.
#include "audio/SignalSource.h"
#include "cli/ExitCodes.h"
#include "linux-program/OfflineRender.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int rate = 22050;
constexpr int width = 160;
constexpr int height = 120;
constexpr int fps = 20;

// Named after the process too: other test runs may share the folder.
std::string TempPath(const std::string& name)
{
    return testing::TempDir() + "brimwave_" + std::to_string(getpid()) + "_" + name;
}

void Put(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Two seconds of silence, then one of the host's built-in beat: 16-bit
// stereo. Each test names its own file: ctest runs them side by side.
std::string WriteSilenceThenBeat(const std::string& name)
{
    const std::string path = TempPath(name);
    const std::uint32_t frames = 3 * rate;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    Put(out, 36 + frames * 4, 4);
    out << "WAVEfmt ";
    Put(out, 16, 4);
    for (std::uint32_t field : {1u, 2u})
        Put(out, field, 2);
    Put(out, rate, 4);
    Put(out, rate * 4, 4);
    Put(out, 4, 2);
    Put(out, 16, 2);
    out << "data";
    Put(out, frames * 4, 4);
    for (std::uint32_t n = 0; n < frames; ++n)
        for (int channel = 0; channel < 2; ++channel)
            Put(out, n < 2 * rate ? 0 : static_cast<std::uint16_t>(SynthesizedSample(n, channel)), 2);
    return path;
}

std::vector<unsigned char> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pixels of clear colour, as the boxes and spheres are drawn; the
// checkerboard's black and white are not.
double MeanColouredPixels(const std::vector<unsigned char>& video, int first, int last)
{
    const std::size_t frameBytes = std::size_t{width} * height * 4;
    long coloured = 0;
    for (int frame = first; frame < last; ++frame)
        for (std::size_t i = frame * frameBytes; i < (frame + 1) * frameBytes; i += 4) {
            const int b = video[i], g = video[i + 1], r = video[i + 2];
            coloured += std::max({r, g, b}) - std::min({r, g, b}) > 40;
        }
    return static_cast<double>(coloured) / (last - first);
}

TEST(OfflineRender, EveryModuleGrowsWithTheMusicAndNotInSilence)
{
    const std::string song = WriteSilenceThenBeat("grows.wav");
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE("module " + std::to_string(module));
        OfflineOptions options;
        options.module = module;
        options.wavPath = song;
        options.rawVideoPath = TempPath("video.raw");
        options.renderFps = fps;
        options.width = width;
        options.height = height;
        ASSERT_EQ(RunOfflineRender(options), exitOk);
        const std::vector<unsigned char> video = ReadAll(options.rawVideoPath);
        ASSERT_EQ(video.size(), std::size_t{3} * fps * width * height * 4) << "one frame per 1/20 s of song";
        // The meter's start-up peak has fallen back well before 1.5 s.
        const double silent = MeanColouredPixels(video, 30, 40);
        const double loud = MeanColouredPixels(video, 45, 60);
        EXPECT_GT(silent, 0) << "the scene is drawn in silence too";
        EXPECT_GT(loud, 2 * silent) << "silent " << silent << ", loud " << loud;
        std::remove(options.rawVideoPath.c_str());
    }
    std::remove(song.c_str());
}

// yuv420p is the same video as BGR0: every frame, in order, converted whole.
TEST(OfflineRender, Yuv420pFramesAreTheBgr0FramesConverted)
{
    const std::string song = WriteSilenceThenBeat("formats.wav");
    OfflineOptions options;
    options.module = 1;
    options.wavPath = song;
    options.renderFps = fps;
    options.width = width;
    options.height = height;
    // The animation goes on from where a render left it: both start alike.
    const SpinAngles spin = sphereSpin;
    const ColourCycle colour = sphereColour;
    const ChannelLevels levels = channelLevels;
    options.rawVideoPath = TempPath("bgr0.raw");
    ASSERT_EQ(RunOfflineRender(options), exitOk);
    sphereSpin = spin;
    sphereColour = colour;
    channelLevels = levels;
    options.rawVideoPath = TempPath("yuv.raw");
    options.pixelFormat = RawPixelFormat::Yuv420p;
    ASSERT_EQ(RunOfflineRender(options), exitOk);
    const std::vector<unsigned char> bgr0 = ReadAll(TempPath("bgr0.raw"));
    const std::vector<unsigned char> yuv = ReadAll(TempPath("yuv.raw"));
    const std::size_t pixels = std::size_t{width} * height;
    ASSERT_EQ(yuv.size(), std::size_t{3} * fps * pixels * 3 / 2);
    int worst = 0;
    for (std::size_t frame = 0; frame < std::size_t{3} * fps; ++frame)
        for (std::size_t i = 0; i < pixels; ++i) {
            const unsigned char* p = &bgr0[(frame * pixels + i) * 4];
            const double luma = 16 + (65.481 * p[2] + 128.553 * p[1] + 24.966 * p[0]) / 255;
            worst = std::max(worst, static_cast<int>(std::abs(yuv[frame * pixels * 3 / 2 + i] - luma) + 0.5));
        }
    EXPECT_LE(worst, 1);
    for (const char* name : {"bgr0.raw", "yuv.raw"})
        std::remove(TempPath(name).c_str());
    std::remove(song.c_str());
}

TEST(OfflineRender, FailuresEndWithTheirExitCode)
{
    const std::string notWav = TempPath("not.wav");
    std::ofstream(notWav) << "just text";
    struct Case {
        const char* what;
        int module;
        std::string wav;
        std::string output;
        int exitCode;
    };
    const Case cases[] = {
        {"not a WAV file", 0, notWav, TempPath("x.raw"), exitBadWav},
        {"no such WAV file", 0, TempPath("none.wav"), TempPath("x.raw"), exitBadWav},
        {"no folder for the video", 0, WriteSilenceThenBeat("fails.wav"), TempPath("none/x.raw"),
         exitCaptureFailed},
        {"no such module", 3, TempPath("fails.wav"), TempPath("x.raw"), exitUsage},
        {"the song as its own video", 0, TempPath("fails.wav"), TempPath("fails.wav"), exitUsage},
        {"the song through a link", 0, TempPath("fails.wav"), TempPath("link.wav"), exitUsage},
    };
    ASSERT_EQ(symlink(TempPath("fails.wav").c_str(), TempPath("link.wav").c_str()), 0);
    std::ifstream before(TempPath("fails.wav"), std::ios::binary);
    const std::string song((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    for (const Case& c : cases) {
        OfflineOptions options;
        options.module = c.module;
        options.wavPath = c.wav;
        options.rawVideoPath = c.output;
        EXPECT_EQ(RunOfflineRender(options), c.exitCode) << c.what;
    }
    std::ifstream after(TempPath("fails.wav"), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), song)
        << "the song is untouched";
    for (const char* name : {"not.wav", "fails.wav", "link.wav"})
        std::remove(TempPath(name).c_str());
}

// Renders with a quarter gigabyte more address space than the process has
// now (from /proc/self/statm), and ends with the render's exit code.
[[noreturn]] void RenderInLittleMemory(const OfflineOptions& options)
{
    unsigned long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlimit limit = {static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (rlim_t{1} << 28), RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &limit);
    std::_Exit(RunOfflineRender(options));
}

// A size the machine has no memory for ends with a message and the output's
// exit code, not in the allocator.
TEST(OfflineRenderDeathTest, TooBigForTheMemoryIsRefused)
{
    OfflineOptions options;
    options.wavPath = WriteSilenceThenBeat("huge.wav");
    options.rawVideoPath = "/dev/null";
    options.width = options.height = 8192;
    EXPECT_EXIT(RenderInLittleMemory(options), testing::ExitedWithCode(exitCaptureFailed),
                "not enough memory for 4 frames of 8192x8192");
    std::remove(options.wavPath.c_str());
}

TEST(SettingsFile, SpheresKeysOnlyForTheSpheresModule)
{
    const std::string path = TempPath("plugin.ini");
    std::ofstream(path) << "[Rectangles]\nscalew=3\ndetail=20\n[Spheres]\nscalew=4\ndetail=21\n";
    for (int module : {0, 1}) {
        settings = initialSettings;
        EXPECT_TRUE(LoadSettingsFile(path, module));
        EXPECT_EQ(settings.scalew, 3 + module);
        EXPECT_EQ(settings.detail, module == 1 ? 21 : initialSettings.detail);
    }
    settings = initialSettings;
    EXPECT_TRUE(LoadSettingsFile(TempPath("none.ini"), 1)) << "a missing file is no error";
    EXPECT_EQ(settings.detail, initialSettings.detail);
    std::remove(path.c_str());
}

}  // namespace
