// The built installer, run silently as an administrator's script would run it,
// against fake players laid out in the test prefix: where it installs, what it
// refuses, how the command line may spell a folder, an upgrade over settings,
// a DLL it cannot replace, two players and their shortcut, and the
// uninstaller as its Add/Remove entry runs it.
// Arguments from ctest: the installer, brimhost.exe, fake_vis.dll, vis_brim.dll.
#include "WineTestSupport.h"
#include "version.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

constexpr char uninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char playerUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp";
constexpr char playerKey[] = "Software\\Winamp";
// Where earlier releases listed themselves, for the current user only.
constexpr char userEntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwave";
constexpr char uninstaller[] = "\\Brimwave-uninstall.exe";
// The plug-in folder whose Brimwave.exe the Start menu's shortcut runs.
constexpr char shortcutKey[] = "Software\\Brimwave";
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

// Started in the given folder, else in this program's current one.
DWORD RunProgram(std::string commandLine, const std::string& folder = "")
{
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
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

DWORD Install(const std::string& arguments = "", const std::string& folder = "")
{
    return RunProgram("\"" + Argument(1) + "\" /S" + arguments, folder);
}

// A command-line option with %s standing for the folder, %S for it in capitals.
std::string Spelled(std::string option, const std::string& folder)
{
    std::string capitals = folder;
    CharUpperA(&capitals[0]);
    for (const char* mark : {"%s", "%S"})
        for (size_t at = option.find(mark); at != std::string::npos; at = option.find(mark))
            option.replace(at, 2, mark[1] == 's' ? folder : capitals);
    return option;
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

// Add/Remove's entries for every user that are ours: their key names.
std::vector<std::string> Entries()
{
    std::vector<std::string> names;
    HKEY root = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, uninstallRoot, 0, KEY_READ, &root);
    char name[256];
    for (DWORD i = 0; root && RegEnumKeyA(root, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        if (std::string(name).rfind("Brimwave", 0) == 0)
            names.push_back(name);
    RegCloseKey(root);
    return names;
}

std::string RegistryText(HKEY root, const std::string& key, const char* name)
{
    char value[MAX_PATH * 2];
    DWORD size = sizeof(value);
    if (RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(absent)";
    return value;
}

// A value of the entry that removes the given plug-in folder.
std::string EntryText(const std::string& pluginFolder, const char* name)
{
    for (const std::string& entry : Entries()) {
        const std::string key = std::string(uninstallRoot) + "\\" + entry;
        if (RegistryText(HKEY_LOCAL_MACHINE, key, "InstallLocation") == pluginFolder)
            return RegistryText(HKEY_LOCAL_MACHINE, key, name);
    }
    return "(absent)";
}

// The uninstaller as a script runs it from the entry, waiting for its result.
DWORD Uninstall(const std::string& pluginFolder)
{
    return RunProgram(EntryText(pluginFolder, "QuietUninstallString"));
}

// Brimwave.exe's shortcut, in the Start menu of every user.
std::string StartMenuShortcut()
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, folder);
    return std::string(folder) + "\\Brimwave.lnk";
}

// What that shortcut starts and where, as Runs() says it; "" without one.
std::string Shortcut()
{
    std::string text;
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        char program[MAX_PATH] = "";
        char folder[MAX_PATH] = "";
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(Widen(StartMenuShortcut()).c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(program, MAX_PATH, nullptr, 0)) &&
                SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)))
                text = std::string(program) + " in " + folder;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return text;
}

// The shortcut's text for a plug-in folder's Brimwave.exe.
std::string Runs(const std::string& pluginFolder)
{
    return pluginFolder + "\\Brimwave.exe in " + pluginFolder;
}

// The uninstaller's own file goes once the program that ran it has ended.
bool GoesWithinHalfAMinute(const std::string& path)
{
    for (int tenths = 0; tenths < 300 && FileExists(path); ++tenths)
        Sleep(100);
    return !FileExists(path);
}

std::string AppData()
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
    return folder;
}

// The manifest Windows reads before it starts a program.
std::string Manifest(const std::string& program)
{
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), RT_MANIFEST);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                           resource ? SizeofResource(module, resource) : 0);
    FreeLibrary(module);
    return text;
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
    EXPECT_TRUE(FileExists(pluginFolder + "\\Brimwave.exe"));
    EXPECT_FALSE(FileExists(pluginFolder + "\\vis_brim.dll.new"));
    EXPECT_FALSE(FileExists(pluginFolder + "\\vis_brim.dll.old"));
    EXPECT_EQ(EntryText(pluginFolder, "UninstallString").find("\"" + pluginFolder + uninstaller + "\""), 0u);
    EXPECT_TRUE(FileExists(pluginFolder + uninstaller));
    EXPECT_EQ(EntryText(pluginFolder, "DisplayVersion"), BRIM_VERSION_TEXT);
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
        RegDeleteKeyA(HKEY_CURRENT_USER, userEntryKey);
        for (const std::string& entry : Entries())
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(uninstallRoot) + "\\" + entry).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, shortcutKey);
        DeleteFileA(StartMenuShortcut().c_str());
        RemoveTree(AppData() + "\\Winamp");
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
    // noFolderAtCommandLine: a file or nothing, with a player in the registry.
    enum Found { byUninstallString, byPlayerKey, byDefaultFolder, byCommandLine, nowhere, notAtCommandLine,
                 noFolderAtCommandLine };
    const struct {
        Found found;
        const char* option;        // names the folder (Spelled) on the command line, relative to the scratch folder
        const char* iniDir;        // paths.ini's inidir; null: winamp.ini beside winamp.exe
        const char* visDir;        // in winamp.ini; null: no winamp.ini
        DWORD exitCode;
        const char* pluginFolder;  // under the player's folder
    } rows[] = {
        {byUninstallString, nullptr, nullptr, nullptr, 0, "Plugins"},
        {byPlayerKey, nullptr, nullptr, "<player>\\Visuals\\", 0, "Visuals"},
        {byDefaultFolder, nullptr, nullptr, "Visuals", 0, "Visuals"},
        {byCommandLine, "/D=%s", nullptr, "<player>\\Missing", 0, "Plugins"},
        {nowhere, nullptr, nullptr, nullptr, exitNotPlayerFolder, nullptr},
        // 5
        {notAtCommandLine, "/D=%s", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        {byCommandLine, "\"/D=%s\"", nullptr, nullptr, 0, "Plugins"},
        {byCommandLine, "/D=\"%s\"", nullptr, nullptr, 0, "Plugins"},
        {notAtCommandLine, "\"/D=%s\"", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        {byPlayerKey, nullptr, "{26}\\Winamp", "Visuals", 0, "Visuals"},
        // 10
        {byPlayerKey, nullptr, "%APPDATA%\\Winamp", "<player>\\Visuals", 0, "Visuals"},
        {byPlayerKey, nullptr, nullptr, "\\brimwave installer test\\Winamp\\Visuals", 0, "Visuals"},
        {byPlayerKey, nullptr, nullptr, "<player>\\Visualisierung\xC3\xBC", 0, "Visualisierung\xFC"},
        {noFolderAtCommandLine, "/D=%s\\winamp.exe", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        {noFolderAtCommandLine, "/D=C:\\windows\\notepad.exe", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        // 15
        {noFolderAtCommandLine, "/D=", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        {noFolderAtCommandLine, "/D=\"\"", nullptr, nullptr, exitNotPlayerFolder, nullptr},
        // One spelling of the folder in the entry however the command line spells it.
        {byCommandLine, "/D=%s\\.", nullptr, nullptr, 0, "Plugins"},
        {byCommandLine, "/D=\\\\?\\%s", nullptr, nullptr, 0, "Plugins"},
        {byCommandLine, "/D=\"%s\\\\\"", nullptr, nullptr, 0, "Plugins"},
        // 20
        {byCommandLine, "/D=%S", nullptr, nullptr, 0, "Plugins"},
        {byCommandLine, "/D=Winamp", nullptr, nullptr, 0, "Plugins"},
        {byCommandLine, "\"/D=Winamp\\Visuals\\..\"", nullptr, nullptr, 0, "Plugins"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        ForgetEverything();
        const std::string folder = row.found == byDefaultFolder ? DefaultPlayerFolder() : player;
        if (row.found != nowhere)
            LayOutPlayer(folder);
        if (row.pluginFolder)
            CreateDirectoryA((folder + "\\" + row.pluginFolder).c_str(), nullptr);
        std::string iniFolder = folder;
        if (row.iniDir) {
            WritePrivateProfileStringA("Winamp", "inidir", row.iniDir, (folder + "\\paths.ini").c_str());
            iniFolder = AppData() + "\\Winamp";
            CreateDirectoryA(iniFolder.c_str(), nullptr);
        }
        if (row.visDir) {
            std::string visDir = row.visDir;
            if (visDir.rfind("<player>", 0) == 0)
                visDir.replace(0, 8, folder);
            WritePrivateProfileStringA("Winamp", "VisDir", visDir.c_str(), (iniFolder + "\\winamp.ini").c_str());
        }
        std::string arguments;
        if (row.found == byUninstallString)
            SetRegistryText(HKEY_LOCAL_MACHINE, playerUninstallKey, "UninstallString", "\"" + folder + "\\UninstWA.exe\"");
        if (row.found == byPlayerKey || row.found == notAtCommandLine || row.found == noFolderAtCommandLine)
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, folder);
        if (row.found == byCommandLine)
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, scratch);  // no player there
        if (row.option)
            arguments = " " + Spelled(row.option, row.found == notAtCommandLine ? folder + "\\Visuals" : folder);

        const DWORD exitCode = Install(arguments, scratch);
        EXPECT_EQ(exitCode, row.exitCode) << arguments;
        if (exitCode != row.exitCode)
            continue;
        if (row.pluginFolder) {
            ExpectInstalledIn(folder + "\\" + row.pluginFolder);
            continue;
        }
        EXPECT_TRUE(Entries().empty());
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
    EXPECT_TRUE(FileExists(StartMenuShortcut()));
    EXPECT_EQ(ReadFileText(plugins + "\\plugin.ini"), settings);
    EXPECT_EQ(RunProgram(host + "--list " + installed), 0u) << "the installed copy loads as a plug-in";

    EXPECT_EQ(Uninstall(plugins), 0u);
    for (const char* name : {"\\vis_brim.dll", "\\Brimwave-LICENSE.txt", "\\Brimwave.exe"})
        EXPECT_FALSE(FileExists(plugins + name)) << name;
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_TRUE(GoesWithinHalfAMinute(plugins + uninstaller));
    EXPECT_EQ(ReadFileText(plugins + "\\plugin.ini"), settings) << "settings are the user's";
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(FileExists(player + "\\winamp.exe"));
}

TEST_F(Installer, AsksForAnAdministratorAndListsEachCopyForEveryUserUntilItIsRemoved)
{
    // An earlier release listed the same folder for the current user only.
    SetRegistryText(HKEY_CURRENT_USER, userEntryKey, "InstallLocation", player + "\\Plugins");
    const std::string first = InstallForThePlayer();
    for (const std::string& program : {Argument(1), first + uninstaller})
        EXPECT_NE(Manifest(program).find("level=\"requireAdministrator\""), std::string::npos) << program;
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, userEntryKey, "InstallLocation"), "(absent)");
    EXPECT_EQ(Entries(), std::vector<std::string>{"Brimwave"});

    const std::string other = scratch + "\\Other Winamp";
    LayOutPlayer(other);
    ASSERT_EQ(Install(" /D=" + other), 0u);
    ExpectInstalledIn(first);
    ExpectInstalledIn(other + "\\Plugins");
    EXPECT_NE(EntryText(first, "DisplayName"), EntryText(other + "\\Plugins", "DisplayName"));

    EXPECT_EQ(Uninstall(other + "\\Plugins"), 0u);
    ExpectInstalledIn(first);
    EXPECT_EQ(Entries().size(), 1u);
    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(Entries().size(), 1u) << "an install over a listed one keeps its entry";
    EXPECT_EQ(Uninstall(first), 0u);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(Installer, ListsAFolderOnceHoweverTheCommandLineSpellsIt)
{
    const std::string plugins = InstallForThePlayer();
    for (const char* option : {"/D=%s\\.", "/D=\"%s\\\\\"", "/D=\\\\?\\%s", "/D=%S", "\"/D=Winamp\\Visuals\\..\""}) {
        SCOPED_TRACE(option);
        EXPECT_EQ(Install(" " + Spelled(option, player), scratch), 0u);
        EXPECT_EQ(Entries(), std::vector<std::string>{"Brimwave"});
        ExpectInstalledIn(plugins);
        EXPECT_EQ(Shortcut(), Runs(plugins));
    }

    // The entry and the shortcut's folder as an earlier release wrote them
    // for /D=<player>\.: the uninstaller still removes all, itself too.
    const std::string dotted = player + "\\.\\Plugins";
    const std::string entry = std::string(uninstallRoot) + "\\Brimwave";
    SetRegistryText(HKEY_LOCAL_MACHINE, entry.c_str(), "InstallLocation", dotted);
    SetRegistryText(HKEY_LOCAL_MACHINE, entry.c_str(), "QuietUninstallString",
                    "\"" + dotted + uninstaller + "\" /S _?=" + dotted);
    SetRegistryText(HKEY_LOCAL_MACHINE, shortcutKey, "Shortcut", dotted);
    EXPECT_EQ(Uninstall(dotted), 0u);
    EXPECT_FALSE(FileExists(plugins + "\\vis_brim.dll"));
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(GoesWithinHalfAMinute(plugins + uninstaller));
}

TEST_F(Installer, KeepsTheStartMenuShortcutWhileACopyRemains)
{
    const std::string first = InstallForThePlayer();
    const std::string other = scratch + "\\Other Winamp";
    const std::string second = other + "\\Plugins";
    LayOutPlayer(other);
    ASSERT_EQ(Install(" /D=" + other), 0u);
    EXPECT_EQ(Shortcut(), Runs(second)) << "the last install's";
    EXPECT_EQ(Uninstall(second), 0u);
    EXPECT_EQ(Shortcut(), Runs(first)) << "the copy that remains";

    ASSERT_EQ(Install(" /D=" + other), 0u);
    EXPECT_EQ(Uninstall(first), 0u);
    EXPECT_EQ(Shortcut(), Runs(second)) << "kept";
    EXPECT_EQ(Uninstall(second), 0u);
    EXPECT_FALSE(FileExists(StartMenuShortcut())) << "gone with the last copy";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, shortcutKey, "Shortcut"), "(absent)");
}

TEST_F(Installer, KeepsAnOldDllItCannotReplaceAndSaysWhy)
{
    enum Hold { loaded, openElsewhere, readOnly, newNameTaken };
    const struct {
        Hold hold;
        DWORD installExit;
        DWORD uninstallExit;
    } rows[] = {
        {loaded, exitDllInUse, exitDllInUse},
        {openElsewhere, exitDllInUse, exitDllInUse},
        {readOnly, 0, 0},  // replaced like any other
        {newNameTaken, exitCannotWrite, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        ForgetEverything();
        const std::string plugins = InstallForThePlayer();
        const std::string installed = plugins + "\\vis_brim.dll";
        // An older release, held as a running player (loaded), a virus scanner
        // (open), a careful user (read-only) or a stray folder would hold it.
        ASSERT_TRUE(CopyFileA(Argument(3).c_str(), installed.c_str(), FALSE));
        const std::string older = ReadFileText(installed);
        HMODULE module = row.hold == loaded ? LoadLibraryA(installed.c_str()) : nullptr;
        HANDLE file = row.hold == openElsewhere
                          ? CreateFileA(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
        if (row.hold == readOnly)
            SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_READONLY);
        if (row.hold == newNameTaken)
            CreateDirectoryA((installed + ".new").c_str(), nullptr);

        EXPECT_EQ(Install(), row.installExit);
        EXPECT_EQ(SameBytes(installed, older), row.installExit != 0) << "the old DLL stays as it was, or goes";
        EXPECT_EQ(FileExists(installed + ".new"), row.hold == newNameTaken) << "no half-done replacement left behind";
        EXPECT_FALSE(FileExists(installed + ".old"));
        EXPECT_EQ(Uninstall(plugins), row.uninstallExit);
        EXPECT_EQ(FileExists(installed), row.uninstallExit != 0);

        // Once nothing holds it, the same installer goes through.
        if (module)
            FreeLibrary(module);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA((installed + ".new").c_str());
        EXPECT_EQ(Install(), 0u);
        ExpectInstalledIn(plugins);
    }
}

}  // namespace
