#include "files/Utf8File.h"

#include <cstdint>
#include <cwchar>

namespace {

// Bytes after a lead byte, and the smallest code point of that length, so
// that overlong forms are refused.
bool SequenceOf(unsigned char lead, int& more, std::uint32_t& point, std::uint32_t& least)
{
    if (lead < 0x80) {
        more = 0, point = lead, least = 0;
    } else if ((lead & 0xE0) == 0xC0) {
        more = 1, point = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, point = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, point = lead & 0x07, least = 0x10000;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::wstring WidePath(const std::string& path)
{
    std::wstring wide;
    for (std::size_t i = 0; i < path.size();) {
        int more = 0;
        std::uint32_t point = 0;
        std::uint32_t least = 0;
        if (!SequenceOf(static_cast<unsigned char>(path[i++]), more, point, least) || path.size() - i < std::size_t(more))
            return {};
        for (; more > 0; --more) {
            const auto next = static_cast<unsigned char>(path[i++]);
            if ((next & 0xC0) != 0x80)
                return {};
            point = point << 6 | (next & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return {};
        if (sizeof(wchar_t) == 2 && point >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(point);
        }
    }
    return wide;
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(WidePath(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}
