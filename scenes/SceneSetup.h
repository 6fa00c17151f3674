// The fixed GL state the scenes are drawn with, made once the front end's
// context is current.
#pragma once

#include "scenes/Gl.h"

// Made by the set-up for every module but the Texture one; null when there
// is none to draw with.
extern GLUquadric* sphereQuadric;

// The projection for a drawable of width x height, and the module's own
// state: the checker texture for the Texture module, the quadric for the others.
void SetupScene(int module, int width, int height);

// The viewport and projection for a drawable of the new size.
void ResizeScene(int width, int height);

// Releases the quadric, if any, once; the context must still be current.
void ReleaseScene();
