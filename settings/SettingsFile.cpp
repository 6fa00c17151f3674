#include "settings/SettingsFile.h"

#include "settings/IniFile.h"
#include "settings/Modules.h"
#include "settings/SettingsKeys.h"

#include <cstdlib>

namespace {

constexpr char programSection[] = "Brimwave";
constexpr char moduleKey[] = "module";

// The file's text, empty when it does not exist yet; false when it exists
// but cannot be read.
bool ReadSettingsText(const std::string& path, std::string& text)
{
    bool missing = false;
    return !path.empty() && (ReadTextFile(path, text, missing) || missing);
}

}  // namespace

std::string DefaultSettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/brimwave/plugin.ini";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/brimwave/plugin.ini";
    return {};
}

bool LoadSettingsFile(const std::string& path, int module)
{
    std::string text;
    if (!ReadSettingsText(path, text))
        return false;
    const char* section = moduleNames[module];
    for (const SettingsKey& key : settingsKeys) {
        if (KeyApplies(key, module == spheresModule))
            settings.*key.field = ReadProfileInt(text, section, key.name, settings.*key.field);
    }
    return true;
}

void SaveSettingsFile(const std::string& path, int module)
{
    std::string text;
    if (!ReadSettingsText(path, text))
        return;
    const char* section = moduleNames[module];
    for (const SettingsKey& key : settingsKeys) {
        if (KeyApplies(key, module == spheresModule))
            text = WriteProfileString(text, section, key.name, std::to_string(settings.*key.field));
    }
    ReplaceTextFile(path, text);
}

int LoadLastModule(const std::string& path, int fallback)
{
    std::string text;
    return ReadSettingsText(path, text) ? ReadProfileInt(text, programSection, moduleKey, fallback) : fallback;
}

void SaveLastModule(const std::string& path, int module)
{
    std::string text;
    if (ReadSettingsText(path, text))
        ReplaceTextFile(path, WriteProfileString(text, programSection, moduleKey, std::to_string(module)));
}
