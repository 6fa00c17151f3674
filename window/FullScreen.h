// Full screen on a double-click in the visualization window.
#pragma once

#include <windows.h>

// True while the window covers its monitor; its moves and sizes are then
// not the ones to remember.
bool IsFullScreen();

// A new window starts framed, with no click waiting for a second.
void ForgetFullScreen();

// Takes a left button-down at the given client position; true when it is
// the second click of a double-click. The class gets no double-click
// messages of its own, so the two clicks are compared here.
bool TakeDoubleClick(HWND window, LPARAM position);

// Switches between the framed window and a borderless one covering the
// monitor the window is on; leaving restores the styles and the rectangle.
void ToggleFullScreen(HWND window);

// Covers `monitor` (the window's own when it is null or has gone) with the
// framed window's place kept for leaving; nothing when already full screen.
void EnterFullScreen(HWND window, HMONITOR monitor);
