// The settings record in a plugin.ini of the native program's own, by
// default $XDG_CONFIG_HOME/brimwave/plugin.ini (~/.config/brimwave/ when
// XDG_CONFIG_HOME is unset or relative): the plug-in's sections and keys,
// read and written as the plug-in reads and writes its plugin.ini.
#pragma once

#include <string>

// Empty when neither XDG_CONFIG_HOME nor HOME names a folder.
std::string DefaultSettingsPath();

// The module's section (named after the module) into the record, and back;
// the Spheres-only keys travel only for the Spheres module. A missing file
// or section leaves the record as it is. Loading is false only when the
// file exists but cannot be read; such a file is never written over.
bool LoadSettingsFile(const std::string& path, int module);
void SaveSettingsFile(const std::string& path, int module);

// The module that ran last, kept in a section of the program's own; the
// fallback when none was saved.
int LoadLastModule(const std::string& path, int fallback);
void SaveLastModule(const std::string& path, int module);
