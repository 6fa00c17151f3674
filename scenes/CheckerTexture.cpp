#include "scenes/CheckerTexture.h"

std::array<unsigned char, checkerSize * checkerSize * 4> checkerImage;

void BuildCheckerTexture()
{
    unsigned char* texel = checkerImage.data();
    for (int i = 0; i < checkerSize; ++i) {
        for (int k = 0; k < checkerSize; ++k) {
            const unsigned char grey = ((i ^ k) & 2) ? 255 : 0;
            texel[0] = grey;
            texel[1] = grey;
            texel[2] = grey;
            texel[3] = 255;
            texel += 4;
        }
    }
}
