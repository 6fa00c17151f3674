#include "host/Viewer.h"

#include "host/SystemError.h"
#include "host/Utf8Path.h"

#include <windows.h>

#include <cstdio>

namespace {

// plugin.ini holds the plug-in's own settings already, so a folder where
// those can be saved keeps this choice too; its own section stays apart
// from the modules' sections.
constexpr const wchar_t* iniSection = L"Brimwave";
constexpr const wchar_t* iniKey = L"module";
constexpr const char* pluginName = "vis_brim.dll";

// As UTF-8, like every path the host keeps.
std::string ProgramPath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8Text(path) : std::string();
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of("\\/") + 1);
}

// A full wide path: the profile calls look for a bare file name in the
// Windows folder.
std::wstring IniBeside(const std::string& pluginPath)
{
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(WidePath(pluginPath).c_str(), MAX_PATH, full, nullptr);
    const std::string path = length > 0 && length < MAX_PATH ? Utf8Text(full) : pluginPath;
    return WidePath(FolderOf(path) + "plugin.ini");
}

}  // namespace

bool IsViewerProgram()
{
    const std::string path = ProgramPath();
    return lstrcmpiA(path.c_str() + FolderOf(path).size(), "Brimwave.exe") == 0;
}

HostOptions ViewerDefaults()
{
    HostOptions options;
    options.pluginPath = FolderOf(ProgramPath()) + pluginName;
    options.listen = true;
    options.viewer = true;
    // A damaged value gives a module the plug-in does not have, and the host starts the first.
    options.module = static_cast<int>(GetPrivateProfileIntW(iniSection, iniKey, 0, IniBeside(options.pluginPath).c_str()));
    return options;
}

void AttachParentConsole()
{
    if (HasConsoleOutput() || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

bool HasConsoleOutput()
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE;
}

int NextModule(ModuleGetter getModule, int index)
{
    return index < 255 && getModule(index + 1) != nullptr ? index + 1 : 0;
}

void RememberModule(const std::string& pluginPath, int index)
{
    const std::wstring ini = IniBeside(pluginPath);
    if (!WritePrivateProfileStringW(iniSection, iniKey, std::to_wstring(index).c_str(), ini.c_str()))
        std::printf("cannot remember module %d in '%s' (%s); the next start opens the one before\n", index,
                    Utf8Text(ini.c_str()).c_str(), ErrorText(GetLastError()).c_str());
}
