#include "PlayerStandIn.h"

#include "WineTestSupport.h"

#include <climits>
#include <cstring>

namespace {

constexpr char hostClass[] = "BrimwaveTestPlayer";
// Far more than any test's queue holds; stops a window that never validates.
constexpr int pumpLimit = 10000;
constexpr int directoryAttempts = 1000;

using Entry = int (*)(void*);
using QuitCall = void (*)(void*);

template <typename T>
T ReadField(const unsigned char* module, int offset)
{
    T value;
    std::memcpy(&value, module + offset, sizeof(T));
    return value;
}

template <typename T>
void WriteField(unsigned char* module, int offset, T value)
{
    std::memcpy(module + offset, &value, sizeof(T));
}

BOOL CALLBACK CollectPluginWindow(HWND window, LPARAM list)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, pluginClass) == 0)
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

}  // namespace

std::string IniSection(const char* section, const IniKeys& keys)
{
    std::string text = std::string("[") + section + "]\r\n";
    for (const auto& [key, value] : keys)
        text += std::string(key) + "=" + std::to_string(value) + "\r\n";
    return text;
}

void FillAlternating(unsigned char* channel, int v, unsigned char filler)
{
    channel[0] = 0;
    for (int i = 1; i < record::channelBytes; ++i)
        channel[i] = (i % 2 == 0) ? filler : ((i / 2) % 2 == 0 ? static_cast<unsigned char>(v) : 0);
}

std::vector<HWND> PluginWindows()
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectPluginWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

PlayerStandIn::PlayerStandIn()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = hostClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when a previous player registered it
    host = CreateWindowExA(0, hostClass, "player", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PlayerStandIn::~PlayerStandIn()
{
    // A window must not outlive the code of its window procedure.
    if (running)
        Quit();
    if (library)
        FreeLibrary(library);
    if (!directory.empty()) {
        DeleteFileW(IniPath().c_str());
        DeleteFileW((directory + L"vis_brim.dll").c_str());
        RemoveDirectoryW(directory.c_str());
    }
    DestroyWindow(host);
    // Whatever the plug-in posted last must not reach the next test.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT)
            DispatchMessageA(&message);
    }
}

LRESULT CALLBACK PlayerStandIn::HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* player = reinterpret_cast<PlayerStandIn*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (player && message >= WM_KEYFIRST && message <= WM_KEYLAST) {
        player->hostKeys.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool PlayerStandIn::Load(const std::string& iniText, std::string& failure, const std::wstring& nameTail)
{
    // Process ids come round again; a directory left by an earlier run is
    // passed over, never reused.
    static int serial = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring stem = std::wstring(temp) + L"brim-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    bool created = false;
    for (int attempt = 0; attempt < directoryAttempts && !created; ++attempt) {
        directory = stem + std::to_wstring(++serial) + nameTail + L"\\";
        created = CreateDirectoryW(directory.c_str(), nullptr) != 0;
    }
    if (!created) {
        failure = "cannot create a directory like " + Utf8(directory);
        directory.clear();
        return false;
    }
    const std::wstring copy = directory + L"vis_brim.dll";
    if (!CopyFileW(Widen(PluginPath()).c_str(), copy.c_str(), FALSE)) {
        failure = "cannot copy " + PluginPath() + " to " + Utf8(copy);
        return false;
    }
    if (!iniText.empty())
        WriteFileText(IniPath(), iniText);
    library = LoadLibraryW(copy.c_str());
    if (!library) {
        failure = "LoadLibraryW(" + Utf8(copy) + ") error " + std::to_string(GetLastError());
        return false;
    }
    using HeaderGetter = unsigned char* (*)();
    auto getHeader = reinterpret_cast<HeaderGetter>(
        reinterpret_cast<void*>(GetProcAddress(library, "winampVisGetHeader")));
    if (!getHeader) {
        failure = "no winampVisGetHeader export";
        return false;
    }
    getModule = ReadField<void* (*)(int)>(getHeader(), 8);
    return true;
}

bool PlayerStandIn::Fetch(int index)
{
    module = static_cast<unsigned char*>(getModule(index));
    if (!module)
        return false;
    WriteField(module, record::hostWindow, host);
    WriteField(module, record::instance, static_cast<HINSTANCE>(library));
    return true;
}

int PlayerStandIn::Init()
{
    const int result = ReadField<Entry>(module, record::initEntry)(module);
    running = result == 0;
    return result;
}

int PlayerStandIn::Render()
{
    return ReadField<Entry>(module, record::renderEntry)(module);
}

void PlayerStandIn::Quit()
{
    ReadField<QuitCall>(module, record::quitEntry)(module);
    running = false;
}

unsigned char* PlayerStandIn::Waveform(int channel)
{
    return module + record::waveform + channel * record::channelBytes;
}

unsigned char* PlayerStandIn::Spectrum(int channel)
{
    return module + record::spectrum + channel * record::channelBytes;
}

void PlayerStandIn::Pump()
{
    MSG message;
    for (int taken = 0; taken < pumpLimit && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++taken) {
        if (message.message == WM_QUIT)
            quitCodes.push_back(message.wParam);
        else
            DispatchMessageA(&message);
    }
}

HWND PlayerStandIn::PluginWindow() const
{
    const std::vector<HWND> windows = PluginWindows();
    return windows.size() == 1 ? windows[0] : nullptr;
}

int PlayerStandIn::IniValue(const char* section, const char* key) const
{
    return static_cast<int>(GetPrivateProfileIntW(Widen(section).c_str(), Widen(key).c_str(), INT_MIN, IniPath().c_str()));
}
