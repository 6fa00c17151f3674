// Exit codes that the programs share, one per kind of failure, so that
// scripts and tests can tell them apart. Each program adds its own kinds
// (host/HostOptions.h, linux-program/ProgramOptions.h) between these.
#pragma once

enum SharedExitCode {
    exitOk = 0,
    exitUsage = 1,          // unknown option or bad value
    exitInitFailed = 6,     // the module, its window or its GL context did not start
    exitBadWav = 7,         // the song or WAV file could not be used
    exitCaptureFailed = 8,  // a frame, the snapshot or the video could not be written
};
