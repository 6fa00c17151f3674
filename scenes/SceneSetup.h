// The fixed GL state the scenes are drawn with, made once the front end's
// context is current.
#pragma once

// Settles the derived settings and the meter's peaks, the projection for a
// drawable of width x height, and the module's own state: the checker texture
// for the Texture module, the quadric for the others.
void SetupScene(int module, int width, int height);

// The viewport and projection for a drawable of the new size.
void ResizeScene(int width, int height);

// Releases the quadric, if any, once; the context must still be current.
void ReleaseScene();
