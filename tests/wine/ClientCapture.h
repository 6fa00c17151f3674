// Frames read back from a window's client area, and probes on them.
#pragma once

#include <windows.h>

#include <vector>

struct Pixel {
    unsigned char red, green, blue;
};

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;  // top row first

    Pixel At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies the client area through the window's own device context, which
// shows what the last buffer swap presented.
Frame CaptureClient(HWND window);

using PixelTest = bool (*)(Pixel);

// Columns [left, right) by rows [top, bottom) of a frame.
struct Area {
    int left, top, right, bottom;
};

// The smallest area holding every matching pixel of the area searched; all
// of it -1 when nothing matches.
Area Bounds(const Frame& frame, const Area& searched, PixelTest matches);

// Share of the pixels of the area that match.
double Share(const Frame& frame, const Area& area, PixelTest matches);
