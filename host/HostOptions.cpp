#include "host/HostOptions.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseLong(const char* text, long minimum, long maximum, long& value)
{
    if (*text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

bool ParseDouble(const char* text, double minimum, double maximum, double& value)
{
    if (*text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed) || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

// "640x480", both sides 1..8192.
bool ParseSize(const char* text, int& width, int& height)
{
    const char* cross = std::strchr(text, 'x');
    if (cross == nullptr)
        return false;
    const std::string widthText(text, cross);
    long w = 0;
    long h = 0;
    if (!ParseLong(widthText.c_str(), 1, 8192, w) || !ParseLong(cross + 1, 1, 8192, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

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

bool IsOption(const char* argument)
{
    return argument[0] == '-' && argument[1] != '\0';
}

}  // namespace

ParsedOptions ParseHostOptions(int argc, const char* const* argv)
{
    ParsedOptions parsed;
    HostOptions& options = parsed.options;
    auto fail = [&parsed](const std::string& message) {
        parsed.error = message;
        return parsed;
    };

    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (!IsOption(argv[i])) {
            if (!options.pluginPath.empty())
                return fail("more than one plug-in given: '" + options.pluginPath + "' and '" + name + "'");
            options.pluginPath = name;
            continue;
        }
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
            continue;
        }
        if (name == "--silence") {
            options.signal = SignalKind::Silence;
            continue;
        }

        const bool takesValue = name == "--module" || name == "--frames" || name == "--seconds" ||
                                name == "--fps" || name == "--size" || name == "--capture" ||
                                name == "--capture-every" || name == "--capture-format" || name == "--wav" || name == "--snapshot";
        if (!takesValue)
            return fail("unknown option '" + name + "'");
        if (i + 1 >= argc)
            return fail("option '" + name + "' needs a value");
        const char* value = argv[++i];
        const std::string bad = "bad value '" + std::string(value) + "' for " + name;

        long number = 0;
        if (name == "--module") {
            // Any integer: whether the plug-in has that module is the getter's answer.
            if (!ParseLong(value, -2147483647L - 1, 2147483647L, number))
                return fail(bad + " (an integer)");
            options.module = static_cast<int>(number);
        } else if (name == "--frames") {
            if (!ParseLong(value, 1, 2147483647L, options.frames))
                return fail(bad + " (a whole number of frames, at least 1)");
        } else if (name == "--seconds") {
            if (!ParseDouble(value, 0.001, 86400.0, options.seconds))
                return fail(bad + " (seconds, more than 0)");
        } else if (name == "--fps") {
            if (!ParseDouble(value, 0.0, 1000.0, options.fps))
                return fail(bad + " (frames per second, 0 to 1000; 0 runs unpaced)");
            options.pacing = options.fps > 0.0 ? Pacing::TargetFps : Pacing::Unpaced;
        } else if (name == "--size") {
            if (!ParseSize(value, options.width, options.height))
                return fail(bad + " (WIDTHxHEIGHT, each 1 to 8192)");
        } else if (name == "--capture") {
            if (*value == '\0')
                return fail(bad + " (a folder)");
            options.captureDir = value;
        } else if (name == "--capture-every") {
            if (!ParseLong(value, 1, 2147483647L, options.captureEvery))
                return fail(bad + " (a whole number, at least 1)");
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
        }
    }

    if (options.help)
        return parsed;
    if (options.pluginPath.empty())
        return fail("no plug-in DLL given");
    if (options.list && options.config)
        return fail("--list and --config exclude each other");
    return parsed;
}

const char* HostUsage()
{
    return "usage: brimhost.exe [options] plugin.dll\n"
           "Loads a visualization plug-in and runs one of its modules the way the player does.\n"
           "\n"
           "  --list                 list the plug-in's modules and exit\n"
           "  --module N             module to run (default 0)\n"
           "  --config               call the module's Config entry instead of running it\n"
           "  --frames N             stop after N rendered frames\n"
           "  --seconds S            stop after S seconds\n"
           "  --fps F                pace to F frames per second (0: unpaced);\n"
           "                         default: sleep the module's delay after each frame\n"
           "  --no-sleep             unpaced, for measuring (same as --fps 0)\n"
           "  --size WxH             set the plug-in window's client area after Init\n"
           "  --capture DIR          write presented frames as images into DIR\n"
           "  --capture-every N      capture only every Nth frame (default 1)\n"
           "  --capture-format F     png, bmp or both (default png)\n"
           "  --snapshot FILE        save the frame shown when the run ends (.png or .bmp)\n"
           "  --wav FILE             feed a 16-bit PCM WAV file (silence after its end)\n"
           "  --silence              feed silence\n"
           "  --help                 this text\n"
           "\n"
           "Without --wav or --silence the samples come from a built-in stereo signal at 44100 Hz.\n"
           "The run ends when the plug-in posts the quit message, Render returns non-zero,\n"
           "a frame or time limit is reached, or the host window is closed; frames per second\n"
           "achieved are printed at the end.\n"
           "\n"
           "exit codes:\n"
           "  0  success\n"
           "  1  bad command line\n"
           "  2  the plug-in DLL could not be loaded\n"
           "  3  the DLL does not export winampVisGetHeader\n"
           "  4  the header is null or its version is not 0x101\n"
           "  5  the plug-in has no module with that index\n"
           "  6  the module's Init failed\n"
           "  7  the WAV file could not be used\n"
           "  8  no plug-in window to capture, or a frame or snapshot could not be written\n"
           "  9  the host window could not be created\n";
}
