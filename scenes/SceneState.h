// Animation state of the three scenes: lives as long as the library is
// loaded and is never reset, so a restarted module goes on where it stopped.
#pragma once

#include "scenes/ColourCycle.h"

// Rotations about the z, y and x axes, turned in that order.
struct SpinAngles {
    float z;
    float y;
    float x;
};

extern float rectangleSpin;
extern ColourCycle rectangleColour;

extern SpinAngles sphereSpin;
extern ColourCycle sphereColour;

extern float squareAngle;
extern ColourCycle textureColour;

// Angles run up to 360 inclusive, then carry on from the remainder.
inline void AdvanceAngle(float& angle, float step)
{
    angle = angle + step;
    if (angle > 360.0f)
        angle = angle - 360.0f;
}
