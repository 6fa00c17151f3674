#include "settings/IniFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view blanks = " \t\r\v\f";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// One line of the text, without its line break.
struct Line {
    std::size_t start;
    std::size_t end;
    std::size_t next;  // start of the following line
};

Line LineAt(std::string_view text, std::size_t start)
{
    const std::size_t newline = text.find('\n', start);
    const std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
    std::size_t end = newline == std::string_view::npos ? text.size() : newline;
    if (end > start && text[end - 1] == '\r')
        --end;
    return {start, end, next};
}

// The name of a "[name]" line, or nothing when the line is no section
// header; a line without the closing bracket is none.
bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    const std::size_t close = line.rfind(']');
    if (line.empty() || line.front() != '[' || close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// A line inside a section: the key before the first '=', the value after it.
// A line without '=' is a key without a value.
void SplitKey(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::size_t equals = line.find('=');
    key = Trim(line.substr(0, equals));
    value = equals == std::string_view::npos ? std::string_view() : Trim(line.substr(equals + 1));
}

// Where the key sits in the first section of that name.
struct Found {
    bool section = false;
    bool key = false;
    Line keyLine = {};
    std::size_t sectionEnd = 0;  // just after the section's last non-blank line
};

Found Find(std::string_view text, std::string_view section, std::string_view key)
{
    Found found;
    bool inside = false;
    for (std::size_t start = 0; start < text.size();) {
        const Line line = LineAt(text, start);
        const std::string_view content = text.substr(line.start, line.end - line.start);
        start = line.next;
        std::string_view name;
        if (SectionName(content, name)) {
            if (inside)
                break;
            inside = SameName(name, section);
            found.section = found.section || inside;
            if (inside)
                found.sectionEnd = line.next;
            continue;
        }
        if (!inside)
            continue;
        if (!Trim(content).empty())
            found.sectionEnd = line.next;
        std::string_view lineKey, value;
        SplitKey(content, lineKey, value);
        if (!found.key && SameName(lineKey, key)) {
            found.key = true;
            found.keyLine = line;
        }
    }
    return found;
}

std::string_view LineEnding(std::string_view text)
{
    return text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

// Profile values may be quoted; the quotes are not part of the value.
std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// 0..35 for a digit or a letter; more for anything else.
std::uint32_t DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<std::uint32_t>(c - 'A' + 10);
    return 99;
}

bool MakeDirectories(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

int ReadProfileInt(std::string_view text, std::string_view section, std::string_view key, int fallback)
{
    const Found found = Find(text, section, key);
    if (!found.key)
        return fallback;
    std::string_view lineKey, value;
    SplitKey(text.substr(found.keyLine.start, found.keyLine.end - found.keyLine.start), lineKey, value);
    value = Unquote(value);
    if (value.empty())
        return fallback;

    std::size_t i = value.find_first_not_of(blanks);
    if (i == std::string_view::npos)
        return 0;
    bool negative = false;
    if (value[i] == '-' || value[i] == '+')
        negative = value[i++] == '-';
    std::uint32_t base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        const std::size_t prefix = std::string_view("xXoObB").find(value[i + 1]);
        if (prefix != std::string_view::npos) {
            base = prefix < 2 ? 16 : prefix < 4 ? 8 : 2;
            i += 2;
        }
    }
    std::uint32_t result = 0;
    for (std::uint32_t digit; i < value.size() && (digit = DigitValue(value[i])) < base; ++i)
        result = result * base + digit;
    if (negative)
        result = 0u - result;
    return static_cast<int>(result);
}

std::string WriteProfileString(std::string_view text, std::string_view section, std::string_view key,
                               std::string_view value)
{
    const std::string_view ending = LineEnding(text);
    std::string line = std::string(key) + "=" + std::string(value);
    const Found found = Find(text, section, key);
    std::string result;
    if (found.key) {
        result.append(text.substr(0, found.keyLine.start)).append(line).append(text.substr(found.keyLine.end));
    } else if (found.section) {
        result.append(text.substr(0, found.sectionEnd));
        if (!result.empty() && result.back() != '\n')
            result.append(ending);
        result.append(line).append(ending).append(text.substr(found.sectionEnd));
    } else {
        result.append(text);
        if (!result.empty() && result.back() != '\n')
            result.append(ending);
        result.append("[").append(section).append("]").append(ending).append(line).append(ending);
    }
    return result;
}

bool ReadTextFile(const std::string& path, std::string& text, bool& missing)
{
    text.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    missing = !file && errno == ENOENT;
    if (!file)
        return false;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, count);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool ReplaceTextFile(const std::string& path, const std::string& text)
{
    if (!MakeDirectories(path))
        return false;
    const std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
