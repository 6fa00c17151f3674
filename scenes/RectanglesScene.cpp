#include "scenes/Scenes.h"

#include "scenes/FramePresenter.h"
#include "scenes/Gl.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "settings/Settings.h"

float rectangleSpin = 0.0f;
ColourCycle rectangleColour = startingColour;

namespace {

constexpr float colourStep = 0.02f;

// Stands the box upright at x, turned about its own long axis.
void DrawUprightBox(float x, float spin, float level)
{
    glTranslatef(x, 0.0f, -5.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(spin, 1.0f, 0.0f, 0.0f);
    DrawLevelBox(level, rectangleColour);
}

}  // namespace

void DrawRectanglesScene()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    DrawUprightBox(1.5f, rectangleSpin, channelLevels.level[1]);
    glPopMatrix();
    glPushMatrix();
    // The left box turns the other way.
    DrawUprightBox(-1.5f, 90.0f - rectangleSpin, channelLevels.level[0]);
    glPopMatrix();
    PresentFrame();

    AdvanceAngle(rectangleSpin, settings.spinRateX);
    AdvanceColourCycle(rectangleColour, colourStep, colourStep, colourStep);
}
