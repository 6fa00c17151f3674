#include "settings/IniFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view blanks = " \t\r\v\f";
constexpr std::string_view bom = "\xEF\xBB\xBF";

// Where the first line starts: after a BOM, which editors may put there.
std::size_t BodyStart(std::string_view text)
{
    return text.substr(0, bom.size()) == bom ? bom.size() : 0;
}

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
    for (std::size_t start = BodyStart(text); start < text.size();) {
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

// The file a chain of symbolic links ends at, which need not exist.
std::string FollowLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        std::string target(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size())
            return path;
        target.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = target[0] == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    return path;
}

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool IsUtf8Text(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
        const unsigned char lead = byte(i);
        if (lead == 0)
            return false;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4                                 ? 4
                                                                                                  : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return false;
            code = code << 6 | (byte(i + k) & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool IsReadOnly(const std::string& path, const struct stat& status)
{
    return (status.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
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
        if (result.size() > BodyStart(result) && result.back() != '\n')
            result.append(ending);
        result.append("[").append(section).append("]").append(ending).append(line).append(ending);
    }
    return result;
}

TextFile ReadTextFile(const std::string& path)
{
    TextFile file;
    file.target = FollowLinks(path);
    // A device or FIFO may block, grow without end or act on being opened.
    struct stat status;
    if (lstat(file.target.c_str(), &status) != 0) {
        if (errno != ENOENT)
            file.problem = std::string("it cannot be read (") + std::strerror(errno) + ")";
        return file;
    }
    file.exists = true;
    if (!S_ISREG(status.st_mode)) {
        file.problem = "it is not a regular file";
        return file;
    }
    const int fd = open(file.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        file.problem = std::string("it cannot be read (") + std::strerror(errno) + ")";
        return file;
    }
    // Checked again once open: the name may have been given to a FIFO since.
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        file.problem = "it is not a regular file";
        return file;
    }
    char buffer[65536];
    ssize_t count = 0;
    while (file.text.size() <= maxTextFileBytes && (count = read(fd, buffer, sizeof(buffer))) != 0) {
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            break;
        file.text.append(buffer, static_cast<std::size_t>(count));
    }
    const int readError = errno;
    close(fd);
    file.readOnly = IsReadOnly(file.target, status);
    if (count < 0)
        file.problem = std::string("it cannot be read (") + std::strerror(readError) + ")";
    else if (file.text.size() > maxTextFileBytes)
        file.problem = "it is too large to be a settings file (over 1 MiB)";
    else if (!IsUtf8Text(file.text))
        file.problem = "it is not text (it has NUL bytes or is not UTF-8)";
    if (!file.problem.empty())
        file.text.clear();
    return file;
}

bool ReplaceTextFile(const std::string& path, const std::string& text, bool makeFolders)
{
    const std::string target = FollowLinks(path);
    struct stat old;
    const bool exists = lstat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return errno = EINVAL, false;
    if (exists && IsReadOnly(target, old))
        return errno = EACCES, false;
    if (!exists && makeFolders && !MakeDirectories(target))
        return false;
    // A new file takes the umask's mode; an old file's contents are never
    // readable by more than before, even for a moment.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + "." + std::to_string(getpid()) + (attempt ? "." + std::to_string(attempt) : "") + ".new";
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        // Changing the owner clears set-id bits: the mode goes on last.
        if ((old.st_uid != geteuid() || old.st_gid != getegid()) && fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t count = write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        ok = count > 0;
        done += ok ? static_cast<std::size_t>(count) : 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        unlink(temporary.c_str());
        errno = error;
    }
    return ok;
}
