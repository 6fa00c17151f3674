// The window's OpenGL rendering context and the fixed GL state of the scenes.
#pragma once

#include "scenes/Gl.h"

// Made by the set-up of the box modules; null when there is none to draw with.
extern GLUquadric* sphereQuadric;

// Client-area size as last recorded.
extern int clientWidth;
extern int clientHeight;

// Ends a frame: glFinish, then the buffer swap on windowDC.
void PresentFrame();

#ifdef _WIN32
extern HDC windowDC;
extern HGLRC renderContext;

// False when no pixel format or no current context could be had; its
// message box was shown and nothing is left behind.
bool CreateRenderContext(HWND window);
bool SetupPixelFormat(HDC dc);
void SetupSceneTextured();
void SetupSceneQuadric();
void ResizeViewport(int width, int height);
// Releases the quadric and the context, each once, and posts the quit message.
void ReleaseRenderContext();
#endif
