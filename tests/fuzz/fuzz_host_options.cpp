// Any command line for brimhost: the bytes split at each NUL into arguments.
// A line is refused with a message, or what it gives stays inside the ranges
// the help text promises.
#include "host/HostOptions.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments = {"brimhost.exe"};
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = 0; at < size;) {
        const std::size_t end = std::min(bytes.find('\0', at), size);
        arguments.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    const ParsedOptions parsed = ParseHostOptions(static_cast<int>(arguments.size()), argv.data());
    if (!parsed.error.empty() || parsed.options.help || parsed.options.listDevices)
        return 0;
    const HostOptions& options = parsed.options;
    Require(!options.pluginPath.empty(), "an accepted line names the plug-in");
    Require(!options.listen || (options.wavPath.empty() && options.pacing != Pacing::Offline),
            "--listen excludes --wav and offline rendering");
    Require((options.width == 0) == (options.height == 0) && options.width >= 0 && options.width <= 8192 &&
                options.height >= 0 && options.height <= 8192,
            "--size gives both sides, 1 to 8192");
    Require(options.frames >= 0 && options.captureEvery >= 1, "counts are positive");
    Require(options.seconds == 0.0 || (options.seconds >= 0.001 && options.seconds <= 86400.0),
            "--seconds 0.001 to 86400");
    Require(options.fps >= 0.0 && options.fps <= 1000.0, "--fps 0 to 1000");
    Require(options.renderFps == 0.0 || (options.renderFps >= 0.01 && options.renderFps <= 1000.0),
            "--render-fps 0.01 to 1000");
    Require(options.capturePng || options.captureBmp, "a capture format");
    Require(options.snapshotPath.empty() || EndsWithNoCase(options.snapshotPath, ".png") ||
                EndsWithNoCase(options.snapshotPath, ".bmp"),
            "--snapshot is a .png or .bmp");
    Require((options.signal == SignalKind::WavFile) == !options.wavPath.empty(), "--wav names the file it reads");
    Require(!(options.list && options.config), "--list and --config exclude each other");
    Require(options.pacing != Pacing::Offline || options.fps == 0.0, "--render excludes --fps");
    return 0;
}
