// The settings record from a plugin.ini on Linux, read as the plug-in's
// profile calls read it under Wine, so a file behaves the same in both.
#pragma once

#include <string>

// The native program's own file: $XDG_CONFIG_HOME/brimwave/plugin.ini, or
// ~/.config/brimwave/plugin.ini when XDG_CONFIG_HOME is unset or relative.
// Empty when neither that nor HOME is set.
std::string DefaultSettingsPath();

// The integer value of `key` in `section` of an ini file's text, or
// `fallback` when the key is missing or has no value. Section and key names
// match in any case; the first match counts. A value reads as the profile
// calls read it: leading blanks and a sign, then digits up to the first
// other character (decimal, or 0x, 0o, 0b), wrapping at 32 bits; no digits
// read as 0.
int ProfileInt(const std::string& text, const std::string& section, const std::string& key, int fallback);

// Loads the module's keys from its section (named after the module) of the
// file at `path` into the settings record. A missing file or section leaves
// the record as it is. False only when the file exists but cannot be read.
bool LoadIniSettings(const std::string& path, int module);
