#include "frame/ReadBack.h"

#include <algorithm>
#include <cstddef>

bool ReadBackFrame(int width, int height, GLenum format, unsigned char* pixels)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
    if (glGetError() != GL_NO_ERROR)
        return false;
    const std::size_t row = static_cast<std::size_t>(width) * (format == GL_RGB ? 3 : 4);
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(pixels + row * y, pixels + row * (y + 1), pixels + row * (height - 1 - y));
    return true;
}
