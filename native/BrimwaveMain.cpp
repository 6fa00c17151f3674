// brimwave: the three modules as a program of their own, showing what the
// desktop plays, or drawing a song's video offline.
#include "host/HostOptions.h"
#include "host/ImageFile.h"
#include "host/SampleBytes.h"
#include "native/FramePresenter.h"
#include "native/NativeOptions.h"
#include "native/NativeSettings.h"
#include "native/NativeWindow.h"
#include "native/OfflineRender.h"
#include "native/PulseCapture.h"
#include "player/VisModule.h"
#include "scenes/Gl.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "scenes/Scenes.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

// The offline render reports the host's codes; the live run's are the same
// for the same kind of failure.
static_assert(int{nativeExitUsage} == exitUsage && int{nativeExitDisplay} == exitInitFailed &&
              int{nativeExitInput} == exitBadWav && int{nativeExitOutput} == exitCaptureFailed);

namespace {

using Clock = std::chrono::steady_clock;

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
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, lastFrame.pixels.data());
    // GL's rows run bottom up; the image's top down.
    const auto rowBytes = static_cast<std::ptrdiff_t>(width) * 3;
    for (int row = 0; row < height / 2; ++row)
        std::swap_ranges(lastFrame.pixels.begin() + row * rowBytes, lastFrame.pixels.begin() + (row + 1) * rowBytes,
                         lastFrame.pixels.end() - (row + 1) * rowBytes);
}

void PresentToWindow()
{
    glFinish();
    if (keepFrames)
        KeepFrame();
    SwapNativeWindow();
}

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "brimwave: %s\n", message.c_str());
    return code;
}

int ListModules()
{
    for (int i = 0; i < moduleCount; ++i)
        std::printf("%d %s\n", i, sceneModules[i].description);
    return nativeExitOk;
}

int ListSources()
{
    std::vector<PulseSource> sources;
    std::string error;
    if (!ListPulseSources(sources, error))
        return Fail(nativeExitAudio, error);
    for (const PulseSource& source : sources)
        std::printf("%s\t%s\n", source.name.c_str(), source.description.c_str());
    return nativeExitOk;
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
// key, the clock or the audio ends it.
RunEnd RunModule(int module, LiveRun& run)
{
    const SceneModule& scene = sceneModules[module];
    VisModule record = MakeModule(scene.description, nullptr, nullptr, nullptr, nullptr);
    const auto delay = std::chrono::milliseconds(record.delayMs);
    std::array<std::int16_t, blockSamples> left;
    std::array<std::int16_t, blockSamples> right;
    auto due = Clock::now();
    for (;;) {
        switch (HandleWindowEvents()) {
        case WindowAction::Quit: return RunEnd::Quit;
        case WindowAction::NextModule: return RunEnd::NextModule;
        case WindowAction::None: break;
        }
        if (run.seconds > 0 && Clock::now() - run.start >= std::chrono::duration<double>(run.seconds))
            return RunEnd::TimeUp;
        if (!LatestBlock(left.data(), right.data(), run.audioError))
            return RunEnd::AudioEnded;
        std::string source;
        if (TakeSourceChange(source))
            std::fprintf(stderr, "brimwave: the default output changed: recording %s\n", source.c_str());
        WriteRecordBytes(left.data(), right.data(), record);
        MeasureLevels(record, scene.meter);
        scene.draw();
        // A late frame moves the schedule on rather than bringing a burst.
        due = std::max(due + delay, Clock::now());
        std::this_thread::sleep_until(due);
    }
}

int RunLive(const NativeOptions& options)
{
    std::string source = options.listen;
    std::string error;
    if (source.empty() && !DefaultMonitorSource(source, error))
        return Fail(nativeExitAudio, error);
    // Without --listen the recording follows the desktop's choice of output.
    if (!StartCapture(source, options.listen.empty(), error))
        return Fail(nativeExitAudio, error);

    keepFrames = !options.snapshotPath.empty();
    SetFramePresenter(PresentToWindow);
    const std::string settingsPath = options.settingsPath.empty() ? NativeSettingsPath() : options.settingsPath;
    int module = options.module >= 0 ? options.module : LoadLastModule(settingsPath, rectanglesModule);
    if (module < 0 || module >= moduleCount)
        module = rectanglesModule;
    LiveRun run = {Clock::now(), options.seconds, {}};
    int code = nativeExitOk;
    for (RunEnd end = RunEnd::NextModule; end == RunEnd::NextModule;) {
        const char* description = sceneModules[module].description;
        LoadNativeSettings(settingsPath, module);
        if (!OpenNativeWindow(description, error)) {
            code = Fail(nativeExitDisplay, error);
            break;
        }
        SetupScene(module, DrawableWidth(), DrawableHeight());
        end = RunModule(module, run);
        ReleaseScene();
        CloseNativeWindow();
        SaveNativeSettings(settingsPath, module);
        SaveLastModule(settingsPath, module);
        if (end == RunEnd::AudioEnded)
            code = Fail(nativeExitAudio, run.audioError);
        if (end == RunEnd::NextModule)
            module = (module + 1) % moduleCount;
    }
    StopCapture();
    SDL_Quit();

    if (keepFrames && code != nativeExitDisplay &&
        (lastFrame.width == 0 || !WriteBinaryFile(options.snapshotPath, EncodePng(lastFrame))))
        return Fail(nativeExitOutput, "cannot write the snapshot " + options.snapshotPath);
    return code;
}

int RenderOffline(const NativeOptions& options)
{
    OfflineOptions offline;
    offline.module = options.module >= 0 ? options.module : rectanglesModule;
    offline.wavPath = options.renderPath;
    offline.rawVideoPath = options.rawVideoPath;
    offline.pixelFormat = options.yuv420p ? RawPixelFormat::Yuv420p : RawPixelFormat::Bgr0;
    offline.renderFps = options.renderFps;
    offline.width = options.width;
    offline.height = options.height;
    offline.settingsPath = options.settingsPath.empty() ? NativeSettingsPath() : options.settingsPath;
    return RunOfflineRender(offline);
}

}  // namespace

int main(int argc, char** argv)
{
    NativeOptions options;
    std::string error;
    if (!ParseNativeOptions(argc, argv, options, error))
        return Fail(nativeExitUsage, error + " (see --help)");
    if (options.help) {
        std::fputs(NativeUsage(), stdout);
        return nativeExitOk;
    }
    if (options.list)
        return ListModules();
    if (options.listSources)
        return ListSources();
    if (!options.renderPath.empty())
        return RenderOffline(options);
    return RunLive(options);
}
