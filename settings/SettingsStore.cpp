#include "settings/SettingsStore.h"

#include "settings/Modules.h"
#include "settings/Settings.h"
#include "settings/SettingsKeys.h"

#include <array>
#include <cwchar>

namespace {

constexpr wchar_t iniName[] = L"plugin.ini";

// Room for any module description, the settings section name.
constexpr int sectionSize = 256;

// Key names are ASCII: each character widens as it is.
constexpr int keyNameSize = 16;

void WideKeyName(const SettingsKey& key, wchar_t (&name)[keyNameSize])
{
    int i = 0;
    for (; key.name[i] != '\0' && i < keyNameSize - 1; ++i)
        name[i] = static_cast<wchar_t>(key.name[i]);
    name[i] = L'\0';
}

// The profile calls take the path in wide characters, so the section and
// keys go wide too; the file itself stays in the system's ANSI code page.
bool WideSection(const VisModule* module, wchar_t (&section)[sectionSize])
{
    return MultiByteToWideChar(CP_ACP, 0, module->description, -1, section, sectionSize) != 0;
}

// Hands each key the module keeps, with its field, to `visit` once the file
// and the section are known; nothing when they are not.
template <typename Visit>
void ForEachKey(const VisModule* module, int moduleIndex, Visit visit)
{
    wchar_t path[iniPathSize];
    wchar_t section[sectionSize];
    if (!BuildIniPath(module, path) || !WideSection(module, section))
        return;
    for (const SettingsKey& key : settingsKeys) {
        if (!KeyApplies(key, moduleIndex == spheresModule))
            continue;
        wchar_t name[keyNameSize];
        WideKeyName(key, name);
        visit(path, section, name, settings.*key.field);
    }
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

void LoadSettings(const VisModule* module, int moduleIndex)
{
    ForEachKey(module, moduleIndex, [](const wchar_t* path, const wchar_t* section, const wchar_t* name, int& field) {
        field = static_cast<int>(GetPrivateProfileIntW(section, name, field, path));
    });
}

void SaveSettings(const VisModule* module, int moduleIndex)
{
    ForEachKey(module, moduleIndex, [](const wchar_t* path, const wchar_t* section, const wchar_t* name, int& field) {
        wchar_t text[32];
        wsprintfW(text, L"%d", field);
        WritePrivateProfileStringW(section, name, text, path);
    });
}
