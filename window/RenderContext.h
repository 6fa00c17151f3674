// The window's OpenGL rendering context, which the scenes' frames are
// presented to while it lives.
#pragma once

#include <windows.h>

// Client-area size as last recorded.
extern int clientWidth;
extern int clientHeight;

extern HDC windowDC;
extern HGLRC renderContext;

// False when no pixel format or no current context could be had; its
// message box was shown and nothing is left behind. Otherwise the context is
// current and set up for the module.
bool CreateRenderContext(HWND window, int module);
bool SetupPixelFormat(HDC dc);
// Releases the quadric and the context, each once, and posts the quit message.
void ReleaseRenderContext();
