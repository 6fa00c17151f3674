// brimwave: Brimwave's modules natively on Linux. This front end renders a
// song offline into raw video.
#include "host/HostOptions.h"
#include "native/IniSettings.h"
#include "native/OfflineRender.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char usage[] =
    "usage: brimwave --render SONG.wav --raw-video PATH|- [options]\n"
    "Renders a module over a WAV file without any display, every frame as raw\n"
    "BGR0 pixels (top row first) into PATH, or to standard output for '-'.\n"
    "\n"
    "  --module N        0 Rectangles (default), 1 Spheres, 2 Rectangle/Texture\n"
    "  --size WxH        picture size, 1x1 to 8192x8192 (default 640x480)\n"
    "  --render-fps F    frames per second of audio, 0.01 to 1000 (default 40,\n"
    "                    the pace the player gives the modules)\n"
    "  --settings FILE   plugin.ini to take the module's settings from (default\n"
    "                    $XDG_CONFIG_HOME/brimwave/plugin.ini, when it exists)\n"
    "  --help            this text\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "brimwave: %s (brimwave --help lists the options)\n", message.c_str());
    return exitUsage;
}

bool ParseNumber(const char* text, double minimum, double maximum, double& value)
{
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || errno == ERANGE || !std::isfinite(parsed) || parsed < minimum ||
        parsed > maximum)
        return false;
    value = parsed;
    return true;
}

bool ParseWhole(const char* text, int minimum, int maximum, int& value)
{
    double parsed = 0.0;
    if (!ParseNumber(text, minimum, maximum, parsed) || parsed != std::floor(parsed) ||
        std::strspn(text, "0123456789") != std::strlen(text))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseSize(const char* text, int& width, int& height)
{
    const char* cross = std::strchr(text, 'x');
    return cross != nullptr && ParseWhole(std::string(text, cross).c_str(), 1, 8192, width) &&
           ParseWhole(cross + 1, 1, 8192, height);
}

}  // namespace

int main(int argc, char** argv)
{
    OfflineOptions options;
    bool render = false;
    bool settingsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return exitOk;
        }
        const bool takesValue = option == "--render" || option == "--raw-video" || option == "--module" ||
                                option == "--size" || option == "--render-fps" || option == "--settings";
        if (!takesValue)
            return UsageError("unknown option '" + option + "'");
        if (i + 1 >= argc)
            return UsageError("option " + option + " needs a value");
        const char* value = argv[++i];
        const std::string bad = "bad value '" + std::string(value) + "' for " + option;
        if (option == "--render") {
            options.wavPath = value;
            render = true;
        } else if (option == "--raw-video") {
            options.rawVideoPath = value;
        } else if (option == "--module") {
            if (!ParseWhole(value, 0, 2, options.module))
                return UsageError(bad + " (0, 1 or 2)");
        } else if (option == "--size") {
            if (!ParseSize(value, options.width, options.height))
                return UsageError(bad + " (WIDTHxHEIGHT, each 1 to 8192)");
        } else if (option == "--render-fps") {
            if (!ParseNumber(value, 0.01, 1000.0, options.renderFps))
                return UsageError(bad + " (0.01 to 1000)");
        } else {
            options.settingsPath = value;
            settingsGiven = true;
        }
    }
    if (!render)
        return UsageError("nothing to do: this build renders offline only, with --render SONG.wav");
    if (options.rawVideoPath.empty())
        return UsageError("--render needs --raw-video PATH or --raw-video -");
    if (!settingsGiven)
        options.settingsPath = DefaultSettingsPath();
    return RunOfflineRender(options);
}
