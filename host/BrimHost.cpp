// brimhost: stands in for the player. Loads a visualization plug-in, runs one
// of its modules on one thread as the player does, and can save the frames.
#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"
#include "audio/SignalSource.h"
#include "cli/Failure.h"
#include "files/ImageFile.h"
#include "host/EntryGuard.h"
#include "host/HostOptions.h"
#include "host/LoopbackCapture.h"
#include "host/PluginWindow.h"
#include "host/RawVideoSink.h"
#include "host/SystemError.h"
#include "host/Utf8Path.h"
#include "host/Viewer.h"
#include "player/FullScreenRequest.h"
#include "player/VisModule.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using HeaderGetter = VisHeader* (*)();

// Set when the user closes the host window, to tell that quit message apart
// from the plug-in's.
bool hostWindowClosed = false;
long keyMessages = 0;
// The viewer (Brimwave.exe): M asks for the next module (Quit, then Init
// of the next), and failures show in a box when there is no console.
bool viewer = false;
bool switchRequested = false;
// As the program was called: its lines and --help say which one ran.
const char* programName = "brimhost";
ListenSource listening;

// Start-up as the user sees it: from the call of Init to the return of the
// first Render, whose frame is then on screen.
double initStarted = 0.0;
double initReturned = 0.0;
double firstFrameShown = 0.0;

enum class RunEnd {
    QuitMessage,
    HostClosed,
    RenderResult,
    FrameLimit,
    TimeLimit,
    CaptureFailed,
    AudioEnd,
    AudioUnreadable,
    RawVideoFailed,
    NextModule,
    WindowClosed,
};

struct Plugin {
    HMODULE library = nullptr;
    VisHeader* header = nullptr;
};

struct Capture {
    HWND window = nullptr;
    long written = 0;
};

// The viewer started without a console shows its failures in a box as well.
void ShowFailureBox(const std::string& message)
{
    if (viewer && !HasConsoleOutput())
        MessageBoxW(nullptr, WidePath(message).c_str(), L"Brimwave", MB_OK | MB_ICONERROR);
}

// The block a frame shows, on the clock of the run's pacing.
long long BlockStart(const HostOptions& options, double renderFps, int latencyMs, int rate, long frame, double elapsed)
{
    switch (options.pacing) {
    case Pacing::Unpaced: return UnpacedBlockStart(frame);
    case Pacing::Offline: return OfflineBlockStart(frame, renderFps, rate);
    case Pacing::ModuleDelay:
    case Pacing::TargetFps: break;
    }
    return PacedBlockStart(elapsed, latencyMs, rate);
}

// When the next frame is due: the module's delay after this one ends, as
// the player sleeps, or on the --fps schedule; at once otherwise.
double NextDue(const HostOptions& options, int delayMs, double due, double now)
{
    switch (options.pacing) {
    case Pacing::ModuleDelay: return NextFrameDue(now, now, delayMs / 1000.0);
    case Pacing::TargetFps: return NextFrameDue(due, now, 1.0 / options.fps);
    case Pacing::Unpaced:
    case Pacing::Offline: break;
    }
    return now;
}

double Seconds()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LRESULT OnClose()
{
    // The loop ends and calls Quit while this window, the plug-in window's
    // owner, still exists; it is destroyed after.
    hostWindowClosed = true;
    PostQuitMessage(0);
    return 0;
}

LRESULT CALLBACK HostWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        return OnClose();
    case WM_KEYDOWN:
        switchRequested = switchRequested || (viewer && wParam == 'M');
        ++keyMessages;
        return 0;
    case WM_KEYUP:
        ++keyMessages;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The viewer keeps it hidden: the plug-in's window is all there is to see.
HWND CreateHostWindow(HINSTANCE instance, const char* title, bool show)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HostWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BrimwaveHost";
    if (RegisterClassA(&windowClass) == 0)
        return nullptr;
    // Off to the side of where plug-in windows usually open, so a capture
    // never sees it.
    HWND window = CreateWindowExA(0, "BrimwaveHost", title, WS_OVERLAPPEDWINDOW, 760, 600, 420, 160, nullptr,
                                  nullptr, instance, nullptr);
    if (window != nullptr && show)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

int LoadPlugin(const std::string& path, Plugin& plugin)
{
    plugin.library = LoadLibraryW(WidePath(path).c_str());
    if (plugin.library == nullptr)
        return Fail(exitLoadFailed, "cannot load '" + path + "' (" + ErrorText(GetLastError(), "'" + path + "'") + ")");
    // Through void*: FARPROC has a different (stdcall) signature.
    auto getHeader = reinterpret_cast<HeaderGetter>(
        reinterpret_cast<void*>(GetProcAddress(plugin.library, "winampVisGetHeader")));
    if (getHeader == nullptr)
        return Fail(exitNoExport, "'" + path + "' does not export winampVisGetHeader");
    plugin.header = getHeader();
    if (plugin.header == nullptr)
        return Fail(exitBadHeader, "winampVisGetHeader returned no header");
    if (plugin.header->version != visHeaderVersion) {
        char version[16];
        std::snprintf(version, sizeof(version), "0x%X", static_cast<unsigned>(plugin.header->version));
        return Fail(exitBadHeader, std::string("header version ") + version + ", expected 0x101");
    }
    if (plugin.header->getModule == nullptr)
        return Fail(exitBadHeader, "the header has no module getter");
    return exitOk;
}

const char* Text(const char* text)
{
    return text != nullptr ? text : "(no description)";
}

int ListModules(const Plugin& plugin)
{
    std::printf("%s\n", Text(plugin.header->description));
    // The player stops at the first index without a record.
    for (int index = 0; index < 256; ++index) {
        VisModule* module = plugin.header->getModule(index);
        if (module == nullptr)
            break;
        std::printf("%d: %s\n", index, Text(module->description));
    }
    return exitOk;
}

int PrepareSignal(const HostOptions& options, SignalSource& source)
{
    source.kind = options.signal;
    if (options.listen)
        source.rate = listening.buffer.format.rate;
    if (options.signal != SignalKind::WavFile)
        return exitOk;
    std::string error;
    if (!OpenWav(options.wavPath, source.wav, error))
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': " + error);
    source.rate = source.wav.format.rate;
    return exitOk;
}

std::string CapturePath(const std::string& folder, long frame, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof(name), "frame_%06ld.%s", frame, extension);
    const char last = folder.back();
    return folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}

bool FolderExists(const std::string& file)
{
    const std::size_t slash = file.find_last_of("\\/");
    if (slash == std::string::npos)
        return true;  // the current folder
    const DWORD attributes = GetFileAttributesW(WidePath(file.substr(0, slash + 1)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool EndsWithBmp(const std::string& path)
{
    return path.size() >= 4 && lstrcmpiA(path.c_str() + path.size() - 4, ".bmp") == 0;
}

// The frame the window shows as the run ends; false when it cannot be had or written.
bool SaveSnapshot(const std::string& path, HWND window)
{
    RgbImage image;
    if (!IsWindow(window) || !CaptureClientArea(window, image))
        return false;
    return WriteBinaryFile(path, EndsWithBmp(path) ? EncodeBmp(image) : EncodePng(image));
}

bool CaptureFrame(const HostOptions& options, Capture& capture, long frame)
{
    RgbImage image;
    // A minimised window has no client area: nothing to save, not a failure.
    if (!IsWindow(capture.window) || !CaptureClientArea(capture.window, image))
        return true;
    if (options.capturePng && !WriteBinaryFile(CapturePath(options.captureDir, frame, "png"), EncodePng(image)))
        return false;
    if (options.captureBmp && !WriteBinaryFile(CapturePath(options.captureDir, frame, "bmp"), EncodeBmp(image)))
        return false;
    ++capture.written;
    return true;
}

// Waits up to `seconds`, returning as soon as a message arrives, so the
// windows keep answering during long pauses between frames.
void WaitForMessages(double seconds)
{
    const DWORD milliseconds = static_cast<DWORD>(std::ceil(std::min(seconds, 3600.0) * 1000.0));
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

const char* EndText(RunEnd end)
{
    switch (end) {
    case RunEnd::QuitMessage: return "the plug-in posted the quit message";
    case RunEnd::HostClosed: return "the host window was closed";
    case RunEnd::RenderResult: return "Render returned non-zero";
    case RunEnd::FrameLimit: return "frame limit reached";
    case RunEnd::TimeLimit: return "time limit reached";
    case RunEnd::CaptureFailed: return "a frame could not be written";
    case RunEnd::AudioEnd: return "end of the audio";
    case RunEnd::AudioUnreadable: return "the WAV file could not be read";
    case RunEnd::RawVideoFailed: return "the raw video could not be written";
    case RunEnd::NextModule: return "M pressed, the next module follows";
    case RunEnd::WindowClosed: return "the plug-in's window was closed";
    }
    return "";
}

// A plug-in may close its window without the quit message (one whose window
// procedure leaves the close to the system): the run ends then as when the
// user closes it. A plug-in that made itself another window is followed there.
bool PluginWindowGone(HWND hostWindow, Capture& capture)
{
    if (capture.window == nullptr || IsWindow(capture.window))
        return false;
    capture.window = FindPluginWindow(hostWindow);
    return capture.window == nullptr;
}

// The player's loop: a waiting message is taken and dispatched instead of a
// frame; otherwise, once the frame is due, fresh sample bytes and Render.
// Between frames the loop waits on messages rather than sleeping.
int RunLoop(const HostOptions& options, VisModule* module, SignalSource& source, Capture& capture)
{
    const double renderFps = OfflineRenderFps(options.renderFps, module->delayMs);
    const bool offline = options.pacing == Pacing::Offline;
    const long audioFrames = offline && source.kind == SignalKind::WavFile
                                 ? OfflineFrameCount(renderFps, source.wav.format.frameCount, source.rate)
                                 : 0;
    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
    long frames = 0;
    WPARAM quitCode = 0;
    int renderResult = 0;
    RunEnd end = RunEnd::QuitMessage;
    double due = 0.0;  // seconds after the start when the next frame is due
    const double start = Seconds();
    for (;;) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = message.wParam;
                end = hostWindowClosed ? RunEnd::HostClosed : RunEnd::QuitMessage;
                break;
            }
            // An offline render's pictures come from Render alone: a paint of
            // the window, which the display sends when it maps or uncovers
            // it, would move the animation on by a frame that no video shows.
            if (offline && message.message == WM_PAINT && message.hwnd == capture.window) {
                PAINTSTRUCT paint;
                BeginPaint(message.hwnd, &paint);
                EndPaint(message.hwnd, &paint);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (switchRequested) {
                end = RunEnd::NextModule;
                break;
            }
            continue;
        }
        if (PluginWindowGone(module->hostWindow, capture)) {
            end = RunEnd::WindowClosed;
            break;
        }
        const double now = Seconds() - start;
        // An offline render's time is the audio's, not the wall clock's.
        if (options.seconds > 0 && (offline ? frames / renderFps : now) >= options.seconds) {
            end = RunEnd::TimeLimit;
            break;
        }
        if (audioFrames > 0 && frames >= audioFrames) {
            end = RunEnd::AudioEnd;
            break;
        }
        if (now < due) {
            WaitForMessages((options.seconds > 0 ? std::min(due, options.seconds) : due) - now);
            continue;
        }
        if (options.listen) {
            ListenBlock(listening, module->latencyMs, Seconds(), left, right);
        } else if (!FillBlock(source, BlockStart(options, renderFps, module->latencyMs, source.rate, frames, now), left, right)) {
            end = RunEnd::AudioUnreadable;
            break;
        }
        WriteRecordBytes(left, right, *module);
        if (!options.rawVideoPath.empty())
            BeginSinkFrame();
        EnterEntry(Entry::Render);
        renderResult = module->Render(module);
        LeaveEntry();
        if (++frames == 1)
            firstFrameShown = Seconds();
        if (!options.rawVideoPath.empty() && !EndSinkFrame()) {
            end = RunEnd::RawVideoFailed;
            break;
        }
        if (!options.captureDir.empty() && frames % options.captureEvery == 0 &&
            !CaptureFrame(options, capture, frames)) {
            end = RunEnd::CaptureFailed;
            break;
        }
        if (renderResult != 0) {
            end = RunEnd::RenderResult;
            break;
        }
        if (options.frames > 0 && frames >= options.frames) {
            end = RunEnd::FrameLimit;
            break;
        }
        due = NextDue(options, module->delayMs, due, Seconds() - start);
    }
    const double elapsed = Seconds() - start;
    const bool snapshotFailed = !options.snapshotPath.empty() && !SaveSnapshot(options.snapshotPath, capture.window);

    std::printf("ended: %s", EndText(end));
    if (end == RunEnd::QuitMessage)
        std::printf(" (code %u)", static_cast<unsigned>(quitCode));
    if (end == RunEnd::RenderResult)
        std::printf(" (%d)", renderResult);
    std::printf("\nframes: %ld  seconds: %.3f  fps: %.1f\n", frames, elapsed, elapsed > 0 ? frames / elapsed : 0.0);
    if (frames > 0)
        std::printf("start-up: Init %.1f ms, first frame %.1f ms\n", (initReturned - initStarted) * 1000.0,
                    (firstFrameShown - initStarted) * 1000.0);
    // The first frames pay for GL's one-time work (a software GL compiles its
    // shaders then); the rate after them is the one that lasts.
    const double steadySeconds = start + elapsed - firstFrameShown;
    if (frames > 1)
        std::printf("after the first frame: fps: %.1f\n", (frames - 1) / steadySeconds);
    if (!options.captureDir.empty())
        std::printf("captured: %ld\n", capture.written);
    if (!options.snapshotPath.empty() && !snapshotFailed)
        std::printf("snapshot: %s\n", options.snapshotPath.c_str());
    std::printf("key messages received: %ld\n", keyMessages);
    if (!options.rawVideoPath.empty()) {
        const FrameSinkStats sink = CloseFrameSink();
        const double perFrame = sink.frames > 0 ? 1000.0 / sink.frames : 0.0;
        std::printf("raw video: %ld frames (%ld copied from the window); per frame: read-back %.2f ms, "
                    "write %.2f ms, the rest %.2f ms\n",
                    sink.frames, sink.fromWindow, sink.readSeconds * perFrame, sink.writeSeconds * perFrame,
                    (elapsed - sink.readSeconds - sink.writeSeconds) * perFrame);
    }
    if (end == RunEnd::CaptureFailed)
        return Fail(exitCaptureFailed, "cannot write frame " + std::to_string(frames) + " into '" +
                                           options.captureDir + "'");
    if (end == RunEnd::AudioUnreadable)
        return Fail(exitBadWav, "cannot read '" + options.wavPath + "' any more");
    if (end == RunEnd::RawVideoFailed)
        return Fail(exitCaptureFailed, "cannot write frame " + std::to_string(frames) + " into '" +
                                           options.rawVideoPath + "' (" + ErrorText(GetLastError()) + ")");
    if (snapshotFailed)
        return Fail(exitCaptureFailed, "cannot save the last frame as '" + options.snapshotPath + "'");
    return exitOk;
}

// Whether the plug-in's window covers a monitor, as far as it tells: the
// monitor, or null.
HMONITOR FullScreenMonitor(HWND window)
{
    const UINT request = FullScreenRequestMessage();
    if (window == nullptr || !IsWindow(window) || request == 0 || SendMessageA(window, request, askFullScreen, 0) == 0)
        return nullptr;
    return MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
}

// `fullScreen`, when not null, is the monitor the module before covered as
// M was pressed; the module is asked to start covering it, unless the run
// gives the window a size of its own. As M ends this run it becomes the
// monitor this module covers, or null.
int RunModule(const HostOptions& options, VisModule* module, HWND hostWindow, HMONITOR& fullScreen)
{
    SignalSource source;
    const int signalResult = PrepareSignal(options, source);
    if (signalResult != exitOk)
        return signalResult;
    if (!options.captureDir.empty() && !CreateDirectoryW(WidePath(options.captureDir).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail(exitCaptureFailed, "cannot create '" + options.captureDir + "' (" + ErrorText(GetLastError()) + ")");
    // Up front, not after the whole run.
    if (!options.snapshotPath.empty() && !FolderExists(options.snapshotPath))
        return Fail(exitCaptureFailed, "cannot save the last frame as '" + options.snapshotPath +
                                           "': its folder does not exist");
    module->sampleRate = source.rate;
    module->channelCount = 2;

    initStarted = Seconds();
    EnterEntry(Entry::Init);
    const int initResult = module->Init(module);
    LeaveEntry();
    initReturned = Seconds();
    if (initResult != 0)
        return Fail(exitInitFailed, "Init of module " + std::to_string(options.module) + " returned " +
                                        std::to_string(initResult));

    Capture capture;
    capture.window = FindPluginWindow(hostWindow);
    int result = exitOk;
    // The place and size the plug-in opened with are put back before Quit,
    // so that what it saves of its window is its own, not the run's.
    RECT opened = {};
    const bool resized = options.width > 0 && capture.window != nullptr && GetWindowPlace(capture.window, opened);
    const bool sized =
        options.width <= 0 || (capture.window != nullptr && SetClientSize(capture.window, options.width, options.height));
    const bool rawVideo = !options.rawVideoPath.empty();
    RECT client = {};
    if (capture.window != nullptr)
        GetClientRect(capture.window, &client);
    std::string error;
    if (!sized && !rawVideo)
        std::fprintf(stderr, "%s: warning: could not give the plug-in window a %dx%d client area\n", programName,
                     options.width, options.height);
    if ((!options.captureDir.empty() || !options.snapshotPath.empty() || rawVideo) && capture.window == nullptr)
        result = Fail(exitCaptureFailed, "the plug-in opened no window to capture");
    else if (rawVideo && (!sized || client.right <= 0 || client.bottom <= 0))
        // Every frame of a video must have the one size.
        result = Fail(exitCaptureFailed, "could not give the plug-in window a " + std::to_string(options.width) +
                                             "x" + std::to_string(options.height) + " client area");
    else if (rawVideo && !OpenFrameSink(options.rawVideoPath, module->instance, capture.window, client.right,
                                        client.bottom, error))
        result = Fail(exitCaptureFailed, error);
    else {
        const UINT request = FullScreenRequestMessage();
        if (fullScreen != nullptr && options.width <= 0 && capture.window != nullptr && request != 0)
            SendMessageA(capture.window, request, enterFullScreen, reinterpret_cast<LPARAM>(fullScreen));
        result = RunLoop(options, module, source, capture);
    }
    fullScreen = switchRequested ? FullScreenMonitor(capture.window) : nullptr;
    if (resized && IsWindow(capture.window))
        SetWindowPlace(capture.window, opened);
    EnterEntry(Entry::Quit);
    module->Quit(module);
    LeaveEntry();
    CloseWav(source.wav);
    return result;
}

// Runs the module, and in the viewer each next one that M asks for. The
// next one gets the plug-in loaded afresh, as the player loads it for each
// start: what one module left in the plug-in's memory (its settings, its
// window's place) is not the next one's, which starts from its own section
// of plugin.ini, or from the plug-in's defaults when it has none.
int RunModules(HostOptions options, Plugin& plugin, VisModule* module, HWND hostWindow)
{
    HMONITOR fullScreen = nullptr;
    for (;;) {
        if (options.viewer)
            std::printf("module %d: %s\n", options.module, Text(module->description));
        std::fflush(stdout);
        const int result = RunModule(options, module, hostWindow, fullScreen);
        if (result != exitOk || !switchRequested)
            return result;
        switchRequested = false;
        // Quit destroyed the module's window, whose quit message is not the user's.
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        FreeLibrary(plugin.library);
        plugin = Plugin();
        const int loaded = LoadPlugin(options.pluginPath, plugin);
        if (loaded != exitOk)
            return loaded;
        options.module = NextModule(plugin.header->getModule, options.module);
        module = plugin.header->getModule(options.module);
        if (module == nullptr)
            return Fail(exitBadModule, "the plug-in has no module " + std::to_string(options.module) + " any more");
        module->hostWindow = hostWindow;
        module->instance = plugin.library;
        RememberModule(options.pluginPath, options.module);
        SetWindowTextA(hostWindow, (std::string("brimhost - ") + Text(module->description)).c_str());
    }
}

int Run(HostOptions options)
{
    Plugin plugin;
    int result = LoadPlugin(options.pluginPath, plugin);
    if (result == exitOk && options.list)
        result = ListModules(plugin);
    if (result != exitOk || options.list) {
        if (plugin.library != nullptr)
            FreeLibrary(plugin.library);
        return result;
    }

    // A remembered module the plug-in no longer has: the viewer starts the
    // first. One asked for on the command line is refused as brimhost does.
    if (options.viewer && !options.moduleGiven && plugin.header->getModule(options.module) == nullptr)
        options.module = 0;
    VisModule* module = plugin.header->getModule(options.module);
    if (module == nullptr) {
        FreeLibrary(plugin.library);
        return Fail(exitBadModule, "the plug-in has no module " + std::to_string(options.module) +
                                       " (--list shows the modules)");
    }
    const std::string title = std::string("brimhost - ") + Text(module->description);
    HWND hostWindow = CreateHostWindow(GetModuleHandleA(nullptr), title.c_str(), !options.viewer);
    if (hostWindow == nullptr) {
        FreeLibrary(plugin.library);
        return Fail(exitHostWindow, "cannot create the host window (" + ErrorText(GetLastError()) + ")");
    }
    module->hostWindow = hostWindow;
    module->instance = plugin.library;

    StartEntryGuard(options.pluginPath, options.watchdogSeconds);
    if (options.config) {
        EnterEntry(Entry::Config);
        module->Config(module);
        LeaveEntry();
    } else {
        result = RunModules(options, plugin, module, hostWindow);
    }
    StopEntryGuard();
    DestroyWindow(hostWindow);
    if (plugin.library != nullptr)
        FreeLibrary(plugin.library);
    return result;
}

}  // namespace

// The wide command line, as UTF-8: every path the user gives reaches the
// file system whatever characters it holds.
int wmain(int argc, wchar_t** argv)
{
    const bool viewerProgram = IsViewerProgram();
    programName = viewerProgram ? "Brimwave.exe" : "brimhost";
    const std::string program = viewerProgram ? "Brimwave.exe" : "brimhost.exe";
    SetFailureReport(programName, ShowFailureBox);
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    std::transform(argv, argv + argc, arguments.begin(), Utf8Text);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    if (viewerProgram)
        AttachParentConsole();
    const ParsedOptions parsed =
        ParseHostOptions(argc, pointers.data(), viewerProgram ? ViewerDefaults() : HostOptions());
    viewer = parsed.options.viewer;
    if (!parsed.error.empty())
        return Fail(exitUsage, parsed.error + "\n(" + program + " --help lists the options and exit codes)");
    if (parsed.options.help) {
        std::printf("%s", HostUsage(program).c_str());
        return exitOk;
    }
    std::string error;
    if (parsed.options.listDevices)
        return ListAudioDevices(error) ? exitOk : Fail(exitNoAudio, error);
    // --list and --config run no module: nothing to listen for.
    const bool listen = parsed.options.listen && !parsed.options.list && !parsed.options.config;
    if (listen && !OpenListening(parsed.options.device, listening, Seconds(), error))
        return Fail(exitNoAudio, error);
    const int result = Run(parsed.options);
    CloseListening(listening);
    std::fflush(stdout);
    return result;
}
