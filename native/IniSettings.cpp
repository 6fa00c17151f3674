#include "native/IniSettings.h"

#include "scenes/Scenes.h"
#include "settings/SettingsKeys.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace {

// The profile calls treat every control character as a blank.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The value as it comes back from the profile: quotes around it dropped,
// at most 29 characters.
std::string_view ProfileValue(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value.substr(0, 29);
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

int ParseProfileNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10)
            i += 2;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && DigitValue(text[i]) < base; ++i)
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(DigitValue(text[i]));
    return static_cast<int>(negative ? 0u - value : value);
}

}  // namespace

std::string DefaultSettingsPath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/brimwave/plugin.ini";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0')
        return "";
    return std::string(home) + "/.config/brimwave/plugin.ini";
}

int ProfileInt(const std::string& text, const std::string& section, const std::string& key, int fallback)
{
    std::istringstream lines(text);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        const std::string_view trimmed = Trim(line);
        // A '[' without a ']' makes no section: the line is read as a key.
        const std::size_t close = trimmed.rfind(']');
        if (!trimmed.empty() && trimmed.front() == '[' && close != std::string_view::npos) {
            // Only the first section of the name is searched.
            if (inSection)
                return fallback;
            inSection = SameNoCase(Trim(trimmed.substr(1, close - 1)), section);
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (!inSection || equals == std::string_view::npos || !SameNoCase(Trim(trimmed.substr(0, equals)), key))
            continue;
        const std::string_view value = ProfileValue(Trim(trimmed.substr(equals + 1)));
        return value.empty() ? fallback : ParseProfileNumber(value);
    }
    return fallback;
}

bool LoadIniSettings(const std::string& path, int module)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return errno == ENOENT;
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        text.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;
    for (const SettingsKey& key : settingsKeys)
        if (KeyApplies(key, module == spheresModule))
            settings.*key.field = ProfileInt(text, sceneModules[module].description, key.name, settings.*key.field);
    return true;
}
