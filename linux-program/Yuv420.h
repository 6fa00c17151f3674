// Raw video for an H.264 encoder: planar 4:2:0 YCbCr in BT.601's limited
// range ("yuv420p" to ffmpeg), a third of the bytes of the read-back, which
// the encoder would otherwise convert itself.
#pragma once

#include "offscreen/OffscreenTarget.h"

#include <cstddef>

// Bytes of one frame: the luma plane, then Cb and Cr at half the width and
// height, rounded up, as ffmpeg lays out odd sides.
std::size_t Yuv420FrameBytes(int width, int height);

// Read-back pixels of either order, top row first, into one yuv420p frame.
// Each chroma sample is the mean of the 2x2 pixels it covers (of those there
// are, at odd sides).
void ConvertToYuv420(const unsigned char* pixels, PixelOrder order, int width, int height, unsigned char* yuv);
