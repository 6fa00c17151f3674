#include "settings/SettingsStore.h"

#include "plugin/PluginEntry.h"
#include "settings/Settings.h"

#include <array>
#include <cstring>

namespace {

constexpr char iniName[] = "plugin.ini";

struct Key {
    const char* name;
    int Settings::*field;
    bool spheresOnly;
};

// Load and save order.
constexpr std::array<Key, 10> keys = {{
    {"screen_x", &Settings::screen_x, false},
    {"screen_y", &Settings::screen_y, false},
    {"screen_w", &Settings::screen_w, false},
    {"screen_h", &Settings::screen_h, false},
    {"vistype", &Settings::vistype, false},
    {"fallspeed", &Settings::fallspeed, false},
    {"scales", &Settings::scales, false},
    {"scalew", &Settings::scalew, false},
    {"detail", &Settings::detail, true},
    {"lines", &Settings::lines, true},
}};

constexpr int spheresModule = 1;

bool KeyApplies(const Key& key)
{
    return !key.spheresOnly || activeModule == spheresModule;
}

}  // namespace

bool BuildIniPath(const VisModule* module, char (&path)[iniPathSize])
{
    path[0] = '\0';
    // Room for a library name longer than the ini path may be: only the
    // directory has to fit beside "plugin.ini".
    char library[4 * iniPathSize];
    const DWORD length = GetModuleFileNameA(module->instance, library, sizeof(library));
    // A full buffer means the name was cut short; never guess a directory from it.
    if (length == 0 || length >= sizeof(library))
        return false;
    const char* nameStart = std::strrchr(library, '\\');
    const std::size_t directoryLength = nameStart ? static_cast<std::size_t>(nameStart + 1 - library) : 0;
    if (directoryLength + sizeof(iniName) > iniPathSize)
        return false;
    std::memcpy(path, library, directoryLength);
    std::memcpy(path + directoryLength, iniName, sizeof(iniName));
    return true;
}

void LoadSettings(const VisModule* module)
{
    char path[iniPathSize];
    if (!BuildIniPath(module, path))
        return;
    for (const Key& key : keys) {
        if (KeyApplies(key))
            settings.*key.field = static_cast<int>(
                GetPrivateProfileIntA(module->description, key.name, settings.*key.field, path));
    }
}

void SaveSettings(const VisModule* module)
{
    char path[iniPathSize];
    if (!BuildIniPath(module, path))
        return;
    for (const Key& key : keys) {
        if (!KeyApplies(key))
            continue;
        char text[32];
        wsprintfA(text, "%d", settings.*key.field);
        WritePrivateProfileStringA(module->description, key.name, text, path);
    }
}
