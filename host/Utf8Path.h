// The host keeps every path as UTF-8 text. Windows opens files by their
// wide-character names, so a name the ANSI code page cannot hold still
// works; elsewhere the bytes are the name. Header-only: every program that
// builds a host source file gets it without another file to link.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>

// Empty when the text is not UTF-8, which no file can be named.
inline std::wstring WidePath(const std::string& path)
{
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, &wide[0], length);
    return wide;
}

inline std::string Utf8Text(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.pop_back();  // the terminator
    return utf8;
}
#endif

// std::fopen for a UTF-8 path.
inline std::FILE* OpenFile(const std::string& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::strlen(mode));
    return _wfopen(WidePath(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}
