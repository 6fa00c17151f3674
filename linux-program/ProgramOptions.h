// Command line of brimwave, the Linux program.
#pragma once

#include "cli/ExitCodes.h"

#include <string>

// The program's own kind of failure, besides the shared ones.
enum ProgramExitCode {
    exitAudio = 2,        // no PulseAudio server, source or stream
    exitDisplayLost = 3,  // the X server went away during the run
};

struct ProgramOptions {
    bool help = false;
    bool list = false;
    bool listSources = false;
    int module = -1;           // -1: the module that ran last
    std::string listen;        // empty: the monitor of the default output
    double seconds = 0.0;      // 0: until ESC or the window is closed
    std::string snapshotPath;  // the last frame shown, as PNG; empty: none
    std::string settingsPath;  // empty: the program's own plugin.ini
    // Offline render: a song in, raw frames out, no display.
    std::string renderPath;
    std::string rawVideoPath;  // "-" is standard output
    std::string outputPath;    // or an encoded video: MP4, or GIF for a .gif name
    double startSeconds = 0.0;
    double durationSeconds = 0.0;  // 0: to the end of the song
    bool yuv420p = false;      // --pixel-format yuv420p; BGR0 otherwise
    double renderFps = 0.0;    // 0: 1000 / the module's delay
    int width = 640;
    int height = 480;
};

// argv[0] is the program. False with a one-line message on a bad command line.
bool ParseProgramOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error);

// The --help text: options, keys and exit codes.
const char* ProgramUsage();
