#include "settings/SettingsStore.h"

#include "plugin/PluginEntry.h"
#include "settings/Settings.h"

#include <array>
#include <cwchar>

namespace {

constexpr wchar_t iniName[] = L"plugin.ini";

// Room for any module description, the settings section name.
constexpr int sectionSize = 256;

struct Key {
    const wchar_t* name;
    int Settings::*field;
    bool spheresOnly;
};

// Load and save order.
constexpr std::array<Key, 10> keys = {{
    {L"screen_x", &Settings::screen_x, false},
    {L"screen_y", &Settings::screen_y, false},
    {L"screen_w", &Settings::screen_w, false},
    {L"screen_h", &Settings::screen_h, false},
    {L"vistype", &Settings::vistype, false},
    {L"fallspeed", &Settings::fallspeed, false},
    {L"scales", &Settings::scales, false},
    {L"scalew", &Settings::scalew, false},
    {L"detail", &Settings::detail, true},
    {L"lines", &Settings::lines, true},
}};

constexpr int spheresModule = 1;

bool KeyApplies(const Key& key)
{
    return !key.spheresOnly || activeModule == spheresModule;
}

// The profile calls take the path in wide characters, so the section and
// keys go wide too; the file itself stays in the system's ANSI code page.
bool WideSection(const VisModule* module, wchar_t (&section)[sectionSize])
{
    return MultiByteToWideChar(CP_ACP, 0, module->description, -1, section, sectionSize) != 0;
}

}  // namespace

bool BuildIniPath(const VisModule* module, wchar_t (&path)[iniPathSize])
{
    path[0] = L'\0';
    // Room for a library name longer than the ini path may be: only the
    // directory has to fit beside "plugin.ini".
    wchar_t library[4 * iniPathSize];
    const DWORD length = GetModuleFileNameW(module->instance, library, std::size(library));
    // A full buffer means the name was cut short; never guess a directory from it.
    if (length == 0 || length >= std::size(library))
        return false;
    const wchar_t* nameStart = std::wcsrchr(library, L'\\');
    const std::size_t directoryLength = nameStart ? static_cast<std::size_t>(nameStart + 1 - library) : 0;
    if (directoryLength + std::size(iniName) > iniPathSize)
        return false;
    std::wmemcpy(path, library, directoryLength);
    std::wmemcpy(path + directoryLength, iniName, std::size(iniName));
    return true;
}

void LoadSettings(const VisModule* module)
{
    wchar_t path[iniPathSize];
    wchar_t section[sectionSize];
    if (!BuildIniPath(module, path) || !WideSection(module, section))
        return;
    for (const Key& key : keys) {
        if (KeyApplies(key))
            settings.*key.field = static_cast<int>(GetPrivateProfileIntW(section, key.name, settings.*key.field, path));
    }
}

void SaveSettings(const VisModule* module)
{
    wchar_t path[iniPathSize];
    wchar_t section[sectionSize];
    if (!BuildIniPath(module, path) || !WideSection(module, section))
        return;
    for (const Key& key : keys) {
        if (!KeyApplies(key))
            continue;
        wchar_t text[32];
        wsprintfW(text, L"%d", settings.*key.field);
        WritePrivateProfileStringW(section, key.name, text, path);
    }
}
