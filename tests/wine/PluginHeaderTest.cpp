// Loads the built plug-in the way the player does and reads its records
// through raw offsets, never through our own declarations; reads its version
// resource as a file's properties and installers do.
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include "version.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using HeaderGetter = void* (*)();
using Getter = void* (*)(int);

template <typename T>
T At(const void* record, int offset)
{
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof(T));
    return value;
}

class PluginHeader : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library = LoadLibraryA(PluginPath().c_str());
        ASSERT_NE(library, nullptr) << "LoadLibraryA(" << PluginPath() << ") error " << GetLastError();
        getHeader = reinterpret_cast<HeaderGetter>(GetProcAddress(library, "winampVisGetHeader"));
        ASSERT_NE(getHeader, nullptr);
    }

    static void TearDownTestSuite() { FreeLibrary(library); }

    // One of the loaded image's data directories (exports, imports, ...).
    static const IMAGE_DATA_DIRECTORY& Directory(int entry)
    {
        const auto* base = reinterpret_cast<const unsigned char*>(library);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
        return nt->OptionalHeader.DataDirectory[entry];
    }

    static HMODULE library;
    static HeaderGetter getHeader;
};

HMODULE PluginHeader::library = nullptr;
HeaderGetter PluginHeader::getHeader = nullptr;

TEST_F(PluginHeader, HeaderIsStaticAndVersioned)
{
    void* header = getHeader();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(getHeader(), header) << "same address on every call";
    EXPECT_EQ(At<std::int32_t>(header, 0), 0x101);
    EXPECT_STREQ(At<const char*>(header, 4), "Brimwave (OpenGL) v0.6");
    EXPECT_NE(At<Getter>(header, 8), nullptr);
}

TEST_F(PluginHeader, GetterHandsOutThreeRecordsWithTheirStaticValues)
{
    Getter getModule = At<Getter>(getHeader(), 8);
    const char* const names[] = {"Rectangles", "Spheres", "Rectangle/Texture(prelim)"};
    void* records[3];
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(names[index]);
        void* record = records[index] = getModule(index);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(getModule(index), record) << "the record is static";
        EXPECT_STREQ(At<const char*>(record, 0), names[index]);
        const std::int32_t expectedInts[] = {0, 0, 0, 0, 25, 25, 2, 2};  // offsets 4..32
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(At<std::int32_t>(record, 4 + 4 * i), expectedInts[i]) << "offset " << 4 + 4 * i;
        const auto* bytes = static_cast<const unsigned char*>(record);
        int nonZeroSamples = 0;
        for (int i = 36; i < 2340; ++i)
            nonZeroSamples += bytes[i] != 0;
        EXPECT_EQ(nonZeroSamples, 0) << "spectrum and waveform bytes start at zero";
        for (int offset = 2340; offset <= 2352; offset += 4)
            EXPECT_NE(At<void*>(record, offset), nullptr) << "entry at " << offset;
        EXPECT_EQ(At<void*>(record, 2356), nullptr) << "user data";
    }
    // One Config, Init and Quit for all; a Render entry of their own.
    for (int offset : {2340, 2344, 2352}) {
        EXPECT_EQ(At<void*>(records[0], offset), At<void*>(records[1], offset));
        EXPECT_EQ(At<void*>(records[0], offset), At<void*>(records[2], offset));
    }
    EXPECT_NE(At<void*>(records[0], 2348), At<void*>(records[1], 2348));
    EXPECT_NE(At<void*>(records[1], 2348), At<void*>(records[2], 2348));
    EXPECT_NE(At<void*>(records[0], 2348), At<void*>(records[2], 2348));
    // Records do not overlap.
    EXPECT_GE(static_cast<char*>(records[1]) - static_cast<char*>(records[0]), 2360);
}

TEST_F(PluginHeader, GetterRefusesOtherIndexes)
{
    Getter getModule = At<Getter>(getHeader(), 8);
    for (int index : {3, -1, 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(getModule(index), nullptr) << index;
}

TEST_F(PluginHeader, ExportTableNamesOneFunctionAndTheLibrary)
{
    const auto* base = reinterpret_cast<const unsigned char*>(library);
    const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "vis_brim.dll");
    ASSERT_EQ(exports->NumberOfNames, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "winampVisGetHeader");
}

TEST_F(PluginHeader, ImportsOnlySystemLibraries)
{
    const auto* base = reinterpret_cast<const unsigned char*>(library);
    const IMAGE_DATA_DIRECTORY& directory = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(directory.VirtualAddress, 0u);
    const char* const allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "opengl32.dll",
                                   "glu32.dll", "comctl32.dll", "msvcrt.dll", "advapi32.dll"};
    for (const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        const char* name = reinterpret_cast<const char*>(base + import->Name);
        bool known = false;
        for (const char* system : allowed)
            known = known || lstrcmpiA(name, system) == 0;
        EXPECT_TRUE(known) << "imports " << name;
    }
}

TEST_F(PluginHeader, VersionResourceNamesTheBuildsRelease)
{
    const DWORD size = GetFileVersionInfoSizeA(PluginPath().c_str(), nullptr);
    ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(PluginPath().c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    constexpr WORD version[] = {BRIM_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(version[1], version[0])));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(version[3], version[2])));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    // The strings, in the language and code page that the resource declares.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    char table[32];
    std::snprintf(table, sizeof(table), "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    const char* const strings[][2] = {
        {"ProductName", "Brimwave"},         {"OriginalFilename", "vis_brim.dll"},
        {"FileVersion", BRIM_VERSION_TEXT},  {"ProductVersion", BRIM_VERSION_TEXT},
        {"LegalCopyright", BRIM_COPYRIGHT},  {"FileDescription", "Brimwave OpenGL visualization plug-in for Winamp"},
    };
    for (const auto& string : strings) {
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), (table + std::string(string[0])).c_str(),
                                   reinterpret_cast<void**>(&value), &length)) << string[0];
        EXPECT_STREQ(value, string[1]);
    }
    // What the player shows names the same release.
    EXPECT_STREQ(At<const char*>(getHeader(), 4), "Brimwave (OpenGL) v" BRIM_RELEASE_TEXT);
}

}  // namespace
