// The built installer, run silently as an administrator's script would run it,
// against fake players laid out in the test prefix: where it installs, what it
// refuses, an upgrade over settings, a DLL in use, and the uninstaller.
#include "WineTestSupport.h"
#include "version.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>

namespace {

std::string setupPath;  // the built brimwave-<release>-setup.exe
std::string hostPath;
std::string fakePath;   // a DLL of our own that stands for an older Brimwave

constexpr char playerUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Winamp";
constexpr char playerKey[] = "Software\\Winamp";
constexpr char entryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwave";
constexpr char uninstallerName[] = "Brimwave-uninstall.exe";
constexpr char licenceName[] = "Brimwave-LICENSE.txt";

// The installer's documented exit codes besides 0.
constexpr DWORD exitNotPlayerFolder = 3;
constexpr DWORD exitDllInUse = 4;
constexpr DWORD exitCannotWrite = 5;

struct ProgramRun {
    DWORD exitCode = 0;
    std::string out;
};

std::string Scratch()
{
    return "C:\\brimwave installer test";
}

ProgramRun RunProgram(std::string commandLine)
{
    ProgramRun run;
    const std::string outPath = Scratch() + "\\out.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    const BOOL started =
        CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    EXPECT_TRUE(started) << commandLine << ": error " << GetLastError();
    if (!started)
        return {~0u, ""};
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, ~0u);
        ADD_FAILURE() << commandLine << " did not end within two minutes";
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.out = ReadFileText(outPath);
    return run;
}

DWORD Install(const std::string& arguments = "")
{
    return RunProgram("\"" + setupPath + "\" /S" + arguments).exitCode;
}

// The uninstaller as its first stage runs it: a copy outside the folder it
// cleans, so that it can delete itself and the caller can wait for the end.
DWORD Uninstall(const std::string& folder)
{
    const std::string copy = Scratch() + "\\uninstall-copy.exe";
    EXPECT_TRUE(CopyFileA((folder + "\\" + uninstallerName).c_str(), copy.c_str(), FALSE)) << GetLastError();
    const DWORD exitCode = RunProgram("\"" + copy + "\" /S _?=" + folder).exitCode;
    DeleteFileA(copy.c_str());
    return exitCode;
}

void RemoveTree(const std::string& folder)
{
    std::string from = folder + '\0';  // the list ends with a second NUL
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&operation);
}

void SetRegistryText(HKEY root, const char* key, const char* name, const std::string& value)
{
    ASSERT_EQ(RegSetKeyValueA(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
}

// The text of a registry value, or "(absent)".
std::string RegistryText(HKEY root, const char* key, const char* name)
{
    char value[MAX_PATH * 2];
    DWORD size = sizeof(value);
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(absent)";
    return value;
}

// Compared without printing a DLL's bytes into the failure message.
bool SameBytes(const std::string& path, const std::string& expected)
{
    return FileExists(path) && ReadFileText(path) == expected;
}

// A folder holding winamp.exe (any program of ours stands in for it).
void LayOutPlayer(const std::string& folder)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(hostPath.c_str(), (folder + "\\winamp.exe").c_str(), FALSE)) << GetLastError();
}

void ExpectInstalledIn(const std::string& pluginFolder)
{
    EXPECT_TRUE(SameBytes(pluginFolder + "\\vis_brim.dll", ReadFileText(PluginPath())))
        << "the built DLL in " << pluginFolder;
    EXPECT_TRUE(FileExists(pluginFolder + "\\" + licenceName));
    EXPECT_TRUE(FileExists(pluginFolder + "\\" + uninstallerName));
    EXPECT_FALSE(FileExists(pluginFolder + "\\vis_brim.dll.new"));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, entryKey, "InstallLocation"), pluginFolder);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, entryKey, "UninstallString"),
              "\"" + pluginFolder + "\\" + uninstallerName + "\"");
    EXPECT_NE(RegistryText(HKEY_CURRENT_USER, entryKey, "DisplayName").find("Brimwave"), std::string::npos);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, entryKey, "DisplayVersion"), BRIM_VERSION_TEXT);
    DWORD size = 0;
    DWORD bytes = sizeof(size);
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, entryKey, "EstimatedSize", RRF_RT_REG_DWORD, nullptr, &size, &bytes),
              ERROR_SUCCESS);
    EXPECT_GT(size, 0u) << "kilobytes";
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(setupPath.empty()) << "the installer is not among the arguments";
        ASSERT_FALSE(hostPath.empty()) << "brimhost.exe is not among the arguments";
        ForgetEverything();
        CreateDirectoryA(Scratch().c_str(), nullptr);
    }

    void TearDown() override { ForgetEverything(); }

    // No player and no Brimwave anywhere the installer looks.
    static void ForgetEverything()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, playerUninstallKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, playerKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, entryKey);
        RemoveTree(Scratch());
        RemoveTree(DefaultPlayerFolder());
    }

    static std::string DefaultPlayerFolder()
    {
        char folder[MAX_PATH];
        GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
        return std::string(folder) + "\\Winamp";
    }

    const std::string player = Scratch() + "\\Winamp";
};

// Each row: how the player is found, what its winamp.ini says, where the DLL lands.
TEST_F(Installer, FindsThePlayerAndItsVisualizationFolder)
{
    enum Found { byUninstallString, byPlayerKey, byDefaultFolder, byCommandLine };
    const struct {
        Found found;
        const char* visDir;        // null: no winamp.ini
        const char* pluginFolder;  // under the player's folder
    } rows[] = {
        {byUninstallString, nullptr, "Plugins"},
        {byPlayerKey, "<player>\\Visuals\\", "Visuals"},
        {byDefaultFolder, "Visuals", "Visuals"},
        {byCommandLine, "<player>\\Missing", "Plugins"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        ForgetEverything();
        CreateDirectoryA(Scratch().c_str(), nullptr);
        const std::string folder = row.found == byDefaultFolder ? DefaultPlayerFolder() : player;
        LayOutPlayer(folder);
        CreateDirectoryA((folder + "\\Visuals").c_str(), nullptr);
        if (row.visDir) {
            std::string visDir = row.visDir;
            if (visDir.rfind("<player>", 0) == 0)
                visDir.replace(0, 8, folder);
            WritePrivateProfileStringA("Winamp", "VisDir", visDir.c_str(), (folder + "\\winamp.ini").c_str());
        }
        std::string arguments;
        switch (row.found) {
        case byUninstallString:
            SetRegistryText(HKEY_LOCAL_MACHINE, playerUninstallKey, "UninstallString",
                            "\"" + folder + "\\UninstWA.exe\"");
            break;
        case byPlayerKey:
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, folder);
            break;
        case byDefaultFolder:
            break;
        case byCommandLine:
            // The command line wins over a registry entry that names no player.
            SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, Scratch());
            arguments = " /D=" + folder;
            break;
        }
        ASSERT_EQ(Install(arguments), 0u);
        ExpectInstalledIn(folder + "\\" + row.pluginFolder);
    }
}

TEST_F(Installer, RefusesAFolderWithoutThePlayerAndWritesNothing)
{
    const std::string notPlayer = Scratch() + "\\Music";
    CreateDirectoryA(notPlayer.c_str(), nullptr);
    for (const std::string& arguments : {std::string(), " /D=" + notPlayer}) {
        SCOPED_TRACE("arguments:" + arguments);
        EXPECT_EQ(Install(arguments), exitNotPlayerFolder);
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, entryKey, "InstallLocation"), "(absent)");
        EXPECT_FALSE(FileExists(DefaultPlayerFolder()));
        EXPECT_TRUE(RemoveDirectoryA(notPlayer.c_str())) << "the folder is still empty";
        CreateDirectoryA(notPlayer.c_str(), nullptr);
    }
}

TEST_F(Installer, UpgradeAndUninstallKeepTheSettingsTheHostWrote)
{
    LayOutPlayer(player);
    SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, player);
    ASSERT_EQ(Install(), 0u);
    const std::string plugins = player + "\\Plugins";
    const std::string installed = plugins + "\\vis_brim.dll";
    const std::string settings = plugins + "\\plugin.ini";

    const ProgramRun run =
        RunProgram("\"" + hostPath + "\" --module 1 --frames 3 --no-sleep --size 160x120 \"" + installed + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.out;
    const std::string written = ReadFileText(settings);
    ASSERT_NE(written.find("[Spheres]"), std::string::npos) << "the host's run saved settings";

    ASSERT_EQ(Install(), 0u) << "the same release again";
    ExpectInstalledIn(plugins);
    EXPECT_EQ(ReadFileText(settings), written);

    // The installed copy is a working plug-in.
    const ProgramRun list = RunProgram("\"" + hostPath + "\" --list \"" + installed + "\"");
    EXPECT_EQ(list.exitCode, 0u) << list.out;
    EXPECT_NE(list.out.find("Brimwave (OpenGL) v" BRIM_RELEASE_TEXT), std::string::npos) << list.out;

    EXPECT_EQ(Uninstall(plugins), 0u);
    for (const std::string name : {"vis_brim.dll", licenceName, uninstallerName})
        EXPECT_FALSE(FileExists(plugins + "\\" + name)) << name;
    EXPECT_EQ(ReadFileText(settings), written) << "settings are the user's";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, entryKey, "InstallLocation"), "(absent)");
    EXPECT_TRUE(FileExists(player + "\\winamp.exe")) << "nothing of the player's goes";
}

TEST_F(Installer, LeavesADllInUseIntactAndSaysSo)
{
    LayOutPlayer(player);
    SetRegistryText(HKEY_CURRENT_USER, playerKey, nullptr, player);
    ASSERT_EQ(Install(), 0u);
    const std::string plugins = player + "\\Plugins";
    const std::string installed = plugins + "\\vis_brim.dll";
    // An older release, loaded by a running player.
    ASSERT_TRUE(CopyFileA(fakePath.c_str(), installed.c_str(), FALSE));
    const std::string older = ReadFileText(installed);
    // Like Windows, wine refuses to delete or write a DLL that is loaded.
    HMODULE loaded = LoadLibraryA(installed.c_str());
    ASSERT_NE(loaded, nullptr) << GetLastError();

    EXPECT_EQ(Install(), exitDllInUse);
    EXPECT_TRUE(SameBytes(installed, older)) << "the old DLL stays as it was";
    EXPECT_FALSE(FileExists(installed + ".new")) << "no half-done replacement left behind";
    EXPECT_EQ(Uninstall(plugins), exitDllInUse);
    EXPECT_TRUE(SameBytes(installed, older));

    // A folder where the new DLL cannot be written (here its temporary name
    // is taken by a folder) is refused the same way.
    ASSERT_TRUE(CreateDirectoryA((installed + ".new").c_str(), nullptr));
    EXPECT_EQ(Install(), exitCannotWrite);
    EXPECT_TRUE(SameBytes(installed, older));
    RemoveDirectoryA((installed + ".new").c_str());

    // Once the player lets go, the same installer goes through.
    FreeLibrary(loaded);
    EXPECT_EQ(Install(), 0u);
    ExpectInstalledIn(plugins);
}

// The programs under test come as arguments from ctest.
class PathsFromArguments : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (int i = 1; i < __argc; ++i) {
            const std::string argument = __argv[i];
            auto endsWith = [&argument](const std::string& end) {
                return argument.size() >= end.size() && argument.compare(argument.size() - end.size(), end.size(), end) == 0;
            };
            if (endsWith("-setup.exe"))
                setupPath = ToWindowsPath(argument);
            if (endsWith("brimhost.exe"))
                hostPath = ToWindowsPath(argument);
            if (endsWith("fake_vis.dll"))
                fakePath = ToWindowsPath(argument);
        }
    }
};

const auto* registered = ::testing::AddGlobalTestEnvironment(new PathsFromArguments);

}  // namespace
