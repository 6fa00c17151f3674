// Platform-free geometry of the visualization window: where a saved
// placement may open, and when two clicks make a double-click.
#pragma once

#include <cstddef>
#include <cstdint>

// A screen rectangle as the platform reports it: right and bottom exclusive.
struct ScreenRect {
    int left, top, right, bottom;
};

// The settings' outer placement: top-left corner and size.
struct Placement {
    int x, y, width, height;
};

struct PlacementLimits {
    int minimumWidth;   // smallest outer width that still shows a scene
    int minimumHeight;
    int titleHeight;    // from the outer top edge to the caption's bottom edge
};

// Size used when the saved one is too small to be of use.
constexpr int defaultWidth = 640;
constexpr int defaultHeight = 480;

// The saved placement when its caption can be grabbed in one of the work
// areas: the title bar's whole height and a third of its width inside it.
// Otherwise the same size, shrunk to fit, inside the work area nearest to
// it. A size below the limits is replaced by the defaults first. With no work
// area at all the placement is kept. Computed in 64 bits: no saved value can
// overflow.
Placement PlaceOnScreen(Placement saved, const PlacementLimits& limits, const ScreenRect* workAreas,
                        std::size_t workAreaCount);

// A button-down message: its time in milliseconds and its screen position.
struct Click {
    std::uint32_t time;
    int x, y;
};

// The second click follows the first within the double-click time (the
// millisecond clock may wrap between them) and inside the double-click
// rectangle centred on the first.
bool IsDoubleClick(const Click& first, const Click& second, std::uint32_t doubleClickTime, int rectangleWidth,
                   int rectangleHeight);
