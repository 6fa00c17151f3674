#include "native/NativeSettings.h"

#include "native/IniFile.h"
#include "settings/Settings.h"

#include <array>
#include <cstdlib>

namespace {

struct Key {
    const char* name;
    int Settings::*field;
    bool spheresOnly;
};

// Load and save order, as in plugin.ini.
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
constexpr char programSection[] = "Brimwave";
constexpr char moduleKey[] = "module";

bool KeyApplies(const Key& key, int module)
{
    return !key.spheresOnly || module == spheresModule;
}

// The file's text, empty when it does not exist yet; false when it exists
// but cannot be read, so that nothing writes over it.
bool ReadSettingsText(std::string& text)
{
    const std::string path = NativeSettingsPath();
    bool missing = false;
    return !path.empty() && (ReadTextFile(path, text, missing) || missing);
}

}  // namespace

std::string NativeSettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/brimwave/plugin.ini";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/brimwave/plugin.ini";
    return {};
}

void LoadNativeSettings(const char* section, int module)
{
    std::string text;
    if (!ReadSettingsText(text))
        return;
    for (const Key& key : keys) {
        if (KeyApplies(key, module))
            settings.*key.field = ReadProfileInt(text, section, key.name, settings.*key.field);
    }
}

void SaveNativeSettings(const char* section, int module)
{
    std::string text;
    if (!ReadSettingsText(text))
        return;
    for (const Key& key : keys) {
        if (KeyApplies(key, module))
            text = WriteProfileString(text, section, key.name, std::to_string(settings.*key.field));
    }
    ReplaceTextFile(NativeSettingsPath(), text);
}

int LoadLastModule(int fallback)
{
    std::string text;
    return ReadSettingsText(text) ? ReadProfileInt(text, programSection, moduleKey, fallback) : fallback;
}

void SaveLastModule(int module)
{
    std::string text;
    if (ReadSettingsText(text))
        ReplaceTextFile(NativeSettingsPath(), WriteProfileString(text, programSection, moduleKey, std::to_string(module)));
}
