// The built installer, run silently as an administrator's script would run it,
// against fake players laid out in the test prefix: where it installs, what it
// refuses, an upgrade over settings, a DLL in use, and the uninstaller.
// Arguments from ctest: the installer, brimhost.exe, fake_vis.dll, vis_brim.dll.
#include "WineTestSupport.h"
#include "version.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>

namespace {

constexpr char playerUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp";
constexpr char playerKey[] = "Software\\Winamp";
constexpr char entryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwave";
constexpr char uninstaller[] = "\\Brimwave-uninstall.exe";
const std::string scratch = "C:\\brimwave installer test";
const std::string player = scratch + "\\Winamp";

// The installer's exit codes besides 0.
constexpr DWORD exitNotPlayerFolder = 3;
constexpr DWORD exitDllInUse = 4;
constexpr DWORD exitCannotWrite = 5;

std::string Argument(int index)
{
    return index < __argc ? ToWindowsPath(__argv[index]) : "";
}

DWORD RunProgram(std::string commandLine)
{
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << commandLine << ": error " << GetLastError();
        return ~0u;
    }
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, ~0u);
        ADD_FAILURE() << commandLine << " did not end within two minutes";
    }
    DWORD exitCode = ~0u;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

DWORD Install(const std::string& arguments = "")
{
    return RunProgram("\"" + Argument(1) + "\" /S" + arguments);
}

// The uninstaller as its own first stage runs it: a copy outside the folder
// it cleans, so that it can delete itself and the caller can wait for it.
DWORD Uninstall(const std::string& folder)
{
    const std::string copy = scratch + "\\uninstall-copy.exe";
    EXPECT_TRUE(CopyFileA((folder + uninstaller).c_str(), copy.c_str(), FALSE)) << GetLastError();
    return RunProgram("\"" + copy + "\" /S _?=" + folder);
}

void RemoveTree(const std::string& folder)
{
    const std::string from = folder + '\0';  // a list of names, ended by a second NUL
    SHFILEOPSTRUCTA operation = {nullptr, FO_DELETE, from.c_str()};
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
}

void SetRegistryText(HKEY root, const char* key, const char* name, const std::string& value)
{
    ASSERT_EQ(RegSetKeyValueA(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)), 0);
}

std::string EntryText(const char* name)
{
    char value[MAX_PATH * 2];
    DWORD size = sizeof(value);
    if (RegGetValueA(HKEY_CURRENT_USER, entryKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(absent)";
    return value;
}

// Compared without printing a DLL's bytes into the failure message.
bool SameBytes(const std::string& path, const std::string& expected)
{
    return FileExists(path) && ReadFileText(path) == expected;
}

std::string DefaultPlayerFolder()
{
    char folder[MAX_PATH];
    GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
    return std::string(folder) + "\\Winamp";
}

// A folder holding winamp.exe (a program of ours stands in for it).
void LayOutPlayer(const std::string& folder)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Visuals").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(Argument(2).c_str(), (folder + "\\winamp.exe").c_str(), FALSE)) << GetLastError();
}

void ExpectInstalledIn(const std::string& pluginFolder)
{
    EXPECT_TRUE(SameBytes(pluginFolder + "\\vis_brim.dll", ReadFileText(PluginPath()))) << pluginFolder;
    EXPECT_TRUE(FileExists(pluginFolder + "\\Brimwave-LICENSE.txt"));
    EXPECT_FALSE(FileExists(pluginFolder + "\\vis_brim.dll.new"));
    EXPECT_EQ(EntryText("InstallLocation"), pluginFolder);
    EXPECT_EQ(EntryText("UninstallString"), "\"" + pluginFolder + uninstaller + "\"");
    EXPECT_TRUE(FileExists(pluginFolder + uninstaller));
    EXPECT_EQ(EntryText("DisplayVersion"), BRIM_VERSION_TEXT);
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(__argc, 5) << "installer, brimhost.exe, fake_vis.dll and vis_brim.dll expected";
        ForgetEverything();
    }

    void TearDown() override { ForgetEverything(); }

    // No player and no Brimwave anywhere the installer looks.
    static void ForgetEverything()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, playerUninstallKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, playerKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, entryKey);
        RemoveTree(scratch);
        RemoveTree(DefaultPlayerFolder());
        CreateDirectoryA(scratch.c_str(), nullptr);
    }

    // A player that records its folder for the user, with Brimwave installed; the plug-in folder.
    static std::string InstallForThePlayer()
    {
        LayOutPlayer(player);
        SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, player);
        EXPECT_EQ(Install(), 0u);
        return player + "\\Plugins";
    }
};

TEST_F(Installer, FindsThePlayerAndItsVisualizationFolderOrRefuses)
{
    enum Found { byUninstallString, byPlayerKey, byDefaultFolder, byCommandLine, nowhere, notAtCommandLine };
    const struct {
        Found found;
        const char* visDir;        // in winamp.ini; null: no winamp.ini
        DWORD exitCode;
        const char* pluginFolder;  // under the player's folder
    } rows[] = {
        {byUninstallString, nullptr, 0, "Plugins"},
        {byPlayerKey, "<player>\\Visuals\\", 0, "Visuals"},
        {byDefaultFolder, "Visuals", 0, "Visuals"},
        {byCommandLine, "<player>\\Missing", 0, "Plugins"},
        {nowhere, nullptr, exitNotPlayerFolder, nullptr},
        {notAtCommandLine, nullptr, exitNotPlayerFolder, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        ForgetEverything();
        const std::string folder = row.found == byDefaultFolder ? DefaultPlayerFolder() : player;
        if (row.found != nowhere)
            LayOutPlayer(folder);
        if (row.visDir) {
            std::string visDir = row.visDir;
            if (visDir.rfind("<player>", 0) == 0)
                visDir.replace(0, 8, folder);
            WritePrivateProfileStringA("Winamp", "VisDir", visDir.c_str(), (folder + "\\winamp.ini").c_str());
        }
        std::string arguments;
        if (row.found == byUninstallString)
            SetRegistryText(HKEY_LOCAL_MACHINE, playerUninstallKey, "UninstallString", "\"" + folder + "\\UninstWA.exe\"");
        if (row.found == byPlayerKey || row.found == notAtCommandLine)
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, folder);
        if (row.found == byCommandLine) {
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, scratch);  // no player there
            arguments = " /D=" + folder;
        }
        if (row.found == notAtCommandLine)
            arguments = " /D=" + folder + "\\Visuals";

        ASSERT_EQ(Install(arguments), row.exitCode);
        if (row.pluginFolder) {
            ExpectInstalledIn(folder + "\\" + row.pluginFolder);
            continue;
        }
        EXPECT_EQ(EntryText("InstallLocation"), "(absent)");
        EXPECT_FALSE(FileExists(DefaultPlayerFolder() + "\\Plugins"));
        EXPECT_FALSE(FileExists(player + "\\Plugins"));
        EXPECT_FALSE(FileExists(player + "\\Visuals\\Plugins"));
    }
}

TEST_F(Installer, UpgradeAndUninstallKeepTheSettingsTheHostWrote)
{
    const std::string plugins = InstallForThePlayer();
    const std::string installed = "\"" + plugins + "\\vis_brim.dll\"";
    const std::string host = "\"" + Argument(2) + "\" ";
    ASSERT_EQ(RunProgram(host + "--module 1 --frames 3 --no-sleep --size 160x120 " + installed), 0u);
    const std::string settings = ReadFileText(plugins + "\\plugin.ini");
    ASSERT_NE(settings.find("[Spheres]"), std::string::npos) << "the host's run saved settings";

    ASSERT_EQ(Install(), 0u) << "the same release again";
    ExpectInstalledIn(plugins);
    EXPECT_EQ(ReadFileText(plugins + "\\plugin.ini"), settings);
    EXPECT_EQ(RunProgram(host + "--list " + installed), 0u) << "the installed copy loads as a plug-in";

    EXPECT_EQ(Uninstall(plugins), 0u);
    for (const char* name : {"\\vis_brim.dll", "\\Brimwave-LICENSE.txt", uninstaller})
        EXPECT_FALSE(FileExists(plugins + name)) << name;
    EXPECT_EQ(ReadFileText(plugins + "\\plugin.ini"), settings) << "settings are the user's";
    EXPECT_EQ(EntryText("InstallLocation"), "(absent)");
    EXPECT_TRUE(FileExists(player + "\\winamp.exe"));
}

TEST_F(Installer, LeavesADllInUseIntactAndSaysSo)
{
    const std::string plugins = InstallForThePlayer();
    const std::string installed = plugins + "\\vis_brim.dll";
    // An older release, loaded by a running player: like Windows, wine then
    // refuses to delete or write the file.
    ASSERT_TRUE(CopyFileA(Argument(3).c_str(), installed.c_str(), FALSE));
    const std::string older = ReadFileText(installed);
    HMODULE loaded = LoadLibraryA(installed.c_str());
    ASSERT_NE(loaded, nullptr) << GetLastError();

    EXPECT_EQ(Install(), exitDllInUse);
    EXPECT_TRUE(SameBytes(installed, older)) << "the old DLL stays as it was";
    EXPECT_FALSE(FileExists(installed + ".new")) << "no half-done replacement left behind";
    EXPECT_EQ(Uninstall(plugins), exitDllInUse);
    EXPECT_TRUE(SameBytes(installed, older));

    // A folder where the new DLL cannot be written (its temporary name is
    // taken by a folder) is refused the same way.
    ASSERT_TRUE(CreateDirectoryA((installed + ".new").c_str(), nullptr));
    EXPECT_EQ(Install(), exitCannotWrite);
    EXPECT_TRUE(SameBytes(installed, older));
    RemoveDirectoryA((installed + ".new").c_str());

    // Once the player lets go, the same installer goes through.
    FreeLibrary(loaded);
    EXPECT_EQ(Install(), 0u);
    ExpectInstalledIn(plugins);
}

}  // namespace
