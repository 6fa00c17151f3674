// A drawn frame's pixels from the GL's back buffer, top row first as images
// and videos have them (GL's rows run bottom up).
#pragma once

#include "scenes/Gl.h"

// GL_BGRA; Windows' GL 1.1 header knows it only as GL_BGRA_EXT.
constexpr GLenum bgraPixels = 0x80E1;

// `format` bgraPixels (4 bytes a pixel) or GL_RGB (3), rows packed tight; the
// context must be current. False when the GL refused the read.
bool ReadBackFrame(int width, int height, GLenum format, unsigned char* pixels);
