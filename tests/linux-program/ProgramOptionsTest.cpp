// The native program's command line: what each option sets, and the
// refusals a user sees.
#include "linux-program/ProgramOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool Parse(std::vector<const char*> arguments, ProgramOptions& options, std::string& error)
{
    arguments.insert(arguments.begin(), "brimwave");
    return ParseProgramOptions(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(ProgramOptions, LiveAndRenderRuns)
{
    ProgramOptions live;
    std::string error;
    ASSERT_TRUE(Parse({"--module", "2", "--listen", "spk.monitor", "--seconds", "1.5", "--snapshot", "a.PNG"}, live,
                      error))
        << error;
    EXPECT_EQ(live.module, 2);
    EXPECT_EQ(live.listen, "spk.monitor");
    EXPECT_EQ(live.seconds, 1.5);
    EXPECT_EQ(live.snapshotPath, "a.PNG");

    ProgramOptions render;
    ASSERT_TRUE(Parse({"--render", "s.wav", "--raw-video", "-", "--size", "320x240", "--render-fps", "25",
                       "--pixel-format", "yuv420p"},
                      render, error))
        << error;
    EXPECT_EQ(render.renderPath, "s.wav");
    EXPECT_EQ(render.rawVideoPath, "-");
    EXPECT_EQ(render.width, 320);
    EXPECT_EQ(render.height, 240);
    EXPECT_EQ(render.renderFps, 25.0);
    EXPECT_TRUE(render.yuv420p);

    ProgramOptions video;
    ASSERT_TRUE(Parse({"--render", "s.mp3", "-o", "v.mp4", "--fps", "30", "--start", "1.5", "--duration=2"}, video,
                      error))
        << error;
    EXPECT_EQ(video.outputPath, "v.mp4");
    EXPECT_EQ(video.renderFps, 30.0) << "--fps is --render-fps";
    EXPECT_EQ(video.startSeconds, 1.5);
    EXPECT_EQ(video.durationSeconds, 2.0);
    EXPECT_TRUE(video.rawVideoPath.empty());
    ProgramOptions longName;
    ASSERT_TRUE(Parse({"--render", "s.mp3", "--output=v.gif"}, longName, error)) << error;
    EXPECT_EQ(longName.outputPath, "v.gif");

    ProgramOptions joined;
    ASSERT_TRUE(Parse({"--module=1", "--settings=a=b.ini"}, joined, error)) << error;
    EXPECT_EQ(joined.module, 1);
    EXPECT_EQ(joined.settingsPath, "a=b.ini");

    ProgramOptions none;
    ASSERT_TRUE(Parse({}, none, error));
    EXPECT_EQ(none.module, -1) << "the module shown last";
}

struct Refusal {
    std::vector<const char*> arguments;
    const char* message;
};

TEST(ProgramOptions, RefusesWithTheReason)
{
    const Refusal refusals[] = {
        {{"--module", "3"}, "bad value '3' for --module (0, 1 or 2)"},
        {{"--module"}, "option '--module' needs a value"},
        {{"--speed", "2"}, "unknown option '--speed'"},
        {{"song.wav"}, "unexpected 'song.wav'; to make a song's video: brimwave --render 'song.wav' -o VIDEO.mp4"},
        {{"--module="}, "bad value '' for --module"},
        {{"--list=1"}, "option '--list' takes no value"},
        {{"--speed=2"}, "unknown option '--speed'"},
        {{"--seconds", "0"}, "bad value '0' for --seconds"},
        {{"--snapshot", "a.bmp"}, "(a .png file)"},
        {{"--render", "s.wav"}, "--render and --raw-video go together"},
        {{"--size", "10x10"}, "belong to --render"},
        {{"-o", "v.mp4"}, "--render and --raw-video go together (or --render and --output)"},
        {{"--start", "5"}, "belong to --render"},
        {{"--render", "s.mp3", "-o", "v.mp4", "--raw-video", "-"}, "two kinds of output: give one"},
        {{"--render", "s.mp3", "-o", "-"}, "bad value '-' for --output"},
        {{"--render", "s.mp3", "-o", "v.mp4", "--pixel-format", "yuv420p"}, "--pixel-format belongs to --raw-video"},
        {{"--render", "s.mp3", "-o", "v.mp4", "--start", "-1"}, "bad value '-1' for --start"},
        {{"--render", "s.mp3", "-o", "v.mp4", "--duration", "0"}, "bad value '0' for --duration"},
        {{"--render", "s.mp3", "-o", "v.mp4", "--fps", "0"}, "bad value '0' for --fps"},
        {{"--render", "s.wav", "--raw-video", "-", "--pixel-format", "rgb24"}, "bad value 'rgb24' for --pixel-format"},
        {{"--render", "s.wav", "--raw-video", "-", "--size", "10x0"}, "bad value '10x0' for --size"},
        {{"--render", "s.wav", "--raw-video", "-", "--seconds", "2"}, "belong to a live run"},
    };
    for (const Refusal& refusal : refusals) {
        ProgramOptions options;
        std::string error;
        EXPECT_FALSE(Parse(refusal.arguments, options, error)) << refusal.message;
        EXPECT_NE(error.find(refusal.message), std::string::npos) << error;
    }
}

}  // namespace
