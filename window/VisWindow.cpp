#include "window/VisWindow.h"

#include "scenes/SceneSetup.h"
#include "frame/FrameStep.h"
#include "player/FullScreenRequest.h"
#include "settings/ScaleKeys.h"
#include "settings/Settings.h"
#include "window/FullScreen.h"
#include "window/RenderContext.h"
#include "window/ScreenPlacement.h"


HWND visWindow = nullptr;
int windowModule = 0;

namespace {

constexpr char className[] = "Brimwave";
constexpr DWORD windowStyle = WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME;
static_assert(windowStyle == 0x100C0000);
constexpr DWORD windowExStyle = WS_EX_APPWINDOW;
// The platform gives every overlapped window a caption.
constexpr DWORD framedStyle = windowStyle | WS_CAPTION;
constexpr UINT closeWindowMessage = letGoOfContextMessage + 1;

// Set by the creation message when no pixel format or GL context could be had.
bool contextRefused = false;

// Known once the class is registered; 0 when the name could not be registered.
UINT fullScreenRequest = 0;

void ForwardToHost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* module = reinterpret_cast<const VisModule*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (module)
        PostMessageA(module->hostWindow, message, wParam, lParam);
}

LRESULT OnCreate(HWND window)
{
    ForgetFullScreen();
    contextRefused = !CreateRenderContext(window, windowModule);
    return contextRefused ? -1 : 0;
}

LRESULT OnDestroy(HWND window)
{
    // A window whose creation failed has nothing to release and must not
    // tell the player to stop.
    if (windowDC) {
        ReleaseRenderContext();
        ReleaseDC(window, windowDC);
        windowDC = nullptr;
    }
    if (visWindow == window)
        visWindow = nullptr;
    ForgetFullScreen();
    return 0;
}

// Full screen moves and sizes are not the window's own: the framed
// rectangle stays the one saved.
LRESULT OnMove(HWND window)
{
    if (IsFullScreen())
        return 0;
    RECT outer;
    GetWindowRect(window, &outer);
    settings.screen_x = outer.left;
    settings.screen_y = outer.top;
    return 0;
}

LRESULT OnSize(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (!renderContext)
        return DefWindowProcA(window, WM_SIZE, wParam, lParam);
    ResizeRenderContext(LOWORD(lParam), HIWORD(lParam));
    if (IsFullScreen())
        return 0;
    RECT outer;
    GetWindowRect(window, &outer);
    settings.screen_w = outer.right - outer.left;
    settings.screen_h = outer.bottom - outer.top;
    return 0;
}

// While another thread renders, the context is not current here and the
// paint is skipped: that thread's next frame covers it.
LRESULT OnPaint(HWND window)
{
    if (ContextIsCurrentHere())
        RedrawFrame(windowModule);
    ValidateRect(window, nullptr);
    return 0;
}

LRESULT OnLeftButtonDown(HWND window, LPARAM position)
{
    if (TakeDoubleClick(window, position))
        ToggleFullScreen(window);
    return 0;
}

// Brimwave.exe's next module opens in full screen when the one before was.
LRESULT OnFullScreenRequest(HWND window, WPARAM request, LPARAM monitor)
{
    if (request == enterFullScreen)
        EnterFullScreen(window, reinterpret_cast<HMONITOR>(monitor));
    return IsFullScreen() ? 1 : 0;
}

LRESULT OnKeyDown(HWND window, WPARAM key, LPARAM lParam)
{
    if (key == VK_ESCAPE)
        ReleaseRenderContext();
    if (key == VK_HOME)
        ApplyScaleKey(ScaleKey::MoreSensitive);
    else if (key == VK_END)
        ApplyScaleKey(ScaleKey::LessSensitive);
    ForwardToHost(window, WM_KEYDOWN, key, lParam);
    return 0;
}

LRESULT OnKeyUp(HWND window, WPARAM key, LPARAM lParam)
{
    ForwardToHost(window, WM_KEYUP, key, lParam);
    return 0;
}

}  // namespace

bool RegisterVisWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_SAVEBITS;
    windowClass.lpfnWndProc = VisWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = className;
    fullScreenRequest = FullScreenRequestMessage();
    return RegisterClassExA(&windowClass) != 0;
}

void CloseVisWindow()
{
    // Only the window's own thread may destroy it.
    if (GetWindowThreadProcessId(visWindow, nullptr) == GetCurrentThreadId())
        DestroyWindow(visWindow);
    else
        SendMessageA(visWindow, closeWindowMessage, 0, 0);
    visWindow = nullptr;
}

void UnregisterVisWindowClass(HINSTANCE instance)
{
    UnregisterClassA(className, instance);
}

HWND CreateVisWindow(const VisModule& module, int moduleIndex, bool& contextFailed)
{
    contextRefused = false;
    windowModule = moduleIndex;
    const Placement placement = PlacementOnScreen(
        {settings.screen_x, settings.screen_y, settings.screen_w, settings.screen_h}, framedStyle, windowExStyle);
    HWND window = CreateWindowExA(windowExStyle, className, module.description, windowStyle, placement.x,
                                  placement.y, placement.width, placement.height, module.hostWindow, nullptr,
                                  module.instance, nullptr);
    contextFailed = contextRefused;
    return window;
}

LRESULT CALLBACK VisWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == fullScreenRequest && fullScreenRequest != 0)
        return OnFullScreenRequest(window, wParam, lParam);
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_MOVE: return OnMove(window);
    case WM_SIZE: return OnSize(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    case WM_LBUTTONDOWN: return OnLeftButtonDown(window, lParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_KEYUP: return OnKeyUp(window, wParam, lParam);
    case letGoOfContextMessage: LetGoOfRenderContext(); return 0;
    case closeWindowMessage: DestroyWindow(window); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
