#include "window/FullScreen.h"

#include "window/ScreenPlacement.h"
#include "placement/WindowGeometry.h"

#include <windowsx.h>

namespace {

bool fullScreen = false;
// The framed window's rectangle and styles, put back on leaving.
RECT normalRect = {};
LONG_PTR normalStyle = 0;
LONG_PTR normalExStyle = 0;

bool clickWaiting = false;
Click lastClick = {};

void CoverMonitor(HWND window, HMONITOR requested)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if ((requested == nullptr || !GetMonitorInfoA(requested, &monitor)) &&
        !GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    GetWindowRect(window, &normalRect);
    normalStyle = GetWindowLongPtrA(window, GWL_STYLE);
    normalExStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    fullScreen = true;
    // No frame and no edges: the client area is the whole monitor.
    SetWindowLongPtrA(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    SetWindowLongPtrA(window, GWL_EXSTYLE, normalExStyle & ~(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE));
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_FRAMECHANGED);
}

// The monitor the framed window was on may have gone meanwhile; the move
// back is the window's own and is recorded.
void LeaveFullScreen(HWND window)
{
    SetWindowLongPtrA(window, GWL_STYLE, normalStyle);
    SetWindowLongPtrA(window, GWL_EXSTYLE, normalExStyle);
    fullScreen = false;
    const Placement placement = PlacementOnScreen(
        {normalRect.left, normalRect.top, normalRect.right - normalRect.left, normalRect.bottom - normalRect.top},
        static_cast<DWORD>(normalStyle), static_cast<DWORD>(normalExStyle));
    SetWindowPos(window, nullptr, placement.x, placement.y, placement.width, placement.height,
                 SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool IsFullScreen()
{
    return fullScreen;
}

void ForgetFullScreen()
{
    fullScreen = false;
    clickWaiting = false;
}

bool TakeDoubleClick(HWND window, LPARAM position)
{
    POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ClientToScreen(window, &point);
    const Click click = {static_cast<std::uint32_t>(GetMessageTime()), point.x, point.y};
    const bool second = clickWaiting && IsDoubleClick(lastClick, click, GetDoubleClickTime(),
                                                      GetSystemMetrics(SM_CXDOUBLECLK),
                                                      GetSystemMetrics(SM_CYDOUBLECLK));
    // The click that completes a double-click starts none: a third is a first.
    clickWaiting = !second;
    lastClick = click;
    return second;
}

void ToggleFullScreen(HWND window)
{
    if (fullScreen)
        LeaveFullScreen(window);
    else
        CoverMonitor(window, nullptr);
}

void EnterFullScreen(HWND window, HMONITOR monitor)
{
    if (!fullScreen)
        CoverMonitor(window, monitor);
}
