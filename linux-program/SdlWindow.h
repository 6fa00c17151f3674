// The visualization window on the desktop, through SDL: an OpenGL 2.1
// compatibility context, the keys, full screen on a double-click, and the
// place and size kept in the settings record.
#pragma once

#include <string>

// Opens the window at the settings' place and size (brought back onto a
// screen when that place is gone) with its context current. The place is
// the frame's top-left corner, as in the plug-in; the size is the picture's,
// the frame being the desktop's. False with the
// reason when there is no display or no context.
bool OpenSdlWindow(const char* title, std::string& error);
// Records the window's place and size in the settings, then closes it.
void CloseSdlWindow();

// The drawable's size in pixels, as the scenes see it.
int DrawableWidth();
int DrawableHeight();

enum class WindowAction {
    None,
    Quit,        // ESC or the window closed
    NextModule,  // M
};

// Handles the events waiting: HOME and END rescale the meter, a double-click
// switches full screen, a new size reaches the scene.
WindowAction HandleWindowEvents();

void SwapSdlWindow();
