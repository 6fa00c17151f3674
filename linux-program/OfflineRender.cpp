#include "linux-program/OfflineRender.h"

#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"
#include "audio/SignalSource.h"
#include "linux-program/Yuv420.h"
#include "cli/ExitCodes.h"
#include "cli/Failure.h"
#include "frame/FrameStep.h"
#include "offscreen/OffscreenTarget.h"
#include "player/VisModule.h"
#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "settings/Modules.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

// Frames drawn but not yet written: enough for the renderer to run on while
// the encoder takes a frame, little enough to stay a few megabytes.
constexpr int queuedFrames = 4;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Hands drawn frames to a thread that writes them, so that drawing the next
// frame overlaps writing this one into the encoder.
struct FrameWriter {
    std::FILE* file = nullptr;
    int width = 0;
    int height = 0;
    std::size_t frameBytes = 0;    // one drawn BGR0 frame
    std::vector<unsigned char> yuv;  // the frame converted, when yuv420p is written
    std::vector<std::vector<unsigned char>> buffers;
    std::deque<unsigned char*> free;
    std::deque<unsigned char*> full;
    bool closing = false;
    bool failed = false;
    int writeError = 0;
    std::mutex lock;
    std::condition_variable changed;
    std::thread thread;
};

void ReleaseFrame(FrameWriter& writer, unsigned char* frame)
{
    std::lock_guard<std::mutex> hold(writer.lock);
    writer.free.push_back(frame);
    writer.changed.notify_all();
}

void WriteFrames(FrameWriter& writer)
{
    std::unique_lock<std::mutex> hold(writer.lock);
    for (;;) {
        writer.changed.wait(hold, [&] { return !writer.full.empty() || writer.closing; });
        if (writer.full.empty())
            return;
        unsigned char* frame = writer.full.front();
        writer.full.pop_front();
        hold.unlock();
        const bool converted = !writer.yuv.empty();
        if (converted) {
            ConvertBgr0ToYuv420(frame, writer.width, writer.height, writer.yuv.data());
            // The renderer may draw into it again while the copy is written.
            ReleaseFrame(writer, frame);
        }
        const std::size_t size = converted ? writer.yuv.size() : writer.frameBytes;
        const bool written = std::fwrite(converted ? writer.yuv.data() : frame, 1, size, writer.file) == size;
        const int error = errno;
        if (!written) {
            std::lock_guard<std::mutex> failing(writer.lock);
            if (!writer.failed) {
                writer.failed = true;
                writer.writeError = error;
            }
        }
        if (!converted)
            ReleaseFrame(writer, frame);
        hold.lock();
    }
}

// The frames' memory, taken before anything else: a size too big for this
// machine is refused with a message, not ended by the allocator.
bool AllocateFrames(FrameWriter& writer, const OfflineOptions& options)
{
    writer.width = options.width;
    writer.height = options.height;
    writer.frameBytes = static_cast<std::size_t>(options.width) * options.height * 4;
    try {
        if (options.pixelFormat == RawPixelFormat::Yuv420p)
            writer.yuv.resize(Yuv420FrameBytes(options.width, options.height));
        writer.buffers.assign(queuedFrames, std::vector<unsigned char>(writer.frameBytes, 0));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (auto& buffer : writer.buffers)
        writer.free.push_back(buffer.data());
    return true;
}

void StartWriter(FrameWriter& writer, std::FILE* file)
{
    writer.file = file;
    writer.thread = std::thread(WriteFrames, std::ref(writer));
}

// A buffer to draw the next frame into, once the writer has one to spare.
unsigned char* TakeFreeBuffer(FrameWriter& writer)
{
    std::unique_lock<std::mutex> hold(writer.lock);
    writer.changed.wait(hold, [&] { return !writer.free.empty(); });
    unsigned char* buffer = writer.free.front();
    writer.free.pop_front();
    return buffer;
}

// False once a write has failed: nothing after it would reach the reader.
bool QueueFrame(FrameWriter& writer, unsigned char* frame)
{
    std::lock_guard<std::mutex> hold(writer.lock);
    writer.full.push_back(frame);
    writer.changed.notify_all();
    return !writer.failed;
}

// Writes what is queued and ends the thread; false when any write failed.
bool StopWriter(FrameWriter& writer)
{
    {
        std::lock_guard<std::mutex> hold(writer.lock);
        writer.closing = true;
        writer.changed.notify_all();
    }
    writer.thread.join();
    return !writer.failed;
}

// Where the scenes' PresentFrame reads the frame they have drawn.
const OffscreenTarget* presentTarget = nullptr;
unsigned char* presentPixels = nullptr;
bool presented = false;

// A pipe holds 64 KiB unless asked for more: the reader would be woken a
// dozen times a frame. Up to a frame, as much as the system allows.
void WidenPipe(std::FILE* output, std::size_t frameBytes)
{
    const int fd = fileno(output);
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode))
        return;
    for (std::size_t size = std::min<std::size_t>(frameBytes, 1 << 24); size >= 65536; size /= 2)
        if (fcntl(fd, F_SETPIPE_SZ, static_cast<int>(size)) >= 0)
            return;
}

// Opening the output truncates it: the song named as its own video, under
// any name or link, would be lost before a frame is drawn.
bool IsTheSong(const std::string& output, const std::string& song)
{
    struct stat songStatus;
    struct stat outputStatus;
    const int opened = output == "-" ? fstat(STDOUT_FILENO, &outputStatus) : stat(output.c_str(), &outputStatus);
    return opened == 0 && stat(song.c_str(), &songStatus) == 0 && songStatus.st_dev == outputStatus.st_dev &&
           songStatus.st_ino == outputStatus.st_ino;
}

std::FILE* OpenOutput(const std::string& path)
{
    return path == "-" ? stdout : std::fopen(path.c_str(), "wb");
}

void PresentOffscreenFrame()
{
    ReadOffscreenFrame(*presentTarget, presentPixels);
    presented = true;
}

}  // namespace

int RunOfflineRender(const OfflineOptions& options)
{
    if (options.module < 0 || options.module >= moduleCount)
        return Fail(exitUsage, "no module " + std::to_string(options.module) + " (0 to " +
                                       std::to_string(moduleCount - 1) + ")");
    if (IsTheSong(options.rawVideoPath, options.wavPath))
        return Fail(exitUsage, "the video '" + options.rawVideoPath + "' is the song itself");
    // A FIFO or device as the song would block its reader for ever.
    struct stat songStatus;
    if (stat(options.wavPath.c_str(), &songStatus) == 0 && !S_ISREG(songStatus.st_mode))
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': not a regular file");
    std::string settingsMessage;
    if (CheckSettingsFile(options.settingsPath, settingsMessage) == SettingsUse::Refused)
        return Fail(exitUsage, settingsMessage);
    SignalSource source;
    source.kind = SignalKind::WavFile;
    std::string error;
    if (!OpenWav(options.wavPath, source.wav, error))
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': " + error);
    source.rate = source.wav.format.rate;

    FrameWriter writer;
    if (!AllocateFrames(writer, options)) {
        CloseWav(source.wav);
        return Fail(exitCaptureFailed, "not enough memory for " + std::to_string(queuedFrames) + " frames of " +
                                           std::to_string(options.width) + "x" + std::to_string(options.height));
    }

    settings = initialSettings;
    if (!options.settingsPath.empty() && !LoadSettingsFile(options.settingsPath, options.module))
        std::fprintf(stderr, "brimwave: warning: cannot read '%s' (%s); rendering with the defaults\n",
                     options.settingsPath.c_str(), std::strerror(errno));

    OffscreenTarget target;
    if (!CreateOffscreenTarget(options.width, options.height, target, error)) {
        CloseWav(source.wav);
        return Fail(exitInitFailed, "no OpenGL context without a display: " + error);
    }
    // The plug-in's window opens at its saved size and the host then gives
    // it the video's: the set-up's projection, then the resize's.
    StartLevelMeter();
    SetupScene(options.module, options.width, options.height);
    ResizeScene(options.width, options.height);

    // A reader that goes away must end the render with a message, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::FILE* output = OpenOutput(options.rawVideoPath);
    if (output == nullptr) {
        const int openError = errno;
        ReleaseScene();
        DestroyOffscreenTarget(target);
        CloseWav(source.wav);
        return Fail(exitCaptureFailed, "cannot open '" + options.rawVideoPath + "' (" + std::strerror(openError) + ")");
    }
    StartWriter(writer, output);
    WidenPipe(output, writer.yuv.empty() ? writer.frameBytes : writer.yuv.size());

    VisModule record = MakeModule(moduleNames[options.module], nullptr, nullptr, nullptr, nullptr);
    record.sampleRate = source.rate;
    record.channelCount = 2;
    const double renderFps = OfflineRenderFps(options.renderFps, record.delayMs);
    const long frameCount = OfflineFrameCount(renderFps, source.wav.format.frameCount, source.rate);

    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
    presentTarget = &target;
    SetFramePresenter(PresentOffscreenFrame);
    // Init shows the plug-in's window, whose paint draws a frame before the
    // first Render and so moves the animation on once: the same here, into
    // a buffer that nothing has been queued from yet.
    presentPixels = writer.buffers.front().data();
    RedrawFrame(options.module);
    int result = exitOk;
    long frames = 0;
    double drawSeconds = 0.0;
    double waitSeconds = 0.0;
    const Clock::time_point start = Clock::now();
    for (; frames < frameCount; ++frames) {
        if (!FillBlock(source, OfflineBlockStart(frames, renderFps, source.rate), left, right)) {
            result = Fail(exitBadWav, "cannot read '" + options.wavPath + "' any more");
            break;
        }
        WriteRecordBytes(left, right, record);
        const Clock::time_point waitStarted = Clock::now();
        presentPixels = TakeFreeBuffer(writer);
        const Clock::time_point drawStarted = Clock::now();
        waitSeconds += std::chrono::duration<double>(drawStarted - waitStarted).count();
        presented = false;
        StepFrame(record, options.module);
        // A scene that presents nothing leaves the previous frame in the
        // framebuffer, and so in the video.
        if (!presented)
            ReadOffscreenFrame(target, presentPixels);
        drawSeconds += SecondsSince(drawStarted);
        if (!QueueFrame(writer, presentPixels))
            break;
    }
    const bool written = StopWriter(writer);
    const double elapsed = SecondsSince(start);
    const bool closed = output == stdout ? std::fflush(output) == 0 : std::fclose(output) == 0;
    SetFramePresenter(nullptr);
    ReleaseScene();
    DestroyOffscreenTarget(target);
    CloseWav(source.wav);
    if (result != exitOk)
        return result;
    if (!written || !closed)
        return Fail(exitCaptureFailed, "cannot write the frames into '" + options.rawVideoPath + "' (" +
                                           std::strerror(written ? errno : writer.writeError) + ")");
    const double perFrame = frames > 0 ? 1000.0 / frames : 0.0;
    std::fprintf(stderr,
                 "raw video: %ld frames in %.2f s (%.1f fps); per frame: drawing and read-back %.2f ms, "
                 "waiting for the writer %.2f ms\n",
                 frames, elapsed, elapsed > 0 ? frames / elapsed : 0.0, drawSeconds * perFrame,
                 waitSeconds * perFrame);
    return exitOk;
}
