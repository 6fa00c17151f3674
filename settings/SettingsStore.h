// Transfers between the settings record and plugin.ini beside the library.
#pragma once

#include "player/VisModule.h"

// The platform's path limit, in wide characters with the terminating NUL.
constexpr int iniPathSize = 260;

// Fills path with "<directory of the library>\plugin.ini", whatever
// characters the directory holds. Returns false, with an empty path, when the
// library's path cannot be had or the name does not fit.
bool BuildIniPath(const VisModule* module, wchar_t (&path)[iniPathSize]);

// Both act on the section named by the record's description; the Spheres-only
// keys travel only while the active module, `moduleIndex`, is Spheres.
void LoadSettings(const VisModule* module, int moduleIndex);
void SaveSettings(const VisModule* module, int moduleIndex);
