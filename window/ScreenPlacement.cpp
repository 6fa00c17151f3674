#include "window/ScreenPlacement.h"

#include <algorithm>
#include <array>

namespace {

// More monitors than any desk holds; the rest are left out of the search.
constexpr std::size_t monitorLimit = 16;

struct WorkAreas {
    std::array<ScreenRect, monitorLimit> areas;
    std::size_t count;
};

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto& found = *reinterpret_cast<WorkAreas*>(data);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (found.count < monitorLimit && GetMonitorInfoA(monitor, &info))
        found.areas[found.count++] = {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    return TRUE;
}

// A window must be at least what the user could size it to, and keep at
// least one row and column of client area for the scene. The frame above
// the client area is the border and the caption.
PlacementLimits UsableLimits(DWORD style, DWORD exStyle)
{
    RECT frame = {0, 0, 1, 1};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {std::max<int>(GetSystemMetrics(SM_CXMINTRACK), frame.right - frame.left),
            std::max<int>(GetSystemMetrics(SM_CYMINTRACK), frame.bottom - frame.top), -frame.top};
}

}  // namespace

Placement PlacementOnScreen(const Placement& saved, DWORD style, DWORD exStyle)
{
    WorkAreas found = {};
    EnumDisplayMonitors(nullptr, nullptr, CollectWorkArea, reinterpret_cast<LPARAM>(&found));
    return PlaceOnScreen(saved, UsableLimits(style, exStyle), found.areas.data(), found.count);
}
