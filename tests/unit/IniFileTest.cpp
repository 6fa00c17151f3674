// The ini reader and writer against the platform's profile behaviour, and
// the native settings file built on them.
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"
#include "settings/Settings.h"
#include "tests/IniReadCases.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

TEST(IniFile, ReadsAsTheProfileCallsDo)
{
    for (const IniReadCase& row : iniReadCases)
        EXPECT_EQ(ReadProfileInt(row.text, row.section, row.key, row.fallback), row.expected)
            << "text: " << std::string(row.text);
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
