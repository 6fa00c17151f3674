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
