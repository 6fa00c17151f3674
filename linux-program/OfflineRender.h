// Renders a module over a song into raw video without any display: an EGL
// context on Mesa's surfaceless platform, frames drawn into a framebuffer
// object and read back, on the song's clock as brimhost's offline render.
#pragma once

#include <string>

// BGR0 is the host's raw video; yuv420p is what an H.264 encoder takes.
enum class RawPixelFormat { Bgr0, Yuv420p };

struct OfflineOptions {
    int module = 0;
    std::string wavPath;       // the song: a WAV file, or any FFmpeg reads
    std::string rawVideoPath;  // a file or FIFO; "-" is standard output
    std::string outputPath;    // instead: an encoded video, MP4 or (.gif) GIF
    double startSeconds = 0.0;
    double durationSeconds = 0.0;  // 0: to the end of the song
    RawPixelFormat pixelFormat = RawPixelFormat::Bgr0;
    double renderFps = 0.0;    // 0: the pace the player gives the module
    int width = 640;
    int height = 480;
    std::string settingsPath;  // plugin.ini whose section for the module is read; empty: defaults
};

// Writes every frame as width x height pixels, top row first, one per
// 1/renderFps seconds of the song, raw or encoded with the song's sound.
// Returns 0, or
// brimhost's exit code for the kind of failure after a one-line message on
// standard error. Reports its figures on standard error too.
int RunOfflineRender(const OfflineOptions& options);
