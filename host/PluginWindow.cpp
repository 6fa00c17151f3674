#include "host/PluginWindow.h"

namespace {

struct WindowSearch {
    HWND hostWindow;
    HWND owned;
    HWND other;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    if (window == search->hostWindow || !IsWindowVisible(window))
        return TRUE;
    if (GetWindow(window, GW_OWNER) == search->hostWindow) {
        search->owned = window;
        return FALSE;
    }
    if (search->other == nullptr)
        search->other = window;
    return TRUE;
}

WNDPROC pluginWndProc = nullptr;

// The plug-in's own procedure, except that the window may shrink below the
// smallest size the system gives a window with a caption (about 110 pixels
// wide): frames can be smaller than that.
LRESULT CALLBACK AnySizeWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcA(pluginWndProc, window, message, wParam, lParam);
    switch (message) {
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {1, 1};
        return 0;
    }
    return result;
}

}  // namespace

HWND FindPluginWindow(HWND hostWindow)
{
    WindowSearch search = {hostWindow, nullptr, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), ConsiderWindow, reinterpret_cast<LPARAM>(&search));
    if (search.owned != nullptr)
        return search.owned;
    if (search.other != nullptr)
        return search.other;
    // A plug-in may also draw into a child of the host window.
    HWND child = GetWindow(hostWindow, GW_CHILD);
    return child != nullptr && IsWindowVisible(child) ? child : nullptr;
}

bool CaptureClientArea(HWND window, RgbImage& image)
{
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return false;
    const int width = client.right;
    const int height = client.bottom;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC windowDC = GetDC(window);
    if (windowDC == nullptr)
        return false;
    HDC memoryDC = CreateCompatibleDC(windowDC);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memoryDC != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memoryDC, bitmap);
        copied = BitBlt(memoryDC, 0, 0, width, height, windowDC, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memoryDC, previous);
    }
    if (copied) {
        image.width = width;
        image.height = height;
        image.pixels.resize(3 * static_cast<std::size_t>(width) * height);
        const auto* bgrx = static_cast<const unsigned char*>(bits);
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
            image.pixels[3 * i] = bgrx[4 * i + 2];
            image.pixels[3 * i + 1] = bgrx[4 * i + 1];
            image.pixels[3 * i + 2] = bgrx[4 * i];
        }
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (memoryDC != nullptr)
        DeleteDC(memoryDC);
    ReleaseDC(window, windowDC);
    return copied;
}

bool SetClientSize(HWND window, int width, int height)
{
    const auto anySize = reinterpret_cast<LONG_PTR>(AnySizeWndProc);
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) != anySize)
        pluginWndProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, anySize));
    RECT frame = {0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    return GetClientRect(window, &client) && client.right == width && client.bottom == height;
}

bool GetWindowPlace(HWND window, RECT& place)
{
    if (!GetWindowRect(window, &place))
        return false;
    if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0)
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
    return true;
}

void SetWindowPlace(HWND window, const RECT& place)
{
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
