// The visualization window: class, creation and message handling.
#pragma once

#include "player/VisModule.h"

extern HWND visWindow;
// The module the window was made for, which its frames and paints draw.
extern int windowModule;

bool RegisterVisWindowClass(HINSTANCE instance);
void UnregisterVisWindowClass(HINSTANCE instance);
// Destroys visWindow from any thread.
void CloseVisWindow();

// Creates the window for module `moduleIndex` at the saved place and size, or
// on the nearest screen when that place would be lost, owned by the player's
// window. contextFailed tells a pixel-format failure (already reported to
// the user) from any other failure.
HWND CreateVisWindow(const VisModule& module, int moduleIndex, bool& contextFailed);

LRESULT CALLBACK VisWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
