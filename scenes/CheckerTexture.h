// The Texture scene's checkerboard, computed rather than loaded.
#pragma once

#include <array>

constexpr int checkerSize = 128;

// 128 rows of 128 RGBA texels, row 0 first; texel (i, k) starts at 512 i + 4 k.
extern std::array<unsigned char, checkerSize * checkerSize * 4> checkerImage;

// Black and white squares of 2 x 2 texels, black at row 0, column 0; alpha 255.
void BuildCheckerTexture();
