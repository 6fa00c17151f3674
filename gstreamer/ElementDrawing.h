// The core's frames for the GStreamer element. The core keeps its levels,
// scene state and settings in globals, so one element at a time may draw:
// it claims the drawing first. Every call makes the GL context current on
// the calling thread and releases it before returning, so that the
// streaming thread and the application thread may each make the calls.
#pragma once

#include <cstdint>
#include <string>

struct ElementSettings {
    int module;     // ModuleIndex
    int vistype;    // 0 waveform, 1 spectrum
    int fallspeed;
    int scales;
    int scalew;
    int detail;
    bool lines;     // wireframe spheres
};

// The defaults of initialSettings, and the Rectangles.
ElementSettings DefaultElementSettings();

// False while another owner holds the drawing.
bool ClaimDrawing(const void* owner);

// The owner's GL target and scene go; the next claim starts a new stream,
// whose first frame starts the level meter and sets up the scene.
void ReleaseDrawing(const void* owner);

// Makes sure the target is width x height, making it anew when the size
// changed; false with the reason when the GL cannot draw that size.
bool PrepareTarget(const void* owner, int width, int height, std::string& error);

struct FrameOut {
    unsigned char* pixels;  // top row first
    int width;
    int height;
    int stride;             // bytes from one row to the next
    bool rgbx;              // RGB0 rather than BGR0
};

// One frame from 576 samples of each channel, the target prepared for the
// frame's size first. `restartLevels`: the stream was flushed, so the meter
// starts again as at a module's start.
bool DrawFrame(const void* owner, const std::int16_t* left, const std::int16_t* right, const ElementSettings& wanted,
               bool restartLevels, const FrameOut& out, std::string& error);
