// How a host of our own (Brimwave.exe) asks a visualization window about
// full screen: a message registered under this name, which the player never
// sends. A window of another plug-in leaves it to its default handling,
// which answers 0: not full screen, and none to be had.
#pragma once

#include <windows.h>

inline constexpr char fullScreenRequestName[] = "Brimwave full screen request";

// The request's wParam. The answer to both is 1 while the window covers a
// monitor, 0 otherwise.
enum FullScreenRequest : WPARAM {
    askFullScreen = 0,
    // lParam: the HMONITOR to cover; null, or one that has gone, for the
    // monitor the window is on.
    enterFullScreen = 1,
};

inline UINT FullScreenRequestMessage()
{
    return RegisterWindowMessageA(fullScreenRequestName);
}
