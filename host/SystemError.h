// The system's text for an error code, as brimhost prints it.
#pragma once

#include <windows.h>

#include <string>

// "error N: text". The system's texts may hold inserts such as "%1"
// ("Bad EXE format for %1."): each is filled with `insert`, or left out with
// the space before it when there is nothing to fill it with.
std::string ErrorText(DWORD error, const std::string& insert = "");
