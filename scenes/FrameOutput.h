// What the scenes ask of the front end that shows them: the end of a frame
// and the quadric the spheres are drawn with.
#pragma once

#include "scenes/Gl.h"

// Made by the scene set-up for the box modules; null when there is none to draw with.
extern GLUquadric* sphereQuadric;

// Ends a frame: shows it, or hands it on, once every call of it is issued.
void PresentFrame();
