// A stand-in plug-in for testing brimhost: it keeps a log of every call the
// host makes (file named by BRIM_FAKE_LOG) and each module ends the run its
// own way. BRIM_FAKE_VERSION, when set, replaces the header version;
// BRIM_FAKE_SLOW_START, when set, makes Init and the first Render take their time.
// BRIM_FAKE_FAULT, "entry:fault" (entry init, render, quit or config; fault
// hang, access, overflow or throw), makes that entry misbehave so.
#include "player/VisModule.h"

#include <windows.h>

#include <malloc.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int quitsModule = 0;        // posts the quit message in frame 5
constexpr int failsModule = 1;        // Init returns 1
constexpr int renderEndsModule = 2;   // Render returns 3 in frame 3
constexpr int closesHostModule = 3;   // closes the host window in frame 4
constexpr int windowlessModule = 4;   // no window, never ends by itself
constexpr int childModule = 5;        // draws in a child of the host window
constexpr int slowModule = 6;         // windowless, each Render takes 100 ms
constexpr int closesWindowModule = 7; // its window closes in frame 3, with no quit message
constexpr int moduleCount = 8;

constexpr DWORD slowInitMs = 300;
constexpr DWORD slowFirstRenderMs = 1000;

HINSTANCE ownInstance = nullptr;
HWND fakeWindow = nullptr;
int frame = 0;

// Frame n is painted solidly in colour n % 4, so a capture shows which frame it was.
constexpr COLORREF frameColours[4] = {RGB(0, 0, 255), RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 0)};

void Log(const char* format, ...)
{
    const char* path = std::getenv("BRIM_FAKE_LOG");
    if (path == nullptr)
        return;
    FILE* file = std::fopen(path, "a");
    if (file == nullptr)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file, format, arguments);
    va_end(arguments);
    std::fputc('\n', file);
    std::fclose(file);
}

unsigned Hash(const unsigned char* bytes, int count)
{
    unsigned hash = 2166136261u;
    for (int i = 0; i < count; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

int NonZero(const unsigned char* bytes, int count)
{
    int nonZero = 0;
    for (int i = 0; i < count; ++i)
        nonZero += bytes[i] != 0;
    return nonZero;
}

LRESULT CALLBACK FakeWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_APP:
        Log("message thread=%lu", GetCurrentThreadId());
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// What BRIM_FAKE_FAULT asks of this entry, if anything.
void MaybeFail(const char* entry)
{
    const char* fault = std::getenv("BRIM_FAKE_FAULT");
    const std::size_t length = std::strlen(entry);
    if (fault == nullptr || std::strncmp(fault, entry, length) != 0 || fault[length] != ':')
        return;
    const char* kind = fault + length + 1;
    if (std::strcmp(kind, "hang") == 0)
        Sleep(INFINITE);
    if (std::strcmp(kind, "access") == 0)
        *reinterpret_cast<volatile int*>(0x10) = 1;  // not null: gcc would make a null store a trap
    if (std::strcmp(kind, "overflow") == 0)
        for (;;)
            static_cast<volatile char*>(alloca(64 * 1024))[0] = 0;
    if (std::strcmp(kind, "throw") == 0)
        throw 42;
}

void Config(VisModule* module);
int Init(VisModule* module);
int Render(VisModule* module);
void Quit(VisModule* module);

constexpr VisModule MakeModule(const char* description)
{
    return VisModule{description, nullptr, nullptr, 0, 0, 25, 25, 2, 2, {}, {}, Config, Init, Render, Quit, nullptr};
}

VisModule modules[moduleCount] = {
    MakeModule("Quits after five frames"),
    MakeModule("Init fails"),
    MakeModule("Render ends in frame three"),
    MakeModule("Closes the host in frame four"),
    MakeModule("Windowless"),
    MakeModule("Draws in a child of the host"),
    MakeModule("Slow to render"),
    MakeModule("Closes its window in frame three"),
};

VisHeader header = {0x101, "Fake visualization for host tests", nullptr};

int IndexOf(const VisModule* module)
{
    return static_cast<int>(module - modules);
}

VisModule* GetModule(int index)
{
    return index >= 0 && index < moduleCount ? &modules[index] : nullptr;
}

void Config(VisModule* module)
{
    Log("config thread=%lu module=%d hostwindow=%d instance=%d", GetCurrentThreadId(), IndexOf(module),
        IsWindow(module->hostWindow) ? 1 : 0, module->instance == ownInstance ? 1 : 0);
    MaybeFail("config");
}

int Init(VisModule* module)
{
    const int index = IndexOf(module);
    frame = 0;
    Log("init thread=%lu module=%d hostwindow=%d instance=%d rate=%d", GetCurrentThreadId(), index,
        IsWindow(module->hostWindow) ? 1 : 0, module->instance == ownInstance ? 1 : 0, module->sampleRate);
    MaybeFail("init");
    if (index == failsModule)
        return 1;
    if (std::getenv("BRIM_FAKE_SLOW_START") != nullptr)
        Sleep(slowInitMs);
    if (index == windowlessModule || index == slowModule)
        return 0;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FakeWndProc;
    windowClass.hInstance = module->instance;
    windowClass.lpszClassName = "FakeVis";
    RegisterClassA(&windowClass);
    const DWORD style = index == childModule ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    const int place = index == childModule ? 0 : 100;
    fakeWindow = CreateWindowExA(0, "FakeVis", module->description, style, place, place, 240, 180,
                                 module->hostWindow, nullptr, module->instance, nullptr);
    return fakeWindow != nullptr ? 0 : 1;
}

int Render(VisModule* module)
{
    const int index = IndexOf(module);
    ++frame;
    const auto* waveform = &module->waveformData[0][0];
    const auto* spectrum = &module->spectrumData[0][0];
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    Log("render thread=%lu module=%d frame=%d ms=%.1f wave=%08x spectrum=%08x wavenonzero=%d spectrumnonzero=%d "
        "left=%d,%d,%d,%d right=%d,%d,%d,%d",
        GetCurrentThreadId(), index, frame, 1000.0 * now.QuadPart / frequency.QuadPart, Hash(waveform, 2 * sampleCount), Hash(spectrum, 2 * sampleCount),
        NonZero(waveform, 2 * sampleCount), NonZero(spectrum, 2 * sampleCount), waveform[0], waveform[1],
        waveform[2], waveform[3], waveform[sampleCount], waveform[sampleCount + 1], waveform[sampleCount + 2],
        waveform[sampleCount + 3]);
    MaybeFail("render");
    if (fakeWindow != nullptr) {
        HDC dc = GetDC(fakeWindow);
        RECT client;
        GetClientRect(fakeWindow, &client);
        HBRUSH brush = CreateSolidBrush(frameColours[frame % 4]);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        ReleaseDC(fakeWindow, dc);
        // Must be dispatched before the next frame is rendered.
        PostMessageA(fakeWindow, WM_APP, 0, 0);
    }
    if (frame == 1 && std::getenv("BRIM_FAKE_SLOW_START") != nullptr)
        Sleep(slowFirstRenderMs);
    if (index == slowModule)
        Sleep(100);
    if (index == quitsModule && frame == 5)
        PostQuitMessage(0);
    if (index == closesHostModule && frame == 4)
        PostMessageA(module->hostWindow, WM_CLOSE, 0, 0);
    // The system's handling of the close destroys the window and posts nothing.
    if (index == closesWindowModule && frame == 3)
        PostMessageA(fakeWindow, WM_CLOSE, 0, 0);
    return index == renderEndsModule && frame == 3 ? 3 : 0;
}

void Quit(VisModule* module)
{
    // Where the window is as Quit begins, which a plug-in would save.
    RECT place = {};
    const bool windowLives = fakeWindow != nullptr && IsWindow(fakeWindow);
    if (windowLives)
        GetWindowRect(fakeWindow, &place);
    Log("quit thread=%lu module=%d hostwindow=%d window=%d place=%ld,%ld,%ld,%ld", GetCurrentThreadId(),
        IndexOf(module), IsWindow(module->hostWindow) ? 1 : 0, windowLives ? 1 : 0, place.left, place.top,
        place.right, place.bottom);
    MaybeFail("quit");
    if (windowLives)
        DestroyWindow(fakeWindow);
    fakeWindow = nullptr;
    UnregisterClassA("FakeVis", module->instance);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ownInstance = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) VisHeader* winampVisGetHeader()
{
    const char* version = std::getenv("BRIM_FAKE_VERSION");
    header.version = version != nullptr ? static_cast<int>(std::strtol(version, nullptr, 0)) : 0x101;
    header.getModule = GetModule;
    return &header;
}
