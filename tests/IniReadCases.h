// Settings-file texts and the integer that GetPrivateProfileIntA reads from
// them: the native reader's test compares ReadProfileInt with these, and the
// wine test checks them against the real call.
#pragma once

#include <string_view>

struct IniReadCase {
    std::string_view text;  // the whole file
    const char* section;
    const char* key;
    int fallback;
    int expected;
};

inline constexpr IniReadCase iniReadCases[] = {
    {"[A]\nk=42\n", "A", "k", -7, 42},
    {"[A]\nk=42A\n", "A", "k", -7, 42},
    {"[A]\nk=B42\n", "A", "k", -7, 0},  // a value that is there but not a number reads 0
    {"[A]\nk=4294967297\n", "A", "k", -7, 1},
    {"[A]\nk=-12\n", "A", "k", -7, -12},
    // 5
    {"[A]\nk=  33  \n", "A", "k", -7, 33},
    {"[A]\nk=\n", "A", "k", -7, -7},
    {"[A]\nk\n", "A", "k", -7, -7},
    {"[A]\nk=\"15\"\n", "A", "k", -7, 15},
    {"  [ a ]  \r\n  K = 9\r\n", "A", "k", -7, 9},
    // 10
    {"[A]\nk=1\n[A]\nk=2\n", "A", "k", -7, 1},
    {"[A]\n[B]\nk=3\n", "A", "k", -7, -7},
    {"k=5\n[A]\n", "A", "k", -7, -7},
    {"[A]\nk=6", "A", "k", -7, 6},
    {"\x01\xffjunk\n[A]\nk=8\n\xfe=\xfd\n", "A", "k", -7, 8},
    // 15
    {"", "A", "k", -7, -7},
    {"[A]\nk=0x10\n", "A", "k", -7, 16},
    {"[A\nk=8\n", "A", "k", -7, -7},
    {"[a]\nk=5\n[A]\nk=6\n", "A", "k", -7, 5},
    {std::string_view("\0\0junk\n[A]\nk=8\n", 15), "A", "k", -7, 8},  // NUL bytes before the section
    // 20
    {"[A]\nk=0o17\n", "A", "k", -7, 15},
    {"[A]\nk=0b101\n", "A", "k", -7, 5},
    {"[A]\nk=-0x10\n", "A", "k", 3, -16},
    {"[B]\nk=4\n", "A", "k", 3, 3},
};
