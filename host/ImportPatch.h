// Redirects one entry of a loaded module's import address table, so a caller
// can see, refuse or extend the system calls that the plug-in makes.
#pragma once

#include <windows.h>

// Writes replacement into the slot that module imports dll!function through
// and returns what the slot held; null when the module imports no such thing.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
