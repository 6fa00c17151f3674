// The host keeps every path and message as UTF-8 text; Windows hands over
// and takes wide-character text.
#pragma once

#include "files/Utf8File.h"

#include <windows.h>

#include <string>

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
