#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {
std::string pluginPath;
}

const std::string& PluginPath()
{
    return pluginPath;
}

std::string ToWindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileText(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof(block), &got, nullptr) && got > 0)
        text.append(block, got);
    CloseHandle(file);
    return text;
}

void WriteFileText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1);
    return wide;
}

std::string Utf8(const std::wstring& text)
{
    std::string narrow(4 * text.size() + 1, '\0');
    narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), static_cast<int>(narrow.size()),
                                      nullptr, nullptr) - 1);
    return narrow;
}

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

// gtest_main would not hand over the plug-in's path; this environment takes it
// from the first argument that names a DLL.
namespace {
class PluginPathFromArguments : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (int i = 1; i < __argc; ++i) {
            std::string argument = __argv[i];
            if (argument.size() > 4 && argument.substr(argument.size() - 4) == ".dll")
                pluginPath = ToWindowsPath(argument);
        }
    }
};

const auto* registered = ::testing::AddGlobalTestEnvironment(new PluginPathFromArguments);
}  // namespace
