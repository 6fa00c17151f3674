// brimhost's command line: every option lands in its field, and every
// mistake is refused with a message naming it.
#include "host/HostOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ParsedOptions Parse(std::vector<const char*> arguments, const HostOptions& defaults = HostOptions())
{
    arguments.insert(arguments.begin(), "brimhost.exe");
    return ParseHostOptions(static_cast<int>(arguments.size()), arguments.data(), defaults);
}

TEST(HostOptions, DefaultsRunModuleZeroPacedByTheModule)
{
    const ParsedOptions parsed = Parse({"vis_brim.dll"});
    ASSERT_EQ(parsed.error, "");
    const HostOptions& o = parsed.options;
    EXPECT_EQ(o.pluginPath, "vis_brim.dll");
    EXPECT_EQ(o.module, 0);
    EXPECT_FALSE(o.list || o.config || o.help);
    EXPECT_EQ(o.frames, 0);
    EXPECT_EQ(o.seconds, 0.0);
    EXPECT_EQ(o.pacing, Pacing::ModuleDelay);
    EXPECT_EQ(o.width, 0);
    EXPECT_EQ(o.captureDir, "");
    EXPECT_EQ(o.signal, SignalKind::Synthesized);
}

TEST(HostOptions, EveryOptionLandsInItsField)
{
    const ParsedOptions parsed =
        Parse({"--module", "2", "--frames", "120", "--seconds", "2.5", "--fps", "30", "--size", "640x480",
               "--capture", "out dir", "--capture-every", "10", "--capture-format", "both", "--snapshot",
               "last.PNG", "--wav",
               "song.wav", "C:\\plugins\\vis_x.dll"});
    ASSERT_EQ(parsed.error, "");
    const HostOptions& o = parsed.options;
    EXPECT_EQ(o.pluginPath, "C:\\plugins\\vis_x.dll");
    EXPECT_EQ(o.module, 2);
    EXPECT_EQ(o.frames, 120);
    EXPECT_DOUBLE_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.pacing, Pacing::TargetFps);
    EXPECT_DOUBLE_EQ(o.fps, 30.0);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 480);
    EXPECT_EQ(o.captureDir, "out dir");
    EXPECT_EQ(o.captureEvery, 10);
    EXPECT_TRUE(o.capturePng && o.captureBmp);
    EXPECT_EQ(o.snapshotPath, "last.PNG");
    EXPECT_EQ(o.signal, SignalKind::WavFile);
    EXPECT_EQ(o.wavPath, "song.wav");

    struct Case {
        std::vector<const char*> arguments;
        Pacing pacing;
    };
    const Case pacings[] = {
        {{"--fps", "0", "x.dll"}, Pacing::Unpaced},
        {{"--no-sleep", "x.dll"}, Pacing::Unpaced},
        {{"--render", "x.dll"}, Pacing::Offline},
    };
    for (const Case& c : pacings)
        EXPECT_EQ(Parse(c.arguments).options.pacing, c.pacing) << c.arguments[0] << " " << c.arguments[1];

    EXPECT_TRUE(Parse({"--list", "x.dll"}).options.list);
    EXPECT_TRUE(Parse({"x.dll", "--config"}).options.config) << "options may follow the plug-in";
    EXPECT_EQ(Parse({"--silence", "x.dll"}).options.signal, SignalKind::Silence);
    EXPECT_EQ(Parse({"--module", "-1", "x.dll"}).options.module, -1) << "the plug-in judges the index";
    EXPECT_TRUE(Parse({"--module", "0", "x.dll"}).options.moduleGiven);
    EXPECT_FALSE(Parse({"x.dll"}).options.moduleGiven) << "a remembered module is no given one";
    EXPECT_EQ(Parse({"x.dll"}).options.watchdogSeconds, 30.0);
    EXPECT_EQ(Parse({"--watchdog", "0", "x.dll"}).options.watchdogSeconds, 0.0) << "0 turns it off";
    EXPECT_EQ(Parse({"--watchdog", "2.5", "--render", "x.dll"}).options.watchdogSeconds, 2.5);
    EXPECT_EQ(Parse({"--fps", "1e1", "x.dll"}).options.fps, 10.0) << "decimal exponents stay";
    const HostOptions bmpOnly = Parse({"--capture-format", "bmp", "x.dll"}).options;
    EXPECT_TRUE(bmpOnly.captureBmp && !bmpOnly.capturePng);
    EXPECT_TRUE(Parse({"--help"}).options.help) << "no plug-in needed for help";
    EXPECT_TRUE(Parse({"-h"}).options.help);
    const HostOptions render = Parse({"--render-fps", "29.97", "--raw-video", "Z:\\tmp\\frames", "x.dll"}).options;
    EXPECT_EQ(render.pacing, Pacing::Offline);
    EXPECT_DOUBLE_EQ(render.renderFps, 29.97);
    EXPECT_EQ(render.rawVideoPath, "Z:\\tmp\\frames");
}

TEST(HostOptions, MistakesAreRefusedByName)
{
    struct Case {
        std::vector<const char*> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{}, "no plug-in DLL given"},
        {{"--frames", "10"}, "no plug-in DLL given"},
        {{"--bogus", "x.dll"}, "unknown option '--bogus'"},
        {{"-m", "x.dll"}, "unknown option '-m'"},
        {{"a.dll", "b.dll"}, "more than one plug-in"},
        {{"x.dll", "--frames"}, "'--frames' needs a value"},
        // 5
        {{"--frames", "0", "x.dll"}, "bad value '0' for --frames"},
        {{"--frames", "-3", "x.dll"}, "bad value '-3' for --frames"},
        {{"--frames", "12abc", "x.dll"}, "bad value '12abc' for --frames"},
        {{"--frames", "", "x.dll"}, "bad value '' for --frames"},
        {{"--frames", "99999999999999999999", "x.dll"}, "for --frames"},
        // 10
        {{"--module", "one", "x.dll"}, "bad value 'one' for --module"},
        {{"--module", "4294967296", "x.dll"}, "for --module"},
        {{"--seconds", "0", "x.dll"}, "bad value '0' for --seconds"},
        {{"--seconds", "nan", "x.dll"}, "for --seconds"},
        {{"--fps", "-1", "x.dll"}, "bad value '-1' for --fps"},
        // 15
        {{"--fps", "5000", "x.dll"}, "for --fps"},
        {{"--size", "640", "x.dll"}, "bad value '640' for --size"},
        {{"--size", "0x480", "x.dll"}, "for --size"},
        {{"--size", "640x", "x.dll"}, "for --size"},
        {{"--size", "640x480x2", "x.dll"}, "for --size"},
        // 20
        {{"--capture-every", "0", "x.dll"}, "for --capture-every"},
        {{"--capture-format", "jpg", "x.dll"}, "bad value 'jpg' for --capture-format"},
        {{"--capture", "", "x.dll"}, "for --capture"},
        {{"--wav", "", "x.dll"}, "for --wav"},
        // 25
        {{"--snapshot", "shot.jpg", "x.dll"}, "bad value 'shot.jpg' for --snapshot"},
        {{"--snapshot", "png", "x.dll"}, "for --snapshot"},
        {{"--list", "--config", "x.dll"}, "exclude each other"},
        {{"--seconds", "1e30", "x.dll"}, "(seconds, 0.001 to 86400)"},
        {{"--frames", "2147483648", "x.dll"}, "(a whole number of frames, 1 to 2147483647)"},
        {{"--wav", "a.wav", "--silence", "x.dll"}, "--wav and --silence exclude each other"},
        // 30
        {{"--silence", "--wav", "a.wav", "x.dll"}, "--wav and --silence exclude each other"},
        {{"--render-fps", "0", "x.dll"}, "bad value '0' for --render-fps (frames per second, 0.01 to 1000)"},
        {{"--render", "--fps", "30", "x.dll"}, "exclude --fps and --no-sleep"},
        {{"--no-sleep", "--render-fps", "30", "x.dll"}, "exclude --fps and --no-sleep"},
        {{"--raw-video", "", "x.dll"}, "for --raw-video"},
        // 35
        {{"--listen", "--wav", "a.wav", "x.dll"}, "--listen excludes --wav and --silence"},
        {{"--silence", "--listen", "x.dll"}, "--listen excludes --wav and --silence"},
        {{"--listen", "--render", "x.dll"}, "--listen cannot render offline"},
        {{"--listen", "Speakers"}, "no plug-in DLL given"},
        {{"--fps", "30", "--no-sleep", "x.dll"}, "--fps and --no-sleep exclude each other"},
        // 40
        {{"--no-sleep", "--fps", "60", "x.dll"}, "--fps and --no-sleep exclude each other"},
        {{"--module", "1", "--module", "2", "x.dll"}, "option '--module' given twice"},
        {{"--silence", "--silence", "x.dll"}, "option '--silence' given twice"},
        {{"-h", "--help"}, "option '--help' given twice"},
        {{"--list", "--list-devices", "x.dll"}, "--list and --list-devices exclude each other"},
        // 45
        {{"--list-devices", "--config"}, "--list-devices and --config exclude each other"},
        {{"--config", "--render", "x.dll"}, "--config runs no module: --render does not apply"},
        {{"--list", "--frames", "3", "x.dll"}, "--list runs no module: --frames does not apply"},
        {{"--fps", "0x10", "x.dll"}, "bad value '0x10' for --fps"},
        {{"--seconds", "inf", "x.dll"}, "bad value 'inf' for --seconds"},
        // 50
        {{"--render-fps", "infinity", "x.dll"}, "for --render-fps"},
        {{"--seconds", "0X1p3", "x.dll"}, "for --seconds"},
        {{"--watchdog", "-1", "x.dll"}, "bad value '-1' for --watchdog (seconds, 0 to 86400; 0 turns the watchdog off)"},
        {{"--watchdog", "nan", "x.dll"}, "for --watchdog"},
        {{"x.dll", "--watchdog"}, "'--watchdog' needs a value"},
    };
    for (const Case& c : cases) {
        const ParsedOptions parsed = Parse(c.arguments);
        EXPECT_NE(parsed.error.find(c.message), std::string::npos)
            << "expected '" << c.message << "', got '" << parsed.error << "'";
    }
}

TEST(HostOptions, ListenTakesAnOptionalDeviceAndViewerDefaultsGiveWayToArguments)
{
    const std::vector<std::vector<const char*>> withDevice = {
        {"--listen", "Speakers (USB Audio)", "x.dll"},
        {"x.dll", "--listen", "Speakers (USB Audio)", "--frames", "3"},
    };
    for (const auto& arguments : withDevice) {
        const HostOptions o = Parse(arguments).options;
        EXPECT_TRUE(o.listen && o.pluginPath == "x.dll" && o.device == "Speakers (USB Audio)") << arguments[0];
    }
    const HostOptions defaultDevice = Parse({"--listen", "X.DLL"}).options;
    EXPECT_TRUE(defaultDevice.listen && defaultDevice.device.empty()) << "a DLL is never the device";
    EXPECT_TRUE(Parse({"--list-devices"}).options.listDevices) << "no plug-in needed to list devices";

    HostOptions viewer;
    viewer.pluginPath = "C:\\Brimwave\\vis_brim.dll";
    viewer.listen = true;
    viewer.module = 2;
    const ParsedOptions plain = Parse({}, viewer);
    EXPECT_TRUE(plain.error.empty() && plain.options.listen && plain.options.module == 2) << plain.error;
    const HostOptions changed = Parse({"--wav", "a.wav", "other.dll"}, viewer).options;
    EXPECT_TRUE(!changed.listen && changed.pluginPath == "other.dll") << "a WAV replaces listening";
}

TEST(HostOptions, UsageDocumentsEveryExitCode)
{
    const std::string usage = HostUsage();
    for (int code = exitOk; code <= exitPluginCrashed; ++code)
        EXPECT_NE(usage.find("\n  " + std::to_string(code) + "  "), std::string::npos) << "exit code " << code;
    for (const char* option : {"--list", "--module", "--config", "--frames", "--seconds", "--fps", "--no-sleep",
                               "--size", "--capture", "--capture-every", "--capture-format", "--snapshot", "--wav",
                               "--silence", "--render", "--render-fps", "--raw-video", "--listen", "--list-devices",
                               "--watchdog"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_EQ(usage.rfind("usage: brimhost.exe ", 0), 0u);
    EXPECT_EQ(HostUsage("Brimwave.exe").rfind("usage: Brimwave.exe ", 0), 0u) << "the viewer's own name";
}

}  // namespace
