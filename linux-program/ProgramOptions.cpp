#include "linux-program/ProgramOptions.h"

#include "cli/OptionNumbers.h"
#include "settings/Modules.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

constexpr double maxSeconds = 86400.0;
constexpr double maxFps = 1000.0;
constexpr int maxSide = 8192;

bool IsValueOption(const std::string& name)
{
    for (const char* option : {"--module", "--listen", "--seconds", "--snapshot", "--settings", "--render", "--raw-video",
                               "--pixel-format", "--render-fps", "--size", "--output", "--fps", "--start",
                               "--duration"})
        if (name == option)
            return true;
    return false;
}

bool EndsWithPng(const std::string& path)
{
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".png") == 0;
}

// Options whose value is any text but an empty one.
struct TextOption {
    const char* name;
    std::string ProgramOptions::*field;
    const char* what;
};
const TextOption textOptions[] = {
    {"--listen", &ProgramOptions::listen, "a PulseAudio source name"},
    {"--settings", &ProgramOptions::settingsPath, "a plugin.ini file"},
    {"--render", &ProgramOptions::renderPath, "a song"},
    {"--raw-video", &ProgramOptions::rawVideoPath, "a file, a FIFO or - for standard output"},
};

// Options that only an offline render uses.
bool IsRenderOption(const std::string& name)
{
    for (const char* option :
         {"--raw-video", "--pixel-format", "--render-fps", "--size", "--output", "--fps", "--start", "--duration"})
        if (name == option)
            return true;
    return false;
}

// Takes the option's value; false with the message when it is bad.
bool TakeValue(const std::string& name, const char* value, ProgramOptions& options, std::string& error)
{
    const std::string bad = "bad value '" + std::string(value) + "' for " + name;
    for (const TextOption& text : textOptions) {
        if (name != text.name)
            continue;
        if (*value == '\0')
            return error = bad + " (" + text.what + ")", false;
        options.*text.field = value;
        return true;
    }
    if (name == "--module") {
        if (!ParseInt(value, 0, moduleCount - 1, options.module))
            return error = bad + " (0, 1 or 2)", false;
    } else if (name == "--seconds") {
        if (!ParseDouble(value, 0.001, maxSeconds, options.seconds))
            return error = bad + " (seconds, 0.001 to 86400)", false;
    } else if (name == "--snapshot") {
        if (!EndsWithPng(value))
            return error = bad + " (a .png file)", false;
        options.snapshotPath = value;
    } else if (name == "--pixel-format") {
        if (std::strcmp(value, "bgr0") != 0 && std::strcmp(value, "yuv420p") != 0)
            return error = bad + " (bgr0 or yuv420p)", false;
        options.yuv420p = std::strcmp(value, "yuv420p") == 0;
    } else if (name == "--output") {
        // An MP4 is finished by seeking back: no pipe or standard output.
        if (*value == '\0' || std::strcmp(value, "-") == 0)
            return error = bad + " (a file name: .mp4, or .gif for a GIF)", false;
        options.outputPath = value;
    } else if (name == "--start") {
        if (!ParseDouble(value, 0.0, maxSeconds, options.startSeconds))
            return error = bad + " (seconds into the song, 0 to 86400)", false;
    } else if (name == "--duration") {
        if (!ParseDouble(value, 0.001, maxSeconds, options.durationSeconds))
            return error = bad + " (seconds, 0.001 to 86400)", false;
    } else if (name == "--render-fps" || name == "--fps") {
        if (!ParseDouble(value, 0.01, maxFps, options.renderFps))
            return error = bad + " (frames per second, 0.01 to 1000)", false;
    } else if (name == "--size") {
        if (!ParseSize(value, maxSide, options.width, options.height))
            return error = bad + " (WIDTHxHEIGHT, each 1 to 8192)", false;
    } else {
        return error = "unknown option '" + name + "'", false;
    }
    return true;
}

}  // namespace

bool ParseProgramOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error)
{
    bool renderOnly = false;  // an option that only an offline render uses
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "-o")
            name = "--output";
        // --name=value is --name value.
        const std::size_t equals = name.rfind("--", 0) == 0 ? name.find('=') : std::string::npos;
        const bool joined = equals != std::string::npos;
        std::string value = joined ? name.substr(equals + 1) : "";
        if (joined)
            name.resize(equals);
        bool* flag = name == "--help" || name == "-h" ? &options.help
                     : name == "--list"               ? &options.list
                     : name == "--list-sources"       ? &options.listSources
                                                      : nullptr;
        if (flag && joined)
            return error = "option '" + name + "' takes no value", false;
        if (flag) {
            *flag = true;
            continue;
        }
        if (!IsValueOption(name))
            return error = name[0] == '-' ? "unknown option '" + name + "'"
                                          : "unexpected '" + name + "'; to make a song's video: brimwave --render '" +
                                                name + "' -o VIDEO.mp4",
                   false;
        if (!joined && i + 1 >= argc)
            return error = "option '" + name + "' needs a value", false;
        if (!TakeValue(name, joined ? value.c_str() : argv[++i], options, error))
            return false;
        renderOnly = renderOnly || IsRenderOption(name);
    }
    const bool outputGiven = !options.rawVideoPath.empty() || !options.outputPath.empty();
    if (!options.rawVideoPath.empty() && !options.outputPath.empty())
        return error = "--raw-video and --output are two kinds of output: give one", false;
    if (options.renderPath.empty() != !outputGiven)
        return error = "--render and --raw-video go together (or --render and --output)", false;
    if (renderOnly && options.renderPath.empty())
        return error = "--raw-video, --output, --pixel-format, --render-fps, --fps, --size, --start and --duration "
                       "belong to --render",
               false;
    if (options.yuv420p && !options.outputPath.empty())
        return error = "--pixel-format belongs to --raw-video", false;
    if (!options.renderPath.empty() && (!options.listen.empty() || !options.snapshotPath.empty() || options.seconds > 0))
        return error = "--listen, --seconds and --snapshot belong to a live run, not to --render", false;
    return true;
}

const char* ProgramUsage()
{
    return "Usage: brimwave [options]\n"
           "Shows one of Brimwave's three visualizations of what the desktop plays.\n"
           "\n"
           "  --list               list the modules and end\n"
           "  --module N           show module N (0, 1 or 2); default: the one shown last,\n"
           "                       Rectangles for --render\n"
           "  --listen SOURCE      record this PulseAudio source (its name or description,\n"
           "                       as --list-sources shows them) instead of the monitor of\n"
           "                       the default output\n"
           "  --list-sources       list the PulseAudio sources and end\n"
           "  --seconds S          end after S seconds\n"
           "  --snapshot FILE.png  save the last frame shown, at least the first (not into\n"
           "                       a FIFO or device)\n"
           "  --settings FILE      the settings file, instead of\n"
           "                       $XDG_CONFIG_HOME/brimwave/plugin.ini (~/.config/brimwave/,\n"
           "                       made when missing); FILE's folder must exist\n"
           "  --render SONG -o VIDEO [--fps F] [--size WxH] [--start S] [--duration S]\n"
           "                       make the song's music video offline, without a display:\n"
           "                       H.264 and the song's sound (AAC) in an MP4, or a GIF\n"
           "                       without sound when VIDEO ends in .gif. SONG is any file\n"
           "                       FFmpeg reads (mp3, ogg, opus, flac, m4a, wav...). F\n"
           "                       defaults to the module's pace, 40 (a GIF's at most\n"
           "                       100), the size to 640x480 (16 to 4096 a side; an MP4's\n"
           "                       odd side is cropped by a pixel); --start and --duration\n"
           "                       cut a part of the song.\n"
           "                       VIDEO appears only when complete, replacing an older one;\n"
           "                       Ctrl-C or a signal leaves nothing (exit code 128+signal)\n"
           "  --output VIDEO       the same as -o VIDEO\n"
           "  --render SONG --raw-video PATH|-  draw the frames raw instead, as BGR0 frames\n"
           "                       (- is standard output); --render-fps is --fps\n"
           "  --pixel-format yuv420p  write the raw frames as an H.264 encoder takes them\n"
           "  --help               show this text\n"
           "An option's value may also follow an equals sign: --module=1.\n"
           "\n"
           "The settings file must be a regular file, or a link to one, of UTF-8 text\n"
           "without NUL bytes, 1 MiB at most; anything else ends the run before it starts,\n"
           "with exit code 1 and the file untouched. A read-only one (no write permission\n"
           "bit) is read but not saved. Saving keeps the file's mode, owner, link and BOM.\n"
           "\n"
           "Keys: M next module, HOME more sensitive, END less sensitive, ESC quit;\n"
           "double-click for full screen on the window's monitor and back.\n"
           "\n"
           "Exit codes: 0 done, 1 bad command line, settings file or snapshot path (also\n"
           "a snapshot's folder that is missing or cannot be written), 2 PulseAudio (no\n"
           "server, source or stream), 3 the display lost during the run (its X server\n"
           "gone; the settings and the snapshot are still saved), 6 no window or GL\n"
           "context, 7 the song cannot be used (also one that is not a regular file, or\n"
           "holds no audio), 8 the snapshot or the video cannot be written (a full disk, a\n"
           "folder that cannot be written), 130, 143 or 129 a render stopped by SIGINT,\n"
           "SIGTERM or SIGHUP.\n";
}
