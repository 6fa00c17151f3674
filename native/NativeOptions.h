// Command line of the native program.
#pragma once

#include <string>

// The host's codes where the failure is the same kind.
enum NativeExitCode {
    nativeExitOk = 0,
    nativeExitUsage = 1,     // unknown option or bad value
    nativeExitAudio = 2,     // no PulseAudio server, source or stream
    nativeExitDisplay = 6,   // no window or GL context
    nativeExitInput = 7,     // the song could not be used
    nativeExitOutput = 8,    // the snapshot or the video could not be written
};

struct NativeOptions {
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
    bool yuv420p = false;      // --pixel-format yuv420p; BGR0 otherwise
    double renderFps = 0.0;    // 0: 1000 / the module's delay
    int width = 640;
    int height = 480;
};

// argv[0] is the program. False with a one-line message on a bad command line.
bool ParseNativeOptions(int argc, const char* const* argv, NativeOptions& options, std::string& error);

// The --help text: options, keys and exit codes.
const char* NativeUsage();
