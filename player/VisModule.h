// Records shared with the player: the header and the module record, laid out
// exactly as the player reads and writes them (32-bit, no padding).
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
// The platform-free code only touches the sample bytes; the handle types just
// have to exist for the native build.
using HWND = struct HWND__*;
using HINSTANCE = struct HINSTANCE__*;
#endif

constexpr int visHeaderVersion = 0x101;
constexpr int sampleCount = 576;

struct VisModule;

using ConfigEntry = void (*)(VisModule*);
using InitEntry = int (*)(VisModule*);
using RenderEntry = int (*)(VisModule*);
using QuitEntry = void (*)(VisModule*);
using ModuleGetter = VisModule* (*)(int);

struct VisModule {
    const char* description;        // module name, window title, settings section
    HWND hostWindow;                // player: owner and key receiver
    HINSTANCE instance;             // player: this library
    int sampleRate;                 // player: never read
    int channelCount;               // player: never read
    int latencyMs;                  // library: 25
    int delayMs;                    // library: 25
    int spectrumChannels;           // library: 2
    int waveformChannels;           // library: 2
    unsigned char spectrumData[2][sampleCount];  // player, before each Render
    unsigned char waveformData[2][sampleCount];  // player, before each Render
    ConfigEntry Config;             // library
    InitEntry Init;                 // library
    RenderEntry Render;             // library
    QuitEntry Quit;                 // library
    void* userData;                 // nobody
};

// A module record as the library hands it out: the host's fields empty,
// 25 ms latency and delay, both channels of both sources wanted.
constexpr VisModule MakeModule(const char* description, ConfigEntry config, InitEntry init, RenderEntry render,
                               QuitEntry quit)
{
    return VisModule{
        description,
        nullptr,      // hostWindow
        nullptr,      // instance
        0,            // sampleRate
        0,            // channelCount
        25,           // latencyMs
        25,           // delayMs
        2,            // spectrumChannels
        2,            // waveformChannels
        {},           // spectrumData
        {},           // waveformData
        config,
        init,
        render,
        quit,
        nullptr,      // userData
    };
}

struct VisHeader {
    int version;                    // 0x101
    const char* description;        // plug-in name
    ModuleGetter getModule;         // GetModule
};

// The layout only binds where pointers are 32 bits wide: the player's side.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(VisHeader) == 12);
static_assert(offsetof(VisHeader, version) == 0);
static_assert(offsetof(VisHeader, description) == 4);
static_assert(offsetof(VisHeader, getModule) == 8);

static_assert(sizeof(VisModule) == 2360);
static_assert(offsetof(VisModule, description) == 0);
static_assert(offsetof(VisModule, hostWindow) == 4);
static_assert(offsetof(VisModule, instance) == 8);
static_assert(offsetof(VisModule, sampleRate) == 12);
static_assert(offsetof(VisModule, channelCount) == 16);
static_assert(offsetof(VisModule, latencyMs) == 20);
static_assert(offsetof(VisModule, delayMs) == 24);
static_assert(offsetof(VisModule, spectrumChannels) == 28);
static_assert(offsetof(VisModule, waveformChannels) == 32);
static_assert(offsetof(VisModule, spectrumData) == 36);
static_assert(offsetof(VisModule, waveformData) == 1188);
static_assert(offsetof(VisModule, Config) == 2340);
static_assert(offsetof(VisModule, Init) == 2344);
static_assert(offsetof(VisModule, Render) == 2348);
static_assert(offsetof(VisModule, Quit) == 2352);
static_assert(offsetof(VisModule, userData) == 2356);
#endif
