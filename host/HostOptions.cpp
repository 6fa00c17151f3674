#include "host/HostOptions.h"

#include "cli/OptionNumbers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

bool ParseFormat(const char* text, HostOptions& options)
{
    const bool png = std::strcmp(text, "png") == 0;
    const bool bmp = std::strcmp(text, "bmp") == 0;
    const bool both = std::strcmp(text, "both") == 0;
    if (!png && !bmp && !both)
        return false;
    options.capturePng = png || both;
    options.captureBmp = bmp || both;
    return true;
}

bool EndsWithNoCase(const std::string& text, const char* end)
{
    const std::size_t length = std::strlen(end);
    if (text.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - length + i])) != end[i])
            return false;
    return true;
}

// Printed in the messages with the same numbers the parser checks.
constexpr long maxCount = 2147483647L;
constexpr double minSeconds = 0.001;
constexpr double maxSeconds = 86400.0;
constexpr double maxFps = 1000.0;
constexpr double minRenderFps = 0.01;

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

bool IsOption(const char* argument)
{
    return argument[0] == '-' && argument[1] != '\0';
}

bool IsAny(const std::string& name, std::initializer_list<const char*> names)
{
    for (const char* each : names)
        if (name == each)
            return true;
    return false;
}

// What only a run of a module uses: --list and --config run none.
bool IsRunOption(const std::string& name)
{
    return IsAny(name, {"--frames", "--seconds", "--fps", "--no-sleep", "--render", "--render-fps", "--size",
                        "--capture", "--capture-every", "--capture-format", "--snapshot", "--raw-video", "--wav",
                        "--silence", "--listen"});
}

}  // namespace

ParsedOptions ParseHostOptions(int argc, const char* const* argv, const HostOptions& defaults)
{
    ParsedOptions parsed;
    HostOptions& options = parsed.options;
    options = defaults;
    bool pluginGiven = false;
    bool listen = false;
    bool silence = false;
    bool livePacing = false;  // --fps or --no-sleep given
    bool offline = false;     // --render or --render-fps given
    auto fail = [&parsed](const std::string& message) {
        parsed.error = message;
        return parsed;
    };
    // Each option once: a second one would silently win or be lost.
    std::set<std::string> given;
    std::string action;     // --list, --config or --list-devices, the first given
    std::string runOption;  // the first option that only a run uses

    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (!IsOption(argv[i])) {
            if (pluginGiven)
                return fail("more than one plug-in given: '" + options.pluginPath + "' and '" + name + "'");
            options.pluginPath = name;
            pluginGiven = true;
            continue;
        }
        const bool isSwitch = IsAny(name, {"--help", "-h", "--list", "--config", "--no-sleep", "--silence",
                                           "--render", "--list-devices", "--listen"});
        const bool takesValue = IsAny(name, {"--module", "--frames", "--seconds", "--fps", "--size", "--capture",
                                             "--capture-every", "--capture-format", "--wav", "--snapshot",
                                             "--render-fps", "--raw-video", "--watchdog"});
        if (!isSwitch && !takesValue)
            return fail("unknown option '" + name + "'");
        if (!given.insert(name == "-h" ? "--help" : name).second)
            return fail("option '" + name + "' given twice");
        if (IsAny(name, {"--list", "--config", "--list-devices"})) {
            if (!action.empty())
                return fail(action + " and " + name + " exclude each other");
            action = name;
        }
        if (runOption.empty() && IsRunOption(name))
            runOption = name;
        // Switches without a value.
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--list") {
            options.list = true;
            continue;
        }
        if (name == "--config") {
            options.config = true;
            continue;
        }
        if (name == "--no-sleep") {
            options.pacing = Pacing::Unpaced;
            livePacing = true;
            continue;
        }
        if (name == "--silence") {
            options.signal = SignalKind::Silence;
            options.listen = false;
            silence = true;
            continue;
        }
        if (name == "--render") {
            offline = true;
            continue;
        }
        if (name == "--list-devices") {
            options.listDevices = true;
            continue;
        }
        if (name == "--listen") {
            // The device is optional: a next argument that is no option and no DLL names it.
            options.listen = listen = true;
            if (i + 1 < argc && !IsOption(argv[i + 1]) && !EndsWithNoCase(argv[i + 1], ".dll"))
                options.device = argv[++i];
            continue;
        }

        if (i + 1 >= argc)
            return fail("option '" + name + "' needs a value");
        const char* value = argv[++i];
        const std::string bad = "bad value '" + std::string(value) + "' for " + name;

        const std::string countRange = "1 to " + std::to_string(maxCount);
        long number = 0;
        if (name == "--module") {
            // Any integer: whether the plug-in has that module is the getter's answer.
            if (!ParseLong(value, -2147483647L - 1, 2147483647L, number))
                return fail(bad + " (an integer)");
            options.module = static_cast<int>(number);
            options.moduleGiven = true;
        } else if (name == "--frames") {
            if (!ParseLong(value, 1, maxCount, options.frames))
                return fail(bad + " (a whole number of frames, " + countRange + ")");
        } else if (name == "--seconds") {
            if (!ParseDouble(value, minSeconds, maxSeconds, options.seconds))
                return fail(bad + " (seconds, " + Number(minSeconds) + " to " + Number(maxSeconds) + ")");
        } else if (name == "--fps") {
            if (!ParseDouble(value, 0.0, maxFps, options.fps))
                return fail(bad + " (frames per second, 0 to " + Number(maxFps) + "; 0 runs unpaced)");
            options.pacing = options.fps > 0.0 ? Pacing::TargetFps : Pacing::Unpaced;
            livePacing = true;
        } else if (name == "--render-fps") {
            if (!ParseDouble(value, minRenderFps, maxFps, options.renderFps))
                return fail(bad + " (frames per second, " + Number(minRenderFps) + " to " + Number(maxFps) + ")");
            offline = true;
        } else if (name == "--size") {
            if (!ParseSize(value, 8192, options.width, options.height))
                return fail(bad + " (WIDTHxHEIGHT, each 1 to 8192)");
        } else if (name == "--capture") {
            if (*value == '\0')
                return fail(bad + " (a folder)");
            options.captureDir = value;
        } else if (name == "--capture-every") {
            if (!ParseLong(value, 1, maxCount, options.captureEvery))
                return fail(bad + " (a whole number, " + countRange + ")");
        } else if (name == "--capture-format") {
            if (!ParseFormat(value, options))
                return fail(bad + " (png, bmp or both)");
        } else if (name == "--snapshot") {
            if (!EndsWithNoCase(value, ".png") && !EndsWithNoCase(value, ".bmp"))
                return fail(bad + " (a .png or .bmp file)");
            options.snapshotPath = value;
        } else if (name == "--wav") {
            if (*value == '\0')
                return fail(bad + " (a file)");
            options.signal = SignalKind::WavFile;
            options.wavPath = value;
            options.listen = false;
        } else if (name == "--watchdog") {
            if (!ParseDouble(value, 0.0, maxSeconds, options.watchdogSeconds))
                return fail(bad + " (seconds, 0 to " + Number(maxSeconds) + "; 0 turns the watchdog off)");
        } else if (name == "--raw-video") {
            if (*value == '\0')
                return fail(bad + " (a file or FIFO)");
            options.rawVideoPath = value;
        }
    }

    if (options.help || options.listDevices)
        return parsed;
    if (options.pluginPath.empty())
        return fail("no plug-in DLL given");
    if (!action.empty() && !runOption.empty())
        return fail(action + " runs no module: " + runOption + " does not apply");
    if (given.count("--fps") != 0 && given.count("--no-sleep") != 0)
        return fail("--fps and --no-sleep exclude each other (--fps 0 is --no-sleep)");
    if (silence && !options.wavPath.empty())
        return fail("--wav and --silence exclude each other: give one source");
    if (listen && (silence || !options.wavPath.empty()))
        return fail("--listen excludes --wav and --silence: give one source");
    if (listen && offline)
        return fail("--listen cannot render offline: what the PC plays comes in real time");
    if (offline && livePacing)
        return fail("--render and --render-fps exclude --fps and --no-sleep");
    if (offline)
        options.pacing = Pacing::Offline;
    return parsed;
}

std::string HostUsage(const std::string& program)
{
    return "usage: " + program + " [options] plugin.dll\n"
           "Loads a visualization plug-in and runs one of its modules the way the player does.\n"
           "\n"
           "  --list                 list the plug-in's modules and exit\n"
           "  --module N             module to run (default 0)\n"
           "  --config               call the module's Config entry instead of running it\n"
           "  --frames N             stop after N rendered frames\n"
           "  --seconds S            stop after S seconds (of audio with --render)\n"
           "  --fps F                pace to F frames per second (0: unpaced);\n"
           "                         default: wait the module's delay after each frame\n"
           "  --no-sleep             unpaced, for measuring (same as --fps 0)\n"
           "  --render               render offline as fast as possible on a virtual clock,\n"
           "                         1000 / the module's delay frames per audio second\n"
           "  --render-fps F         the same at F frames per audio second\n"
           "  --raw-video FILE       write every rendered frame into FILE (a file or a FIFO)\n"
           "                         as raw 32-bit pixels, blue, green, red, unused; top row\n"
           "                         first, frames of the plug-in window's client size\n"
           "  --size WxH             set the plug-in window's client area after Init\n"
           "  --capture DIR          write presented frames as images into DIR\n"
           "  --capture-every N      capture only every Nth frame (default 1)\n"
           "  --capture-format F     png, bmp or both (default png)\n"
           "  --snapshot FILE        save the frame shown when the run ends (.png or .bmp)\n"
           "  --wav FILE             feed a WAV file: 8-bit to 32-bit PCM or 32/64-bit float,\n"
           "                         any channel count (the first two are used), 1 to 384 kHz\n"
           "  --silence              feed silence\n"
           "  --listen [DEVICE]      feed what the PC plays: loopback of the default output or\n"
           "                         of the endpoint named DEVICE (a name --list-devices shows,\n"
           "                         or a part of one); where loopback is not available, a\n"
           "                         capture endpoint called \"Monitor of ...\", else the\n"
           "                         default capture endpoint. One line says which and why\n"
           "  --list-devices         list the audio endpoints and exit\n"
           "  --watchdog S           end the host (code 11) when Init, Render or Quit has not\n"
           "                         returned for S seconds (default 30; 0: never)\n"
           "  --help                 this text\n"
           "\n"
           "Each option may be given once; --list, --config and --list-devices exclude each\n"
           "other, and --list and --config take no option that only a run uses. Numbers are\n"
           "decimal.\n"
           "\n"
           "Without --wav, --silence or --listen the samples come from a built-in stereo\n"
           "signal at 44100 Hz.\n"
           "\n"
           "Which samples a frame shows:\n"
           "  paced runs (the default and --fps) follow the wall clock as the player does: the\n"
           "    block nearest the playback position plus the module's latency; slow frames\n"
           "    skip blocks, waits keep the window answering its messages;\n"
           "  --render: frame i shows the block at i / F seconds, and every frame is kept;\n"
           "    with --wav the run ends at the end of the file;\n"
           "  unpaced runs (--no-sleep, --fps 0): the next block every frame, for measuring;\n"
           "  --listen: the newest block the device delivered; while it delivers nothing,\n"
           "    silence. A lost device or a new default one is opened again.\n"
           "\n"
           "The run ends when the plug-in posts the quit message, Render returns non-zero,\n"
           "a frame or time limit is reached, the host window is closed, or a render reaches\n"
           "the end of its WAV file; frames per second achieved are printed at the end.\n"
           "A plug-in that crashes in one of its entries, or stops in one for longer than\n"
           "--watchdog allows, ends the host with one line naming the entry. --size and\n"
           "--render leave the plug-in's window where it was and as large as it was before\n"
           "Quit, so that the place and size it saves are its own.\n"
           "\n"
           "exit codes:\n"
           "  0  success\n"
           "  1  bad command line\n"
           "  2  the plug-in DLL could not be loaded\n"
           "  3  the DLL does not export winampVisGetHeader\n"
           "  4  the header is null or its version is not 0x101\n"
           "  5  the plug-in has no module with that index\n"
           "  6  the module's Init failed\n"
           "  7  the WAV file could not be used or read\n"
           "  8  no plug-in window to capture, or a frame, the raw video or the snapshot\n"
           "     could not be written\n"
           "  9  the host window could not be created\n"
           "  10  no audio endpoint to listen to or to list\n"
           "  11  the plug-in did not return from Init, Render or Quit within --watchdog\n"
           "  12  the plug-in crashed in Init, Render, Quit or Config\n";
}
