// Reading and writing ini text the way the platform's private-profile calls
// do, for systems that have none: the native program keeps its settings in
// the same format as plugin.ini.
#pragma once

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
// take the text's own line ending.
std::string WriteProfileString(std::string_view text, std::string_view section, std::string_view key,
                               std::string_view value);

// The whole file; false when it cannot be read, with `missing` telling a file
// that does not exist from one that is unreadable.
bool ReadTextFile(const std::string& path, std::string& text, bool& missing);

// Writes a temporary file beside it and renames it over the old one, so that
// a failed write leaves the old file whole. Makes the missing directories.
bool ReplaceTextFile(const std::string& path, const std::string& text);
