#include "ClientCapture.h"

#include <algorithm>

Frame CaptureClient(HWND window)
{
    Frame frame;
    RECT client;
    GetClientRect(window, &client);
    frame.width = client.right;
    frame.height = client.bottom;
    if (frame.width <= 0 || frame.height <= 0)
        return frame;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = GetDC(window);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    BitBlt(memoryDC, 0, 0, frame.width, frame.height, windowDC, 0, 0, SRCCOPY);
    GdiFlush();

    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    const auto* bgrx = static_cast<const unsigned char*>(bits);
    for (Pixel& pixel : frame.pixels) {
        pixel = {bgrx[2], bgrx[1], bgrx[0]};
        bgrx += 4;
    }
    SelectObject(memoryDC, previous);
    DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(window, windowDC);
    return frame;
}

Area Bounds(const Frame& frame, const Area& searched, PixelTest matches)
{
    Area found = {-1, -1, -1, -1};
    for (int y = searched.top; y < searched.bottom; ++y) {
        for (int x = searched.left; x < searched.right; ++x) {
            if (!matches(frame.At(x, y)))
                continue;
            if (found.top < 0)
                found = {x, y, x + 1, y + 1};
            found.left = std::min(found.left, x);
            found.right = std::max(found.right, x + 1);
            found.bottom = y + 1;
        }
    }
    return found;
}

double Share(const Frame& frame, const Area& area, PixelTest matches)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += matches(frame.At(x, y));
    const int total = (area.right - area.left) * (area.bottom - area.top);
    return total > 0 ? static_cast<double>(count) / total : 0.0;
}
