// The ini reader and writer against the platform's profile behaviour, and
// the native settings file built on them.
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

struct ReadCase {
    const char* text;
    const char* section;
    const char* key;
    int expected;  // with fallback -7
};

const ReadCase readCases[] = {
    {"[A]\nk=42\n", "A", "k", 42},
    {"[A]\nk=42A\n", "A", "k", 42},
    {"[A]\nk=B42\n", "A", "k", 0},  // a value that is there but not a number reads 0
    {"[A]\nk=4294967297\n", "A", "k", 1},
    {"[A]\nk=-12\n", "A", "k", -12},
    {"[A]\nk=  33  \n", "A", "k", 33},
    // 5
    {"[A]\nk=\n", "A", "k", -7},
    {"[A]\nk\n", "A", "k", -7},
    {"[A]\nk=\"15\"\n", "A", "k", 15},
    {"  [ a ]  \r\n  K = 9\r\n", "A", "k", 9},
    {"[A]\nk=1\n[A]\nk=2\n", "A", "k", 1},
    // 10
    {"[A]\n[B]\nk=3\n", "A", "k", -7},
    {"k=5\n[A]\n", "A", "k", -7},
    {"[A]\nk=6", "A", "k", 6},
    {"\x01\xffjunk\n[A]\nk=8\n\xfe=\xfd\n", "A", "k", 8},
    {"", "A", "k", -7},
    // 15
    {"[A]\nk=0x10\n", "A", "k", 16},
    {"[A\nk=8\n", "A", "k", -7},
    {"[a]\nk=5\n[A]\nk=6\n", "A", "k", 5},
};

TEST(IniFile, ReadsAsTheProfileCallsDo)
{
    for (const ReadCase& row : readCases)
        EXPECT_EQ(ReadProfileInt(row.text, row.section, row.key, -7), row.expected) << "text: " << row.text;
    constexpr char withNul[] = "\0\0junk\n[A]\nk=8\n";
    EXPECT_EQ(ReadProfileInt(std::string_view(withNul, sizeof(withNul) - 1), "A", "k", -7), 8)
        << "NUL bytes before the section";
}

struct WriteCase {
    const char* before;
    const char* after;  // after writing A/k=1
};

const WriteCase writeCases[] = {
    {"", "[A]\nk=1\n"},
    {"; mine\n[B]\nx=2\n", "; mine\n[B]\nx=2\n[A]\nk=1\n"},
    {"[A]\nk=5\nj=6\n", "[A]\nk=1\nj=6\n"},
    {"[A]\n  K = 5 \nj=6\n", "[A]\nk=1\nj=6\n"},
    {"[A]\nj=6\n\n[B]\nk=2\n", "[A]\nj=6\nk=1\n\n[B]\nk=2\n"},
    // 5
    {"[A]\r\nj=6\r\n", "[A]\r\nj=6\r\nk=1\r\n"},
    {"[B]\nx=2", "[B]\nx=2\n[A]\nk=1\n"},
    {"[A]\nj=6", "[A]\nj=6\nk=1\n"},
    {"[A]\nk=5\n[A]\nk=7\n", "[A]\nk=1\n[A]\nk=7\n"},
};

TEST(IniFile, WritesOnlyTheKeysLine)
{
    for (const WriteCase& row : writeCases) {
        const std::string after = WriteProfileString(row.before, "A", "k", "1");
        EXPECT_EQ(after, row.after) << "before: " << row.before;
        EXPECT_EQ(WriteProfileString(after, "A", "k", "1"), after) << "a second write changes nothing";
    }
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brimsettings.XXXXXX";
        home = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        path = home + "/brimwave/plugin.ini";
        settings = initialSettings;
    }
    void TearDown() override { std::system(("rm -rf " + home).c_str()); }

    std::string Contents() const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string home;
    std::string path;
};

TEST_F(SettingsFile, FirstSaveCreatesTheFileAndTheModulesKeys)
{
    EXPECT_EQ(DefaultSettingsPath(), path);
    EXPECT_TRUE(LoadSettingsFile(path, 1));
    EXPECT_EQ(settings.scales, initialSettings.scales) << "no file: nothing changes";
    settings.screen_x = -12;
    SaveSettingsFile(path, 1);
    SaveLastModule(path, 1);
    EXPECT_EQ(Contents(), "[Spheres]\nscreen_x=-12\nscreen_y=50\nscreen_w=640\nscreen_h=480\nvistype=1\n"
                          "fallspeed=77\nscales=500\nscalew=10000\ndetail=10\nlines=0\n[Brimwave]\nmodule=1\n");
    settings = initialSettings;
    LoadSettingsFile(path, 1);
    EXPECT_EQ(settings.screen_x, -12);
    EXPECT_EQ(LoadLastModule(path, 0), 1);

    // A box module neither reads nor writes the Spheres keys.
    settings.detail = 3;
    SaveSettingsFile(path, 0);
    EXPECT_EQ(Contents().find("detail=3"), std::string::npos);
}

TEST_F(SettingsFile, UnreadableFileIsNeverWrittenOver)
{
    // A folder where the file should be: it exists but cannot be read as text.
    ASSERT_EQ(mkdir((home + "/brimwave").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    settings.scales = 4321;
    EXPECT_FALSE(LoadSettingsFile(path, 0));
    SaveSettingsFile(path, 0);
    EXPECT_EQ(settings.scales, 4321);
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(LoadLastModule(path, 2), 2);
}

}  // namespace
