#include "host/RawVideoSink.h"

#include "frame/ReadBack.h"
#include "host/ImportPatch.h"
#include "host/PluginWindow.h"
#include "host/SystemError.h"
#include "host/Utf8Path.h"

#include <algorithm>
#include <vector>

namespace {

using SwapFunction = BOOL(WINAPI*)(HDC);

struct Sink {
    HANDLE output = INVALID_HANDLE_VALUE;
    HMODULE plugin = nullptr;
    HWND window = nullptr;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> frame;     // top row first, as written
    bool wanted = false;                  // inside a Render call
    bool caught = false;                  // the Render call presented a GL frame
    SwapFunction swapBuffers = nullptr;
    SwapFunction wglSwapBuffers = nullptr;
    FrameSinkStats stats;
};

Sink sink;

double Seconds()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The plug-in's context is current on this thread while it presents.
void ReadBackBuffer()
{
    if (!sink.wanted || sink.caught || wglGetCurrentContext() == nullptr)
        return;
    const double start = Seconds();
    if (!ReadBackFrame(sink.width, sink.height, bgraPixels, sink.frame.data()))
        return;
    sink.caught = true;
    sink.stats.readSeconds += Seconds() - start;
}

BOOL WINAPI SwapBuffersKeepingFrame(HDC dc)
{
    ReadBackBuffer();
    return sink.swapBuffers(dc);
}

BOOL WINAPI WglSwapBuffersKeepingFrame(HDC dc)
{
    ReadBackBuffer();
    return sink.wglSwapBuffers(dc);
}

// Red, green, blue rows into blue, green, red, unused; what the window lacks stays black.
void CopyFromWindow()
{
    RgbImage image;
    if (!IsWindow(sink.window) || !CaptureClientArea(sink.window, image))
        return;
    std::fill(sink.frame.begin(), sink.frame.end(), 0);
    const int width = std::min(image.width, sink.width);
    for (int y = 0; y < std::min(image.height, sink.height); ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* rgb = &image.pixels[3 * (static_cast<std::size_t>(image.width) * y + x)];
            unsigned char* bgrx = &sink.frame[4 * (static_cast<std::size_t>(sink.width) * y + x)];
            bgrx[0] = rgb[2];
            bgrx[1] = rgb[1];
            bgrx[2] = rgb[0];
        }
    ++sink.stats.fromWindow;
}

bool WriteAll(const unsigned char* bytes, std::size_t count)
{
    while (count > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        if (!WriteFile(sink.output, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        count -= written;
    }
    return true;
}

}  // namespace

bool OpenFrameSink(const std::string& path, HMODULE plugin, HWND window, int width, int height,
                   std::string& error)
{
    // A FIFO opens like a file; truncation means nothing to it.
    sink.output = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (sink.output == INVALID_HANDLE_VALUE) {
        error = "cannot open '" + path + "' for the raw video (" + ErrorText(GetLastError(), "'" + path + "'") + ")";
        return false;
    }
    sink.plugin = plugin;
    sink.window = window;
    sink.width = width;
    sink.height = height;
    const std::size_t bytes = 4 * static_cast<std::size_t>(width) * height;
    sink.frame.assign(bytes, 0);
    sink.stats = FrameSinkStats();
    sink.swapBuffers = reinterpret_cast<SwapFunction>(
        PatchImport(plugin, "gdi32.dll", "SwapBuffers", reinterpret_cast<void*>(SwapBuffersKeepingFrame)));
    sink.wglSwapBuffers = reinterpret_cast<SwapFunction>(
        PatchImport(plugin, "opengl32.dll", "wglSwapBuffers", reinterpret_cast<void*>(WglSwapBuffersKeepingFrame)));
    return true;
}

void BeginSinkFrame()
{
    sink.wanted = true;
    sink.caught = false;
}

bool EndSinkFrame()
{
    sink.wanted = false;
    if (!sink.caught)
        CopyFromWindow();
    const double start = Seconds();
    const bool written = WriteAll(sink.frame.data(), sink.frame.size());
    sink.stats.writeSeconds += Seconds() - start;
    sink.stats.frames += written;
    return written;
}

FrameSinkStats CloseFrameSink()
{
    if (sink.swapBuffers != nullptr)
        PatchImport(sink.plugin, "gdi32.dll", "SwapBuffers", reinterpret_cast<void*>(sink.swapBuffers));
    if (sink.wglSwapBuffers != nullptr)
        PatchImport(sink.plugin, "opengl32.dll", "wglSwapBuffers", reinterpret_cast<void*>(sink.wglSwapBuffers));
    if (sink.output != INVALID_HANDLE_VALUE)
        CloseHandle(sink.output);
    const FrameSinkStats stats = sink.stats;
    sink = Sink();
    return stats;
}
