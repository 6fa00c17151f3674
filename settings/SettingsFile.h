// The settings record in a plugin.ini of the native program's own, by
// default $XDG_CONFIG_HOME/brimwave/plugin.ini (~/.config/brimwave/ when
// XDG_CONFIG_HOME is unset or relative): the plug-in's sections and keys,
// read and written as the plug-in reads and writes its plugin.ini.
#pragma once

#include <string>

// Empty when neither XDG_CONFIG_HOME nor HOME names a folder.
std::string DefaultSettingsPath();

// How a run may use the settings file, told before it starts. Refused, with
// a message naming it: anything but a regular file (a device, FIFO, folder
// or socket, also behind a link), one over 1 MiB, one that is not UTF-8 text
// (or has NUL bytes), one that cannot be read, or one in a missing folder
// other than the default's, which a save makes. Read-only, with the message
// that says so: a file without any write permission bit, or one this
// process may not write. A missing file is read and written.
enum class SettingsUse {
    ReadWrite,
    ReadOnly,
    Refused,
};
SettingsUse CheckSettingsFile(const std::string& path, std::string& message);

// The module's section (named after the module) into the record, and back;
// the Spheres-only keys travel only for the Spheres module. A missing file
// or section leaves the record as it is. Loading is false when the file
// exists but cannot be used; such a file, and a read-only one, is never
// written over: saving is false then, or when the file cannot be written.
bool LoadSettingsFile(const std::string& path, int module);
bool SaveSettingsFile(const std::string& path, int module);

// The module that ran last, kept in a section of the program's own; the
// fallback when none was saved.
int LoadLastModule(const std::string& path, int fallback);
bool SaveLastModule(const std::string& path, int module);
