// The settings store against real plugin.ini files through the platform's
// profile calls. The test program stands in for the library: its own
// directory holds the plugin.ini that the store finds.
#include "WineTestSupport.h"

#include "plugin/PluginEntry.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Runs first in the process: the module index before any GetModule call.
TEST(ActiveModule, StartsAtZeroAndFollowsTheGetter)
{
    EXPECT_EQ(activeModule, 0);
    EXPECT_NE(GetModule(0), nullptr);
    EXPECT_NE(GetModule(1), nullptr);
    EXPECT_NE(GetModule(2), nullptr);
    EXPECT_EQ(activeModule, 2);
    for (int index : {3, -1, 1000}) {
        EXPECT_EQ(GetModule(index), nullptr);
        EXPECT_EQ(activeModule, 2) << "index " << index << " leaves it alone";
    }
    EXPECT_STREQ(GetModule(1)->description, "Spheres");
    EXPECT_EQ(activeModule, 1);
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        iniPath = ProgramDirectory() + "plugin.ini";
        DeleteFileA(iniPath.c_str());
        settings = initialSettings;
        SelectModule(0);
    }

    void TearDown() override { DeleteFileA(iniPath.c_str()); }

    // A copy of a real record whose instance is this program.
    VisModule& SelectModule(int index)
    {
        record = *GetModule(index);
        record.instance = GetModuleHandleA(nullptr);
        active = index;
        return record;
    }

    VisModule record;
    int active = 0;
    std::string iniPath;
};

constexpr char rectanglesDefaults[] =
    "[Rectangles]\r\n"
    "screen_x=50\r\n"
    "screen_y=50\r\n"
    "screen_w=640\r\n"
    "screen_h=480\r\n"
    "vistype=1\r\n"
    "fallspeed=77\r\n"
    "scales=500\r\n"
    "scalew=10000\r\n";

TEST_F(SettingsStore, PathIsPluginIniBesideTheLibrary)
{
    wchar_t path[iniPathSize];
    ASSERT_TRUE(BuildIniPath(&record, path));
    EXPECT_EQ(std::wstring(path), Widen(iniPath));
}

TEST_F(SettingsStore, MissingFileOrSectionLeavesRecordAndSaveCreatesIt)
{
    settings.scales = 123;
    LoadSettings(&record, active);
    EXPECT_EQ(settings.scales, 123);
    EXPECT_EQ(settings.screen_w, 640);

    settings.scales = 500;
    SaveSettings(&record, active);
    EXPECT_EQ(ReadFileText(iniPath), rectanglesDefaults);

    // A file holding only some other section.
    WriteFileText(iniPath, "[Other]\r\nscales=7\r\n");
    LoadSettings(&record, active);
    EXPECT_EQ(settings.scales, 500);
}

TEST_F(SettingsStore, LoadsEveryKeyOfTheSection)
{
    WriteFileText(iniPath,
                  "[Rectangles]\r\nscreen_x=-12\r\nscreen_y=7\r\nscreen_w=800\r\nscreen_h=600\r\n"
                  "vistype=0\r\nfallspeed=5000\r\nscales=0\r\nscalew=3\r\n");
    LoadSettings(&record, active);
    EXPECT_EQ(settings.screen_x, -12);
    EXPECT_EQ(settings.screen_y, 7);
    EXPECT_EQ(settings.screen_w, 800);
    EXPECT_EQ(settings.screen_h, 600);
    EXPECT_EQ(settings.vistype, 0);
    EXPECT_EQ(settings.fallspeed, 5000) << "no bounds beyond the dialog's";
    EXPECT_EQ(settings.scales, 0);
    EXPECT_EQ(settings.scalew, 3);
    EXPECT_EQ(settings.fallStep, initialSettings.fallStep) << "derived, never stored";
}

TEST_F(SettingsStore, SectionsShareOneRecord)
{
    WriteFileText(iniPath, "[Rectangles]\r\nscales=1000\r\n[Spheres]\r\n");
    LoadSettings(&record, active);
    EXPECT_EQ(settings.scales, 1000);
    VisModule& spheres = SelectModule(1);
    LoadSettings(&spheres, active);
    EXPECT_EQ(settings.scales, 1000);
    SaveSettings(&spheres, active);
    EXPECT_EQ(GetPrivateProfileIntA("Spheres", "scales", -1, iniPath.c_str()), 1000);
}

TEST_F(SettingsStore, SpheresKeysOnlyWhileSpheresIsActive)
{
    const char* text = "[Rectangles]\r\ndetail=25\r\nlines=1\r\n[Rectangle/Texture(prelim)]\r\ndetail=26\r\nlines=1\r\n";
    for (int index : {0, 2}) {
        SCOPED_TRACE(index);
        WriteFileText(iniPath, text);
        settings = initialSettings;
        VisModule& module = SelectModule(index);
        LoadSettings(&module, index);
        EXPECT_EQ(settings.detail, 10);
        EXPECT_EQ(settings.lines, 0);
        settings.detail = 3;
        SaveSettings(&module, index);
        EXPECT_EQ(GetPrivateProfileIntA(module.description, "detail", -1, iniPath.c_str()), index == 0 ? 25 : 26)
            << "a box module's save leaves the key as it was";
    }

    // The Spheres module through the Rectangles record: all ten keys, in that section.
    WriteFileText(iniPath, "");
    settings = initialSettings;
    VisModule rectangles = SelectModule(0);
    settings.detail = 12;
    settings.lines = 1;
    SaveSettings(&rectangles, 1);
    EXPECT_EQ(ReadFileText(iniPath), std::string(rectanglesDefaults) + "detail=12\r\nlines=1\r\n");
    settings = initialSettings;
    LoadSettings(&rectangles, 1);
    EXPECT_EQ(settings.detail, 12);
    EXPECT_EQ(settings.lines, 1);
}

TEST_F(SettingsStore, SaveKeepsOtherSectionsAndUnknownKeys)
{
    const std::string before =
        "; notes kept by the user, caf\xE9\r\n"  // an ANSI byte, kept as it is
        "[Other]\r\n"
        "scales=7\r\n"
        "[Rectangles]\r\n"
        "favourite=blue\r\n"
        "scales=9\r\n";
    WriteFileText(iniPath, before);
    LoadSettings(&record, active);
    settings.screen_x = -12;
    SaveSettings(&record, active);
    const std::string after = ReadFileText(iniPath);
    EXPECT_EQ(after,
              "; notes kept by the user, caf\xE9\r\n"
              "[Other]\r\n"
              "scales=7\r\n"
              "[Rectangles]\r\n"
              "favourite=blue\r\n"
              "scales=9\r\n"
              "screen_x=-12\r\n"
              "screen_y=50\r\n"
              "screen_w=640\r\n"
              "screen_h=480\r\n"
              "vistype=1\r\n"
              "fallspeed=77\r\n"
              "scalew=10000\r\n");
    SaveSettings(&record, active);
    EXPECT_EQ(ReadFileText(iniPath), after) << "a second save changes nothing";
}

TEST_F(SettingsStore, ReadsDamagedValuesAsTheProfileCallsDo)
{
    WriteFileText(iniPath,
                  "[Rectangles]\r\nscreen_x=42A\r\nscreen_y=B42\r\nscreen_w=4294967297\r\n"
                  "screen_h=\r\nvistype=-1\r\nfallspeed=  33\r\n");
    LoadSettings(&record, active);
    EXPECT_EQ(settings.screen_x, 42);
    EXPECT_EQ(settings.screen_y, 0) << "not the fallback";
    EXPECT_EQ(settings.screen_w, 1) << "wraps at 32 bits";
    EXPECT_EQ(settings.vistype, -1);
    EXPECT_EQ(settings.fallspeed, 33);
    SaveSettings(&record, active);
    EXPECT_EQ(GetPrivateProfileIntA("Rectangles", "screen_w", -5, iniPath.c_str()), 1);
}

// A library whose directory leaves no room for "plugin.ini" in 260 wide
// characters must neither overrun the path nor fall back to some other file.
// The directories are named with characters outside every ANSI code page,
// several bytes each in any multi-byte encoding: the limit counts characters.
class SettingsStoreDeepPath : public SettingsStore {
protected:
    static constexpr wchar_t snow = L'\u96EA';  // CJK "snow"
    static constexpr wchar_t thai = L'\u0E01';  // Thai "ko kai"

    // Creates <program dir>deep\<...> with a directory part (closing backslash
    // included) of exactly `length` characters and copies the plug-in into it.
    std::wstring PrepareLibraryDirectory(std::size_t length)
    {
        std::wstring directory = Widen(ProgramDirectory()) + L"deep\\";
        CreateDirectoryW(directory.c_str(), nullptr);
        while (directory.size() < length) {
            const std::size_t room = length - directory.size();
            std::size_t part = room > 60 ? 50 : room - 1;
            if (room > 60 && room - 51 < 2)
                part = 40;
            directory += std::wstring(part - 1, snow) + thai + L"\\";
            EXPECT_TRUE(CreateDirectoryW(directory.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
                << directory.size() << " error " << GetLastError();
        }
        EXPECT_EQ(directory.size(), length);
        const std::wstring library = directory + L"vis_brim.dll";
        EXPECT_TRUE(CopyFileW(Widen(PluginPath()).c_str(), library.c_str(), FALSE)) << GetLastError();
        return directory;
    }

    // The library's own path is longer than MAX_PATH, so it is loaded by its
    // extended-length name.
    static HMODULE LoadCopy(const std::wstring& directory)
    {
        return LoadLibraryExW((L"\\\\?\\" + directory + L"vis_brim.dll").c_str(), nullptr,
                              DONT_RESOLVE_DLL_REFERENCES);
    }

    // The record speaks for a copy of the library in a directory whose path
    // is `length` characters long; freed when the test ends.
    void UseCopy(int length)
    {
        directory = PrepareLibraryDirectory(length);
        copy = LoadCopy(directory);
        ASSERT_NE(copy, nullptr) << GetLastError();
        record.instance = copy;
    }

    void TearDown() override
    {
        if (copy)
            FreeLibrary(copy);
        SettingsStore::TearDown();
    }

    std::wstring directory;
    HMODULE copy = nullptr;
    wchar_t path[iniPathSize] = {};

    std::string windowsIni()
    {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\plugin.ini";
    }
};

TEST_F(SettingsStoreDeepPath, LongestDirectoryThatFitsStillWorks)
{
    ASSERT_NO_FATAL_FAILURE(UseCopy(249));
    ASSERT_TRUE(BuildIniPath(&record, path));
    const std::wstring ini = directory + L"plugin.ini";
    EXPECT_EQ(std::wstring(path), ini);
    settings.scales = 4321;
    SaveSettings(&record, active);
    EXPECT_EQ(GetPrivateProfileIntW(L"Rectangles", L"scales", -1, ini.c_str()), 4321);
    settings.scales = 1;
    LoadSettings(&record, active);
    EXPECT_EQ(settings.scales, 4321);
    DeleteFileW(ini.c_str());
}

TEST_F(SettingsStoreDeepPath, DirectoryTooLongLoadsAndSavesNothing)
{
    ASSERT_NO_FATAL_FAILURE(UseCopy(250));
    EXPECT_FALSE(BuildIniPath(&record, path));
    EXPECT_STREQ(path, L"");

    // Files a truncated path could have led to.
    const std::wstring parent = directory.substr(0, directory.rfind(L'\\', directory.size() - 2) + 1);
    WriteFileText(parent + L"plugin.ini", "[Rectangles]\r\nscales=99\r\n");
    WriteFileText(iniPath, "[Rectangles]\r\nscales=98\r\n");
    settings.scales = 4321;
    LoadSettings(&record, active);
    EXPECT_EQ(settings.scales, 4321);
    SaveSettings(&record, active);
    EXPECT_EQ(GetFileAttributesW((directory + L"plugin.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(FileExists(windowsIni()));
    EXPECT_EQ(ReadFileText(parent + L"plugin.ini"), "[Rectangles]\r\nscales=99\r\n");
    EXPECT_EQ(ReadFileText(iniPath), "[Rectangles]\r\nscales=98\r\n");
    DeleteFileW((parent + L"plugin.ini").c_str());
}

TEST_F(SettingsStoreDeepPath, UnknownInstanceLoadsAndSavesNothing)
{
    record.instance = reinterpret_cast<HINSTANCE>(0x1234);
    settings.scales = 4321;
    LoadSettings(&record, active);
    SaveSettings(&record, active);
    EXPECT_EQ(settings.scales, 4321);
    EXPECT_FALSE(FileExists(windowsIni()));
}

}  // namespace
