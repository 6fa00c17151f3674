// Where the visualization window opens: the saved placement, or a rescued
// one when that would be lost off every screen or too small to use.
#pragma once

#include "placement/WindowGeometry.h"

#include <windows.h>

// The monitors' work areas as they are now; limits from the system's
// minimum tracking size, the frame of the given styles and the caption.
Placement PlacementOnScreen(const Placement& saved, DWORD style, DWORD exStyle);
