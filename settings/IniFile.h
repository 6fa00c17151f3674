// Reading and writing ini text the way the platform's private-profile calls
// do, for systems that have none: the native program keeps its settings in
// the same format as plugin.ini.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The key's value in the first section of that name, read as the profile's
// integer reading does: leading blanks and a sign, then digits up to the
// first other character ("42A" is 42, "B42" is 0), decimal or after 0x, 0o
// or 0b, wrapping at 32 bits.
// Section and key names match whatever their case. An absent or empty value,
// section or key gives the fallback.
int ReadProfileInt(std::string_view text, std::string_view section, std::string_view key, int fallback);

// The text with the key's line in the section set to "key=value": the line
// replaced where the key is, otherwise added after the section's last line, or
// the section added at the end. Every other line stays as it was; new lines
// take the text's own line ending, and a BOM stays first.
std::string WriteProfileString(std::string_view text, std::string_view section, std::string_view key,
                               std::string_view value);

// The largest file taken for a settings file: a bigger one is none.
constexpr std::size_t maxTextFileBytes = 1 << 20;

// A file read as settings text, through any symbolic links.
struct TextFile {
    std::string target;     // the path once the links are followed
    std::string text;       // every byte, a BOM too
    bool exists = false;
    bool readOnly = false;  // no write permission bit for anyone, or none for this process
    std::string problem;    // why the file cannot be used ("it is ..."); empty when it can
};

// Only a regular file is opened (without blocking, and checked again once
// open), and only up to maxTextFileBytes; text is UTF-8 (ASCII is) without
// NUL bytes. A missing file is no problem.
TextFile ReadTextFile(const std::string& path);

// Writes a temporary file beside the links' target and renames it over the
// target, so that a failed write leaves the old file whole; the old file's
// mode, and its owner and group where the process may set them, stay. Never
// writes over a file that is not regular or is read-only. Makes the missing
// folders only when asked to. False with errno set when nothing was written.
bool ReplaceTextFile(const std::string& path, const std::string& text, bool makeFolders);
