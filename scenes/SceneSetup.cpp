#include "scenes/SceneSetup.h"

#include "scenes/CheckerTexture.h"
#include "scenes/Gl.h"
#include "scenes/Projection.h"
#include "scenes/Scenes.h"
#include "settings/Settings.h"

#include <algorithm>

GLUquadric* sphereQuadric = nullptr;

namespace {

// A minimised window has no client height; keep the projection finite.
int DrawableHeight(int height)
{
    return std::max(height, 1);
}

void SetupCommonState(int width, int height)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glMatrixMode(GL_PROJECTION);
    glViewport(0, 0, width, height);
    glLoadIdentity();
    const float aspect = static_cast<float>(width) / static_cast<float>(DrawableHeight(height));
    gluPerspective(fieldOfView, aspect, nearDistance, farDistance);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void SetupTexturedState()
{
    glDrawBuffer(GL_BACK);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    BuildCheckerTexture();
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, checkerSize, checkerSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, checkerImage.data());
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
}

void SetupQuadricState()
{
    sphereQuadric = gluNewQuadric();
    if (sphereQuadric && settings.lines != 0)
        gluQuadricDrawStyle(sphereQuadric, GLU_LINE);
}

}  // namespace

void SetupScene(int module, int width, int height)
{
    SetupCommonState(width, height);
    if (module == textureModule)
        SetupTexturedState();
    else
        SetupQuadricState();
}

void ResizeScene(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, static_cast<GLdouble>(width) / DrawableHeight(height), nearDistance, farDistance);
    glMatrixMode(GL_MODELVIEW);
}

void ReleaseScene()
{
    // Both box modules make a quadric; whichever exists goes, once.
    if (sphereQuadric) {
        gluDeleteQuadric(sphereQuadric);
        sphereQuadric = nullptr;
    }
}
