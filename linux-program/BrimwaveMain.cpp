// brimwave: the three modules as a program of their own, showing what the
// desktop plays, or drawing a song's video offline.
#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"
#include "linux-program/OfflineRender.h"
#include "linux-program/ProgramOptions.h"
#include "linux-program/PulseCapture.h"
#include "linux-program/SdlWindow.h"
#include "linux-program/VideoRender.h"
#include "linux-program/XConnection.h"
#include "cli/Failure.h"
#include "files/ImageFile.h"
#include "frame/FrameStep.h"
#include "frame/ReadBack.h"
#include "player/VisModule.h"
#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "settings/Modules.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Read back at every present when a snapshot is wanted; the last one is saved.
bool keepFrames = false;
RgbImage lastFrame;

void KeepFrame()
{
    const int width = DrawableWidth();
    const int height = DrawableHeight();
    lastFrame.width = width;
    lastFrame.height = height;
    lastFrame.pixels.resize(static_cast<std::size_t>(width) * height * 3);
    ReadBackFrame(width, height, GL_RGB, lastFrame.pixels.data());
}

void PresentToWindow()
{
    glFinish();
    if (keepFrames)
        KeepFrame();
    SwapSdlWindow();
}

int ListModules()
{
    for (int i = 0; i < moduleCount; ++i)
        std::printf("%d %s\n", i, moduleNames[i]);
    return exitOk;
}

int ListSources()
{
    std::vector<PulseSource> sources;
    std::string error;
    if (!ListPulseSources(sources, error))
        return Fail(exitAudio, error);
    for (const PulseSource& source : sources)
        std::printf("%s\t%s\n", source.name.c_str(), source.description.c_str());
    return exitOk;
}

// A source as --list-sources shows it, by its name or by its description.
std::string SourceNamed(const std::string& listen)
{
    std::vector<PulseSource> sources;
    std::string error;
    if (!ListPulseSources(sources, error))
        return listen;
    for (const PulseSource& source : sources)
        if (source.name == listen)
            return listen;
    for (const PulseSource& source : sources)
        if (source.description == listen)
            return source.name;
    return listen;
}

enum class RunEnd {
    Quit,
    NextModule,
    TimeUp,
    AudioEnded,
};

struct LiveRun {
    Clock::time_point start;
    double seconds;  // 0: no limit
    std::string audioError;
};

// One module in its window, frame after frame at the module's pace, until a
// key, the clock or the audio ends it. The first frame is always drawn: a
// run shorter than the window takes to open still shows, and snaps, one.
RunEnd RunModule(int module, LiveRun& run)
{
    VisModule record = MakeModule(moduleNames[module], nullptr, nullptr, nullptr, nullptr);
    std::array<std::int16_t, blockSamples> left;
    std::array<std::int16_t, blockSamples> right;
    double due = SecondsSince(run.start);
    for (;;) {
        if (!LatestBlock(left.data(), right.data(), run.audioError))
            return RunEnd::AudioEnded;
        std::string source;
        if (TakeSourceChange(source))
            std::fprintf(stderr, "brimwave: the default output changed: recording %s\n", source.c_str());
        WriteRecordBytes(left.data(), right.data(), record);
        StepFrame(record, module);
        switch (HandleWindowEvents()) {
        case WindowAction::Quit: return RunEnd::Quit;
        case WindowAction::NextModule: return RunEnd::NextModule;
        case WindowAction::None: break;
        }
        // A closed terminal, Ctrl-C or SIGTERM ends the run as ESC does.
        if (StopSignal() != 0)
            return RunEnd::Quit;
        if (run.seconds > 0 && SecondsSince(run.start) >= run.seconds)
            return RunEnd::TimeUp;
        due = NextFrameDue(due, SecondsSince(run.start), record.delayMs / 1000.0);
        std::this_thread::sleep_for(std::chrono::duration<double>(due - SecondsSince(run.start)));
    }
}

// Errno's value when the snapshot cannot be written where it is named; 0
// when it can. The folder keeps its slash: a file there is "Not a directory".
int SnapshotPlaceError(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return errno;
    if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0)
        return errno;
    return 0;
}

int SaveSnapshot(const std::string& path)
{
    if (lastFrame.width == 0)
        return Fail(exitCaptureFailed, "no snapshot: no frame was drawn");
    const std::vector<unsigned char> png = EncodePng(lastFrame);
    if (png.empty())
        return Fail(exitCaptureFailed, "cannot encode the snapshot '" + path + "' as PNG");
    // Written beside its name and put in place whole: a full disk keeps an
    // older snapshot.
    PartialFile partial;
    std::string error;
    const bool saved = CreatePartialFile(path, partial, error) && WriteBinaryFile(partial.path, png) &&
                       CommitPartialFile(partial, error);
    const int saveError = errno;
    DiscardPartialFile(partial);
    if (!saved)
        return Fail(exitCaptureFailed, "cannot write the snapshot '" + path + "': " + std::strerror(saveError));
    return exitOk;
}

// The settings as the module leaves them, unless the file is not to be
// written; a failure is said once a run.
void SaveSettings(const std::string& path, int module, SettingsUse use, bool& failedBefore)
{
    if (use != SettingsUse::ReadWrite || (SaveSettingsFile(path, module) && SaveLastModule(path, module)) ||
        failedBefore)
        return;
    failedBefore = true;
    std::fprintf(stderr, "brimwave: cannot save the settings in '%s' (%s)\n", path.c_str(), std::strerror(errno));
}

int RunLive(const ProgramOptions& options)
{
    // Refusals come before the sound server and the window are asked for.
    const std::string settingsPath = options.settingsPath.empty() ? DefaultSettingsPath() : options.settingsPath;
    std::string message;
    const SettingsUse settingsUse = CheckSettingsFile(settingsPath, message);
    if (settingsUse == SettingsUse::Refused)
        return Fail(exitUsage, message);
    if (settingsUse == SettingsUse::ReadOnly)
        std::fprintf(stderr, "brimwave: %s\n", message.c_str());
    // Writing into a FIFO without a reader would block at the end of the run.
    struct stat snapshotStatus;
    if (!options.snapshotPath.empty() && stat(options.snapshotPath.c_str(), &snapshotStatus) == 0 &&
        !S_ISREG(snapshotStatus.st_mode))
        return Fail(exitUsage, "the snapshot '" + options.snapshotPath + "' is not a regular file");
    const int snapshotError = options.snapshotPath.empty() ? 0 : SnapshotPlaceError(options.snapshotPath);
    if (snapshotError != 0)
        return Fail(exitUsage,
                    "cannot write the snapshot '" + options.snapshotPath + "': " + std::strerror(snapshotError));

    std::string source = options.listen;
    std::string error;
    if (source.empty() && !DefaultMonitorSource(source, error))
        return Fail(exitAudio, error);
    if (!options.listen.empty())
        source = SourceNamed(options.listen);
    // Without --listen the recording follows the desktop's choice of output.
    if (!StartCapture(source, options.listen.empty(), error))
        return Fail(exitAudio, error);

    // Before SDL, which then leaves SIGINT and SIGTERM to these handlers.
    CatchStopSignals();
    keepFrames = !options.snapshotPath.empty();
    SetFramePresenter(PresentToWindow);
    int module = options.module >= 0 ? options.module : LoadLastModule(settingsPath, rectanglesModule);
    if (module < 0 || module >= moduleCount)
        module = rectanglesModule;
    LiveRun run = {Clock::now(), options.seconds, {}};
    int code = exitOk;
    bool saveFailed = false;
    // Without its X server the window cannot even be closed: what it would
    // leave behind is kept, and the run ends there.
    WatchXConnection([&](const std::string& display) {
        Fail(exitDisplayLost, "lost the display '" + display + "': its X server is gone");
        SaveSettings(settingsPath, module, settingsUse, saveFailed);
        if (keepFrames)
            SaveSnapshot(options.snapshotPath);
        std::fflush(nullptr);
        std::_Exit(exitDisplayLost);
    });
    for (RunEnd end = RunEnd::NextModule; end == RunEnd::NextModule;) {
        // Each module starts from its own defaults: a module without a
        // section must not take the previous module's values as its own.
        settings = initialSettings;
        LoadSettingsFile(settingsPath, module);
        if (!OpenSdlWindow(moduleNames[module], error)) {
            code = Fail(exitInitFailed, error);
            break;
        }
        StartLevelMeter();
        SetupScene(module, DrawableWidth(), DrawableHeight());
        end = RunModule(module, run);
        ReleaseScene();
        CloseSdlWindow();
        SaveSettings(settingsPath, module, settingsUse, saveFailed);
        if (end == RunEnd::AudioEnded)
            code = Fail(exitAudio, run.audioError);
        if (end == RunEnd::NextModule)
            module = (module + 1) % moduleCount;
    }
    StopCapture();
    SDL_Quit();
    WatchXConnection(nullptr);

    // A run that failed before its first frame has said why already.
    if (!keepFrames || code == exitInitFailed || (code != exitOk && lastFrame.width == 0))
        return code;
    const int saved = SaveSnapshot(options.snapshotPath);
    return code != exitOk ? code : saved;
}

int RenderOffline(const ProgramOptions& options)
{
    OfflineOptions offline;
    offline.module = options.module >= 0 ? options.module : rectanglesModule;
    offline.wavPath = options.renderPath;
    offline.rawVideoPath = options.rawVideoPath;
    offline.outputPath = options.outputPath;
    offline.startSeconds = options.startSeconds;
    offline.durationSeconds = options.durationSeconds;
    offline.pixelFormat = options.yuv420p ? RawPixelFormat::Yuv420p : RawPixelFormat::Bgr0;
    offline.renderFps = options.renderFps;
    offline.width = options.width;
    offline.height = options.height;
    offline.settingsPath = options.settingsPath.empty() ? DefaultSettingsPath() : options.settingsPath;
    return RunOfflineRender(offline);
}

}  // namespace

int main(int argc, char** argv)
{
    SetFailureReport("brimwave");
    ProgramOptions options;
    std::string error;
    if (!ParseProgramOptions(argc, argv, options, error))
        return Fail(exitUsage, error + " (see --help)");
    if (options.help) {
        std::fputs(ProgramUsage(), stdout);
        return exitOk;
    }
    if (options.list)
        return ListModules();
    if (options.listSources)
        return ListSources();
    if (!options.renderPath.empty())
        return RenderOffline(options);
    return RunLive(options);
}
