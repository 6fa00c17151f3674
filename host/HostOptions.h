// Command line of brimhost: what to load, which module, how long, how fast,
// where the frames go.
#pragma once

#include "audio/SignalSource.h"
#include "cli/ExitCodes.h"

#include <string>

// The host's own kinds of failure, besides the shared ones.
enum HostExitCode {
    exitLoadFailed = 2,     // the DLL could not be loaded
    exitNoExport = 3,       // no winampVisGetHeader
    exitBadHeader = 4,      // null header or a version other than 0x101
    exitBadModule = 5,      // the getter gave no record for the index
    exitHostWindow = 9,     // the host's own window could not be made
    exitNoAudio = 10,       // --listen or --list-devices found no audio endpoint
    exitPluginHung = 11,    // an entry call did not return within --watchdog seconds
    exitPluginCrashed = 12, // an entry call crashed
};

enum class Pacing {
    ModuleDelay,  // Sleep(delayMs) after each Render, as the player does
    TargetFps,    // sleep until the next frame's deadline
    Unpaced,      // no sleep at all, for measuring
    Offline,      // as fast as it goes on a virtual clock, for making videos
};

struct HostOptions {
    std::string pluginPath;
    int module = 0;
    bool moduleGiven = false;  // --module on the command line, not a remembered choice
    bool list = false;
    bool config = false;
    bool help = false;
    long frames = 0;         // 0: no frame limit
    double seconds = 0.0;    // 0: no time limit
    Pacing pacing = Pacing::ModuleDelay;
    double fps = 0.0;        // with Pacing::TargetFps
    double renderFps = 0.0;  // with Pacing::Offline; 0: 1000 / the module's delay
    int width = 0;           // 0: leave the plug-in's window as it opened
    int height = 0;
    std::string captureDir;  // empty: no capture
    long captureEvery = 1;
    bool capturePng = true;
    bool captureBmp = false;
    std::string snapshotPath;  // .png or .bmp for the last frame; empty: none
    std::string rawVideoPath;  // every frame as raw pixels into this file or FIFO; empty: none
    SignalKind signal = SignalKind::Synthesized;
    std::string wavPath;
    bool listen = false;       // what the PC plays, instead of the signal
    std::string device;        // with listen: the endpoint's name; empty: the default output
    bool listDevices = false;
    bool viewer = false;       // M opens the next module, and the choice is remembered
    double watchdogSeconds = 30.0;  // an entry call longer than this ends the host; 0: never
};

struct ParsedOptions {
    HostOptions options;
    std::string error;  // empty when the command line was good
};

// argv[0] is the program; the rest are options and the one plug-in path.
// The options start as `defaults` (a plug-in path there makes one optional).
ParsedOptions ParseHostOptions(int argc, const char* const* argv, const HostOptions& defaults = HostOptions());

// The --help text, exit codes included, for the program called `program`.
std::string HostUsage(const std::string& program = "brimhost.exe");
