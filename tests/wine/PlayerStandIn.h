// The player's side of the plug-in interface, played by the end-to-end tests:
// a private copy of the built plug-in, the player's own window that receives
// the forwarded keys, the module record filled through raw offsets, and the
// thread's message pump.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Offsets and sizes in the module record, from the player's interface tables.
namespace record {
constexpr int description = 0;
constexpr int hostWindow = 4;
constexpr int instance = 8;
constexpr int spectrum = 36;
constexpr int waveform = 1188;
constexpr int channelBytes = 576;
constexpr int initEntry = 2344;
constexpr int renderEntry = 2348;
constexpr int quitEntry = 2352;
}  // namespace record

constexpr const char* moduleNames[3] = {"Rectangles", "Spheres", "Rectangle/Texture(prelim)"};
constexpr char pluginClass[] = "Brimwave";

struct HostMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// One plugin.ini section: key and value pairs in file order.
using IniKeys = std::vector<std::pair<const char*, int>>;
std::string IniSection(const char* section, const IniKeys& keys);

// Channel bytes whose level sum is 288 * v: b0 = 0, the odd positions
// alternate v, 0, v, ... and the even positions, which the meter never reads,
// hold filler.
void FillAlternating(unsigned char* channel, int v, unsigned char filler);

class PlayerStandIn {
public:
    PlayerStandIn();
    ~PlayerStandIn();
    PlayerStandIn(const PlayerStandIn&) = delete;
    PlayerStandIn& operator=(const PlayerStandIn&) = delete;

    // Copies the built plug-in with the given plugin.ini into a fresh
    // directory, whose name ends in nameTail, loads it and reads its header.
    // False with a reason on failure.
    bool Load(const std::string& iniText, std::string& failure, const std::wstring& nameTail = L"");
    // Fetches a module through the header's getter and fills its player fields.
    bool Fetch(int index);

    int Init();
    int Render();
    void Quit();

    unsigned char* Waveform(int channel);
    unsigned char* Spectrum(int channel);

    // Dispatches every waiting message of the thread; a quit message is taken
    // and its exit code recorded, as the player's loop would.
    void Pump();

    // The plug-in's window: the one window of its class on this thread.
    HWND PluginWindow() const;

    int IniValue(const char* section, const char* key) const;
    std::wstring IniPath() const { return directory + L"plugin.ini"; }

    HMODULE library = nullptr;
    unsigned char* module = nullptr;
    HWND host = nullptr;
    // Key messages (WM_KEYFIRST..WM_KEYLAST) as the player's window got them.
    std::vector<HostMessage> hostKeys;
    std::vector<WPARAM> quitCodes;

private:
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring directory;
    void* (*getModule)(int) = nullptr;
    bool running = false;  // Init succeeded and no Quit since
};

// The visualization windows of this thread's class "Brimwave".
std::vector<HWND> PluginWindows();
