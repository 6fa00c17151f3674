#include "scenes/Scenes.h"

#include "scenes/FramePresenter.h"
#include "scenes/SceneSetup.h"
#include "scenes/Gl.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "settings/Settings.h"

SpinAngles sphereSpin = {0.0f, 0.0f, 0.0f};
ColourCycle sphereColour = startingColour;

namespace {

void DrawSphere(float x, float red, float green, float blue, float radius)
{
    glPushMatrix();
    glTranslatef(x, 0.0f, -5.0f);
    glRotatef(sphereSpin.z, 0.0f, 0.0f, 1.0f);
    glRotatef(sphereSpin.y, 0.0f, 1.0f, 0.0f);
    glRotatef(sphereSpin.x, 1.0f, 0.0f, 0.0f);
    glColor3f(red, green, blue);
    gluSphere(sphereQuadric, radius, settings.detail, settings.detail);
    glPopMatrix();
}

}  // namespace

// Without a quadric there is nothing to draw: the call neither draws, nor
// presents, nor moves the animation, as no frame was shown.
void DrawSpheresScene()
{
    if (!sphereQuadric)
        return;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A directional light from the upper left, on the viewer's side; set while
    // the modelview matrix is the identity, so it stays put as the spheres turn.
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat lightDirection[] = {-1.5f, 1.1f, 0.6f, 0.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // The sharpest highlight GL allows.
    glMaterialfv(GL_FRONT, GL_SPECULAR, white);
    glMateriali(GL_FRONT, GL_SHININESS, 128);

    const ColourCycle& c = sphereColour;
    DrawSphere(1.5f, c.blue, c.red, c.green, channelLevels.level[1]);
    DrawSphere(-1.5f, c.red, c.green, c.blue, channelLevels.level[0]);
    PresentFrame();

    AdvanceAngle(sphereSpin.z, settings.spinRateZ);
    AdvanceAngle(sphereSpin.y, settings.spinRateY);
    AdvanceAngle(sphereSpin.x, settings.spinRateX);
    AdvanceColourCycle(sphereColour, 0.025f, 0.03f, 0.02f);
}
