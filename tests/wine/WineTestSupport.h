// Helpers shared by the Windows test programs.
#pragma once

#include <windows.h>

#include <string>

// Path of the built vis_brim.dll, as handed to the test program by ctest.
const std::string& PluginPath();

// A Unix path from the build tree turned into a Windows one (Z: maps the root).
std::string ToWindowsPath(const std::string& path);

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// The same for paths that need not fit the ANSI code page.
std::string ReadFileText(const std::wstring& path);
void WriteFileText(const std::wstring& path, const std::string& text);
std::wstring Widen(const std::string& text);
std::string Utf8(const std::wstring& text);  // for failure messages

// Directory of the running test program, with its closing backslash.
std::string ProgramDirectory();
