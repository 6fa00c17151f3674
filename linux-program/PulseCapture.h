// What the desktop plays, recorded through the PulseAudio client library
// (PipeWire desktops serve it through pipewire-pulse).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int captureRate = 44100;

struct PulseSource {
    std::string name;
    std::string description;
};

// The monitor of the server's default output: "<default sink>.monitor".
// Never spawns a server; false with a one-line reason when there is none.
bool DefaultMonitorSource(std::string& source, std::string& error);

bool ListPulseSources(std::vector<PulseSource>& sources, std::string& error);

// Starts recording the source on a thread of its own, in fragments of a few
// milliseconds. With followDefault the recording moves to the monitor of
// whichever output becomes the server's default.
bool StartCapture(const std::string& source, bool followDefault, std::string& error);

// True once, with the new source, after the recording has moved.
bool TakeSourceChange(std::string& source);

// The newest 576 frames, one row per channel (silence before the first
// packet). False once the stream has ended, with the reason.
bool LatestBlock(std::int16_t* left, std::int16_t* right, std::string& error);

void StopCapture();
