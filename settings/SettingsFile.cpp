#include "settings/SettingsFile.h"

#include "settings/IniFile.h"
#include "settings/Modules.h"
#include "settings/SettingsKeys.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr char programSection[] = "Brimwave";
constexpr char moduleKey[] = "module";

// The file's text, empty when it does not exist yet; false when it exists
// but cannot be used.
bool ReadSettingsText(const std::string& path, std::string& text)
{
    if (path.empty())
        return false;
    TextFile file = ReadTextFile(path);
    text = std::move(file.text);
    return file.problem.empty();
}

// Only the default file's folders are made: a --settings path in a missing
// folder is more likely a typing error than a wish for the folder.
bool WriteSettingsText(const std::string& path, std::string_view text)
{
    return ReplaceTextFile(path, std::string(text), path == DefaultSettingsPath());
}

// Hands `visit` the module's section and each key the module keeps, with its field.
template <typename Visit>
void ForEachKey(int module, Visit visit)
{
    for (const SettingsKey& key : settingsKeys)
        if (KeyApplies(key, module == spheresModule))
            visit(moduleNames[module], key.name, settings.*key.field);
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

SettingsUse CheckSettingsFile(const std::string& path, std::string& message)
{
    if (path.empty()) {
        message = "no settings file (neither XDG_CONFIG_HOME nor HOME names a folder): settings are not saved";
        return SettingsUse::ReadOnly;
    }
    const TextFile file = ReadTextFile(path);
    const std::string refusal = "cannot use '" + path + "' as the settings file: ";
    if (!file.problem.empty()) {
        message = refusal + file.problem;
        return SettingsUse::Refused;
    }
    if (file.readOnly) {
        message = "'" + path + "' is read-only: settings are not saved";
        return SettingsUse::ReadOnly;
    }
    const std::size_t slash = file.target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.target.substr(0, slash);
    struct stat status;
    const bool noFolder = stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode);
    if (!file.exists && path != DefaultSettingsPath() && noFolder) {
        message = refusal + "its folder does not exist";
        return SettingsUse::Refused;
    }
    return SettingsUse::ReadWrite;
}

bool LoadSettingsFile(const std::string& path, int module)
{
    std::string text;
    if (!ReadSettingsText(path, text))
        return false;
    ForEachKey(module, [&](const char* section, const char* name, int& field) {
        field = ReadProfileInt(text, section, name, field);
    });
    return true;
}

bool SaveSettingsFile(const std::string& path, int module)
{
    std::string text;
    if (!ReadSettingsText(path, text))
        return false;
    ForEachKey(module, [&](const char* section, const char* name, int& field) {
        text = WriteProfileString(text, section, name, std::to_string(field));
    });
    return WriteSettingsText(path, text);
}

int LoadLastModule(const std::string& path, int fallback)
{
    std::string text;
    return ReadSettingsText(path, text) ? ReadProfileInt(text, programSection, moduleKey, fallback) : fallback;
}

bool SaveLastModule(const std::string& path, int module)
{
    std::string text;
    return ReadSettingsText(path, text) &&
           WriteSettingsText(path, WriteProfileString(text, programSection, moduleKey, std::to_string(module)));
}
