#include "host/Viewer.h"

#include "host/SystemError.h"

#include <windows.h>

#include <cstdio>

namespace {

// plugin.ini holds the plug-in's own settings already, so a folder where
// those can be saved keeps this choice too; its own section stays apart
// from the modules' sections.
constexpr const char* iniSection = "Brimwave";
constexpr const char* iniKey = "module";
constexpr const char* pluginName = "vis_brim.dll";

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string IniBeside(const std::string& pluginPath)
{
    return pluginPath.substr(0, pluginPath.find_last_of("\\/") + 1) + "plugin.ini";
}

}  // namespace

bool IsViewerProgram()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file = std::string(path, length < MAX_PATH ? length : 0);
    const std::string name = file.substr(file.find_last_of("\\/") + 1);
    return lstrcmpiA(name.c_str(), "Brimwave.exe") == 0;
}

HostOptions ViewerDefaults()
{
    HostOptions options;
    options.pluginPath = ProgramFolder() + pluginName;
    options.listen = true;
    options.viewer = true;
    // A damaged value gives a module the plug-in does not have, and the host starts the first.
    options.module = static_cast<int>(GetPrivateProfileIntA(iniSection, iniKey, 0, IniBeside(options.pluginPath).c_str()));
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
    const std::string ini = IniBeside(pluginPath);
    if (!WritePrivateProfileStringA(iniSection, iniKey, std::to_string(index).c_str(), ini.c_str()))
        std::printf("cannot remember module %d in '%s' (%s); the next start opens the one before\n", index,
                    ini.c_str(), ErrorText(GetLastError()).c_str());
}
