#include "scenes/Scenes.h"

#include "scenes/FramePresenter.h"
#include "scenes/Gl.h"
#include "scenes/LevelMeter.h"
#include "scenes/Projection.h"
#include "scenes/SceneState.h"

#include <array>

float squareAngle = 0.0f;
ColourCycle textureColour = startingColour;

namespace {

constexpr float squareStep = 2.0f;
constexpr float colourStep = 0.02f;
constexpr float squareHalf = 7.1f;

struct SquareCorner {
    float s, t;
    float x, y;
};

// Row 0 of the texture along the bottom edge, column 0 along the left.
constexpr std::array<SquareCorner, 4> squareCorners = {{
    {0.0f, 0.0f, -squareHalf, -squareHalf},
    {0.0f, 1.0f, -squareHalf, squareHalf},
    {1.0f, 1.0f, squareHalf, squareHalf},
    {1.0f, 0.0f, squareHalf, -squareHalf},
}};

// The square lies exactly on the far clipping plane (z = -10, far 10), where
// rounding may make a GL clip it away. While it is drawn, the projection is
// followed by P^-1 * diag(1, 1, s, 1) * P for the set-up's perspective
// (near 1, far 10): the product scales clip-space depth by s and nothing
// else, so the square keeps z = -10 and its place on screen while its depth
// moves just inside the far plane. The boxes, near 0.8 of the depth range,
// stay in front of it.
constexpr float squareDepthScale = 0.999f;
constexpr float depthIntoW = static_cast<float>(
    (squareDepthScale - 1.0f) * (farDistance + nearDistance) / (2.0 * farDistance * nearDistance));
constexpr GLfloat squareDepthPull[16] = {
    1.0f, 0.0f, 0.0f, 0.0f,
    0.0f, 1.0f, 0.0f, 0.0f,
    0.0f, 0.0f, 1.0f, depthIntoW,
    0.0f, 0.0f, 0.0f, squareDepthScale,
};

void DrawSquare()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMultMatrixf(squareDepthPull);
    glMatrixMode(GL_MODELVIEW);

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -10.0f);
    glRotatef(squareAngle, 0.0f, 0.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    // No colour: the decal environment shows the opaque texels as they are.
    glBegin(GL_QUADS);
    for (const SquareCorner& corner : squareCorners) {
        glTexCoord2f(corner.s, corner.t);
        glVertex3f(corner.x, corner.y, 0.0f);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void DrawTextureScene()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawSquare();
    AdvanceAngle(squareAngle, squareStep);

    glPushMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glTranslatef(1.5f, 0.0f, -5.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    DrawLevelBox(channelLevels.level[1], textureColour);
    glPopMatrix();

    // Upright like the right box, and a quarter turn about its own long axis.
    glPushMatrix();
    glTranslatef(-1.5f, 0.0f, -5.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    DrawLevelBox(channelLevels.level[0], textureColour);
    glPopMatrix();

    AdvanceColourCycle(textureColour, colourStep, colourStep, colourStep);
    PresentFrame();
}
