// The settings record in $XDG_CONFIG_HOME/brimwave/plugin.ini (by default
// ~/.config/brimwave/plugin.ini): the plug-in's sections and keys, read and
// written as the plug-in reads and writes its plugin.ini.
#pragma once

#include <string>

// Empty when neither XDG_CONFIG_HOME nor HOME names a folder.
std::string NativeSettingsPath();

// The module's section into the record, and back; the Spheres-only keys
// travel only for module 1. A file that cannot be read is never written over.
void LoadNativeSettings(const char* section, int module);
void SaveNativeSettings(const char* section, int module);

// The module that ran last, kept in a section of the program's own; the
// fallback when none was saved.
int LoadLastModule(int fallback);
void SaveLastModule(int module);
