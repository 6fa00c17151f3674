// The ini reader and writer against the platform's profile behaviour, and
// the native settings file built on them.
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"
#include "settings/Settings.h"
#include "tests/IniReadCases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

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
    // A BOM stays first and hides nothing.
    {"\xEF\xBB\xBF[A]\nk=5\n", "\xEF\xBB\xBF[A]\nk=1\n"},
    // 10
    {"\xEF\xBB\xBF", "\xEF\xBB\xBF[A]\nk=1\n"},
    {"\xEF\xBB\xBF[B]\r\nx=2\r\n", "\xEF\xBB\xBF[B]\r\nx=2\r\n[A]\r\nk=1\r\n"},
};

TEST(IniFile, WritesOnlyTheKeysLine)
{
    for (const WriteCase& row : writeCases) {
        const std::string after = WriteProfileString(row.before, "A", "k", "1");
        EXPECT_EQ(after, row.after) << "before: " << row.before;
        EXPECT_EQ(WriteProfileString(after, "A", "k", "1"), after) << "a second write changes nothing";
        EXPECT_EQ(ReadProfileInt(after, "A", "k", 0), 1) << "after: " << after;
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

    std::string Contents() const { return Contents(path); }
    std::string Contents(const std::string& file) const
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void Write(const std::string& file, const std::string& text) const
    {
        std::ofstream(file, std::ios::binary) << text;
    }

    struct stat Status(const std::string& file) const
    {
        struct stat status = {};
        EXPECT_EQ(lstat(file.c_str(), &status), 0) << file;
        return status;
    }

    // The folder's entries, sorted, each followed by a space.
    static std::string Names(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string joined;
        for (const std::string& name : names)
            joined += name + " ";
        return joined;
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

// Made in the test's folder as `file`: anything a settings file must not be.
struct RefusedCase {
    const char* what;
    void (*make)(const std::string& file);
    const char* reason;
};

void MakeText(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

const RefusedCase refusedCases[] = {
    {"a device", [](const std::string& f) { ASSERT_EQ(mknod(f.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); },
     "it is not a regular file"},
    {"a link to a device", [](const std::string& f) { ASSERT_EQ(symlink("/dev/null", f.c_str()), 0); },
     "it is not a regular file"},
    {"a folder", [](const std::string& f) { ASSERT_EQ(mkdir(f.c_str(), 0755), 0); }, "it is not a regular file"},
    {"a socket",
     [](const std::string& f) {
         sockaddr_un address = {};
         address.sun_family = AF_UNIX;
         f.copy(address.sun_path, sizeof(address.sun_path) - 1);
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
         close(fd);
     },
     "it is not a regular file"},
    {"over 1 MiB", [](const std::string& f) { MakeText(f, "[Rectangles]\n" + std::string(1 << 20, ';')); },
     "it is too large to be a settings file (over 1 MiB)"},
    {"NUL bytes", [](const std::string& f) { MakeText(f, std::string("[Rectangles]\nscales=9\n\0\x01", 24)); },
     "it is not text (it has NUL bytes or is not UTF-8)"},
    {"Latin-1", [](const std::string& f) { MakeText(f, "; caf\xE9\n[Rectangles]\nscales=9\n"); },
     "it is not text (it has NUL bytes or is not UTF-8)"},
    {"an overlong slash", [](const std::string& f) { MakeText(f, "; \xC0\xAF\n"); },
     "it is not text (it has NUL bytes or is not UTF-8)"},
    {"a surrogate", [](const std::string& f) { MakeText(f, "; \xED\xA0\x80\n"); },
     "it is not text (it has NUL bytes or is not UTF-8)"},
    {"a cut-off character", [](const std::string& f) { MakeText(f, "; \xE2\x98"); },
     "it is not text (it has NUL bytes or is not UTF-8)"},
};

TEST_F(SettingsFile, RefusesWhatIsNoSettingsFileAndLeavesItAlone)
{
    for (const RefusedCase& row : refusedCases) {
        const std::string file = home + "/file";
        row.make(file);
        const struct stat before = Status(file);
        std::ifstream in(file, std::ios::binary);
        const std::string bytes = S_ISREG(before.st_mode) ? std::string(std::istreambuf_iterator<char>(in), {}) : "";
        std::string message;
        EXPECT_EQ(CheckSettingsFile(file, message), SettingsUse::Refused) << row.what;
        EXPECT_EQ(message, "cannot use '" + file + "' as the settings file: " + row.reason) << row.what;
        settings.scales = 4321;
        EXPECT_FALSE(LoadSettingsFile(file, 0)) << row.what;
        EXPECT_FALSE(SaveSettingsFile(file, 0)) << row.what;
        EXPECT_FALSE(SaveLastModule(file, 0)) << row.what;
        EXPECT_EQ(LoadLastModule(file, 2), 2) << row.what;
        EXPECT_EQ(settings.scales, 4321) << row.what;
        const struct stat after = Status(file);
        EXPECT_EQ(after.st_mode, before.st_mode) << row.what;
        EXPECT_EQ(after.st_ino, before.st_ino) << row.what;
        if (S_ISREG(before.st_mode))
            EXPECT_EQ(Contents(file), bytes) << row.what;
        std::system(("rm -rf '" + file + "'").c_str());
    }
    std::string message;
    EXPECT_EQ(CheckSettingsFile(home + "/none/plugin.ini", message), SettingsUse::Refused);
    EXPECT_EQ(message, "cannot use '" + home + "/none/plugin.ini' as the settings file: its folder does not exist");
    EXPECT_FALSE(SaveSettingsFile(home + "/none/plugin.ini", 0));
    EXPECT_NE(access((home + "/none").c_str(), F_OK), 0) << "a --settings file's folder is not made";
}

TEST_F(SettingsFile, TakesUtf8TextUpTo1MiBWithABom)
{
    ASSERT_EQ(mkdir((home + "/brimwave").c_str(), 0755), 0);
    const std::string bom = "\xEF\xBB\xBF";
    const std::string head = bom + "[Rectangles]\r\nscales=9\r\n; caf\xC3\xA9 \xE2\x98\x95 \xF0\x9D\x84\x9E\r\n";
    Write(path, head + std::string((1 << 20) - head.size() - 2, ';') + "\r\n");
    std::string message;
    EXPECT_EQ(CheckSettingsFile(path, message), SettingsUse::ReadWrite) << message;
    EXPECT_TRUE(LoadSettingsFile(path, 0));
    EXPECT_EQ(settings.scales, 9) << "the first section, behind the BOM, is read";

    Write(path, head);
    EXPECT_TRUE(SaveSettingsFile(path, 0));
    const std::string after = Contents();
    EXPECT_EQ(after.rfind(head, 0), 0u) << "the BOM and the section's head stay";
    EXPECT_EQ(after.find("[Rectangles]", head.size()), std::string::npos) << "no second section";
    EXPECT_NE(after.find("\r\nscalew=10000\r\n"), std::string::npos) << "the file's line ending";
}

TEST_F(SettingsFile, SavingKeepsModeOwnerAndLinks)
{
    // plugin.ini a relative link into a dotfiles folder, its target private
    // and another user's.
    ASSERT_EQ(mkdir((home + "/brimwave").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((home + "/dotfiles").c_str(), 0755), 0);
    const std::string target = home + "/dotfiles/plugin.ini";
    Write(target, "[Rectangles]\nscales=9\n");
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(chown(target.c_str(), 12345, 12346), 0);
    ASSERT_EQ(symlink("../dotfiles/plugin.ini", path.c_str()), 0);

    settings.scales = 77;
    EXPECT_TRUE(SaveSettingsFile(path, 0));
    EXPECT_TRUE(SaveLastModule(path, 0));
    EXPECT_TRUE(S_ISLNK(Status(path).st_mode)) << "the link stays a link";
    char link[256] = {};
    EXPECT_EQ(std::string(link, readlink(path.c_str(), link, sizeof(link))), "../dotfiles/plugin.ini");
    const struct stat after = Status(target);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(after.st_uid, 12345u);
    EXPECT_EQ(after.st_gid, 12346u);
    EXPECT_EQ(Contents(target).rfind("[Rectangles]\nscales=77\n", 0), 0u);
    EXPECT_NE(Contents(target).find("[Brimwave]\nmodule=0\n"), std::string::npos);
    EXPECT_EQ(Names(home + "/dotfiles") + Names(home + "/brimwave"), "plugin.ini plugin.ini ")
        << "no temporary file left";

    // A link whose target is still to be made: the save makes the target.
    ASSERT_EQ(unlink(target.c_str()), 0);
    EXPECT_TRUE(SaveSettingsFile(path, 0));
    EXPECT_TRUE(S_ISLNK(Status(path).st_mode));
    EXPECT_TRUE(S_ISREG(Status(target).st_mode));
}

TEST_F(SettingsFile, ReadOnlyFileIsReadButNeverSaved)
{
    ASSERT_EQ(mkdir((home + "/brimwave").c_str(), 0755), 0);
    const std::string text = "[Rectangles]\nscales=9\n";
    Write(path, text);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::string message;
    EXPECT_EQ(CheckSettingsFile(path, message), SettingsUse::ReadOnly);
    EXPECT_EQ(message, "'" + path + "' is read-only: settings are not saved");
    EXPECT_TRUE(LoadSettingsFile(path, 0));
    EXPECT_EQ(settings.scales, 9);
    settings.scales = 77;
    EXPECT_FALSE(SaveSettingsFile(path, 0));
    EXPECT_FALSE(SaveLastModule(path, 0));
    EXPECT_EQ(Contents(), text);
    EXPECT_EQ(Status(path).st_mode & 07777, 0444u);
}

}  // namespace
