// Every path is kept as UTF-8 text. Windows opens files by their
// wide-character names, so that a name the ANSI code page cannot hold still
// opens; elsewhere the bytes are the name.
#pragma once

#include <cstdio>
#include <string>

// The UTF-16 form of a UTF-8 path; empty when the text is not UTF-8, which
// no file can be named.
std::wstring WidePath(const std::string& path);

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& path, const char* mode);
