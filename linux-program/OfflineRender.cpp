#include "linux-program/OfflineRender.h"

#include "audio/AudioClock.h"
#include "audio/SampleBytes.h"
#include "audio/SignalSource.h"
#include "linux-program/SongDecoder.h"
#include "linux-program/VideoEncoder.h"
#include "linux-program/VideoRender.h"
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
#include <memory>
#include <mutex>
#include <new>
#include <strings.h>
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

// Where the frames' samples come from: the WAV reader, or FFmpeg's decoder
// for any other song. Both say how many samples are known to be there, so
// the frame loop learns the song's length as it goes.
struct SampleSource {
    virtual ~SampleSource() = default;
    virtual long long Available() const = 0;
    // False once every sample is known; `error` tells a failure from the end.
    virtual bool More(std::string& error) = 0;
    virtual bool Fill(long long start, std::int16_t* left, std::int16_t* right, std::string& error) = 0;
};

struct WavSamples : SampleSource {
    SignalSource source;
    long long Available() const override { return static_cast<long long>(source.wav.format.frameCount); }
    bool More(std::string&) override { return false; }
    bool Fill(long long start, std::int16_t* left, std::int16_t* right, std::string& error) override
    {
        return FillBlock(source, start, left, right) || (error = "read failed", false);
    }
};

struct DecodedSamples : SampleSource {
    SongDecoder decoder;
    long long Available() const override { return decoder.Available(); }
    bool More(std::string& error) override { return decoder.DecodeMore(error); }
    bool Fill(long long start, std::int16_t* left, std::int16_t* right, std::string& error) override
    {
        return decoder.Fill(start, blockSamples, left, right, error);
    }
};

// Where drawn frames go, on the writer thread. Take may copy the frame into
// a buffer of its own (true), so that the renderer can draw into it again
// while Write does the slow part.
struct FrameSink {
    virtual ~FrameSink() = default;
    virtual bool Take(const unsigned char* frame, std::string& error) = 0;
    virtual bool Write(const unsigned char* frame, std::string& error) = 0;
    virtual bool Copies() const = 0;
};

struct RawSink : FrameSink {
    std::FILE* file = nullptr;
    int width = 0;
    int height = 0;
    std::size_t frameBytes = 0;
    std::vector<unsigned char> yuv;  // the frame converted, when yuv420p is written
    bool Copies() const override { return !yuv.empty(); }
    bool Take(const unsigned char* frame, std::string&) override
    {
        if (!yuv.empty())
            ConvertToYuv420(frame, PixelOrder::rgb0, width, height, yuv.data());
        return true;
    }
    bool Write(const unsigned char* frame, std::string& error) override
    {
        const std::size_t size = yuv.empty() ? frameBytes : yuv.size();
        if (std::fwrite(yuv.empty() ? frame : yuv.data(), 1, size, file) == size)
            return true;
        error = std::strerror(errno);
        return false;
    }
};

struct EncoderSink : FrameSink {
    VideoEncoder* encoder = nullptr;
    bool Copies() const override { return true; }
    bool Take(const unsigned char* frame, std::string& error) override { return encoder->ConvertFrame(frame, error); }
    bool Write(const unsigned char*, std::string& error) override { return encoder->EncodeFrame(error); }
};

// Hands drawn frames to a thread that writes them, so that drawing the next
// frame overlaps writing (or encoding) this one.
struct FrameWriter {
    FrameSink* sink = nullptr;
    std::size_t frameBytes = 0;    // one drawn BGR0 frame
    std::vector<std::vector<unsigned char>> buffers;
    std::deque<unsigned char*> free;
    std::deque<unsigned char*> full;
    bool closing = false;
    bool failed = false;
    std::string error;
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
        const bool failedBefore = writer.failed;
        hold.unlock();
        std::string error;
        const bool copies = writer.sink->Copies();
        // After a failure frames are only handed back, until the render stops.
        bool written = !failedBefore && writer.sink->Take(frame, error);
        if (copies)
            ReleaseFrame(writer, frame);
        written = written && writer.sink->Write(frame, error);
        if (!copies)
            ReleaseFrame(writer, frame);
        if (!written && !failedBefore) {
            std::lock_guard<std::mutex> failing(writer.lock);
            writer.failed = true;
            writer.error = error;
        }
        hold.lock();
    }
}

// The frames' memory, taken before anything else: a size too big for this
// machine is refused with a message, not ended by the allocator.
bool AllocateFrames(FrameWriter& writer, RawSink& raw, const OfflineOptions& options, int width, int height)
{
    raw.width = width;
    raw.height = height;
    raw.frameBytes = writer.frameBytes = static_cast<std::size_t>(width) * height * 4;
    try {
        if (options.outputPath.empty() && options.pixelFormat == RawPixelFormat::Yuv420p)
            raw.yuv.resize(Yuv420FrameBytes(width, height));
        writer.buffers.assign(queuedFrames, std::vector<unsigned char>(writer.frameBytes, 0));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (auto& buffer : writer.buffers)
        writer.free.push_back(buffer.data());
    return true;
}

void StartWriter(FrameWriter& writer, FrameSink& sink)
{
    writer.sink = &sink;
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
// BGR0 only where the frames are written as drawn: a converter takes the
// framebuffer's own order, which is a plain copy.
PixelOrder presentOrder = PixelOrder::rgb0;
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
    ReadOffscreenFrame(*presentTarget, presentOrder, presentPixels);
    presented = true;
}

bool EndsWithGif(const std::string& path)
{
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".gif") == 0;
}

constexpr int minEncodedSide = 16;
constexpr int maxEncodedSide = 4096;
constexpr int maxGifFps = 100;

// The song's samples: a WAV file that the reader takes, for raw video from
// the start, goes through the reader as it always has; anything else, and
// every encoded video (whose sound track needs the decoder), through FFmpeg.
int OpenSamples(const OfflineOptions& options, std::unique_ptr<SampleSource>& samples, int& rate,
                SongDecoder*& decoder)
{
    std::string wavError;
    const bool whole = options.startSeconds <= 0 && options.durationSeconds <= 0;
    if (options.outputPath.empty() && whole) {
        auto wav = std::make_unique<WavSamples>();
        wav->source.kind = SignalKind::WavFile;
        if (OpenWav(options.wavPath, wav->source.wav, wavError)) {
            rate = wav->source.rate = wav->source.wav.format.rate;
            samples = std::move(wav);
            return exitOk;
        }
    }
    auto decoded = std::make_unique<DecodedSamples>();
    std::string error;
    if (!decoded->decoder.Open(options.wavPath, options.startSeconds, options.durationSeconds, error)) {
        // A file that looks like a WAV is better described by the WAV reader.
        if (!wavError.empty() && wavError.find("RIFF") == std::string::npos)
            error = wavError;
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': " + error);
    }
    rate = decoded->decoder.Rate();
    decoder = &decoded->decoder;
    samples = std::move(decoded);
    return exitOk;
}

}  // namespace

int RunOfflineRender(const OfflineOptions& options)
{
    if (options.module < 0 || options.module >= moduleCount)
        return Fail(exitUsage, "no module " + std::to_string(options.module) + " (0 to " +
                                       std::to_string(moduleCount - 1) + ")");
    const bool encoded = !options.outputPath.empty();
    const std::string& outputPath = encoded ? options.outputPath : options.rawVideoPath;
    const VideoKind kind = EndsWithGif(outputPath) ? VideoKind::Gif : VideoKind::Mp4;
    if (IsTheSong(outputPath, options.wavPath))
        return Fail(exitUsage, "the video '" + outputPath + "' is the song itself");
    int width = options.width;
    int height = options.height;
    if (encoded) {
        if (std::min(width, height) < minEncodedSide || std::max(width, height) > maxEncodedSide)
            return Fail(exitUsage, "a video's sides are " + std::to_string(minEncodedSide) + " to " +
                                       std::to_string(maxEncodedSide) + " pixels, not " + std::to_string(width) +
                                       "x" + std::to_string(height));
        // A GIF counts each frame's time in hundredths of a second.
        if (kind == VideoKind::Gif && options.renderFps > maxGifFps) {
            char fps[32];
            std::snprintf(fps, sizeof fps, "%g", options.renderFps);
            return Fail(exitUsage, "a GIF shows at most " + std::to_string(maxGifFps) + " frames a second, not " +
                                       std::string(fps));
        }
        // yuv420p has one chroma sample per 2x2 pixels: an odd side is cropped.
        if (kind == VideoKind::Mp4 && (width % 2 || height % 2)) {
            std::fprintf(stderr, "brimwave: H.264 needs even sides: rendering %dx%d as %dx%d\n", width, height,
                         width & ~1, height & ~1);
            width &= ~1;
            height &= ~1;
        }
    }
    // A FIFO or device as the song would block its reader for ever.
    struct stat songStatus;
    const bool songFound = stat(options.wavPath.c_str(), &songStatus) == 0;
    if (songFound && !S_ISREG(songStatus.st_mode))
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': not a regular file");
    // FFmpeg's word for an empty file depends on its name's format.
    if (songFound && songStatus.st_size == 0)
        return Fail(exitBadWav, "cannot use '" + options.wavPath + "': it is empty");
    std::string settingsMessage;
    if (CheckSettingsFile(options.settingsPath, settingsMessage) == SettingsUse::Refused)
        return Fail(exitUsage, settingsMessage);
    std::unique_ptr<SampleSource> samples;
    SongDecoder* decoder = nullptr;
    int rate = 0;
    if (const int opened = OpenSamples(options, samples, rate, decoder); opened != exitOk)
        return opened;

    FrameWriter writer;
    RawSink raw;
    if (!AllocateFrames(writer, raw, options, width, height))
        return Fail(exitCaptureFailed, "not enough memory for " + std::to_string(queuedFrames) + " frames of " +
                                           std::to_string(width) + "x" + std::to_string(height));

    settings = initialSettings;
    if (!options.settingsPath.empty() && !LoadSettingsFile(options.settingsPath, options.module))
        std::fprintf(stderr, "brimwave: warning: cannot read '%s' (%s); rendering with the defaults\n",
                     options.settingsPath.c_str(), std::strerror(errno));

    VisModule record = MakeModule(moduleNames[options.module], nullptr, nullptr, nullptr, nullptr);
    record.sampleRate = rate;
    record.channelCount = 2;
    const double renderFps = OfflineRenderFps(options.renderFps, record.delayMs);

    // The encoded video is written beside its name, put in place when whole.
    PartialFile partial;
    VideoEncoder encoder;
    EncoderSink encoderSink;
    std::string error;
    std::string soundError;
    if (encoded) {
        CatchStopSignals();
        if (!CreatePartialFile(outputPath, partial, error))
            return Fail(exitCaptureFailed, error);
        VideoSettings video;
        video.kind = kind;
        video.width = width;
        video.height = height;
        video.fps = renderFps;
        video.songRate = rate;
        // Measured on 2 cores: x264 takes more than the renderer for the
        // textured board (every pixel moves) and from 1280x720 up, less for
        // the box and sphere modules below that, where a second encoder
        // thread only takes time from the renderer.
        video.encoderThreads = options.module == textureModule || width * height >= 1280 * 720 ? 2 : 1;
        if (!encoder.Open(partial.path, video, error)) {
            DiscardPartialFile(partial);
            return Fail(exitCaptureFailed, "cannot write '" + outputPath + "': " + error);
        }
        encoderSink.encoder = &encoder;
        if (kind == VideoKind::Mp4)
            decoder->onSamples = [&encoder, &soundError](const std::int16_t* samples, int frames, const void* layout) {
                return encoder.AddSamples(samples, frames, layout, soundError);
            };
    }

    OffscreenTarget target;
    if (!CreateOffscreenTarget(width, height, target, error)) {
        DiscardPartialFile(partial);
        return Fail(exitInitFailed, "no OpenGL context without a display: " + error);
    }
    // The plug-in's window opens at its saved size and the host then gives
    // it the video's: the set-up's projection, then the resize's.
    StartLevelMeter();
    SetupScene(options.module, width, height);
    ResizeScene(width, height);

    std::FILE* output = nullptr;
    if (encoded) {
        StartWriter(writer, encoderSink);
    } else {
        // A reader that goes away must end the render with a message, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
        output = OpenOutput(options.rawVideoPath);
        if (output == nullptr) {
            const int openError = errno;
            ReleaseScene();
            DestroyOffscreenTarget(target);
            return Fail(exitCaptureFailed,
                        "cannot open '" + options.rawVideoPath + "' (" + std::strerror(openError) + ")");
        }
        raw.file = output;
        StartWriter(writer, raw);
        WidenPipe(output, raw.yuv.empty() ? raw.frameBytes : raw.yuv.size());
    }

    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
    presentTarget = &target;
    presentOrder = encoded || !raw.yuv.empty() ? PixelOrder::rgb0 : PixelOrder::bgr0;
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
    RenderProgress progress(decoder ? OfflineFrameCount(renderFps, decoder->EstimatedSamples(), rate) : 0,
                            renderFps);
    const Clock::time_point start = Clock::now();
    for (;; ++frames) {
        if (StopSignal() != 0)
            break;
        // Every frame whose time lies inside the audio: the decoder finds
        // the end as it reaches it.
        error.clear();
        while (frames >= OfflineFrameCount(renderFps, samples->Available(), rate) && samples->More(error)) {
        }
        if (error.empty() && frames >= OfflineFrameCount(renderFps, samples->Available(), rate))
            break;
        if (error.empty())
            samples->Fill(OfflineBlockStart(frames, renderFps, rate), left, right, error);
        if (!error.empty()) {
            // The sound track's own failure is the output's, not the song's.
            if (!soundError.empty())
                result = Fail(exitCaptureFailed, "cannot write '" + outputPath + "': " + soundError);
            else
                result = Fail(exitBadWav, "cannot read '" + options.wavPath + "' any more: " + error);
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
            ReadOffscreenFrame(target, presentOrder, presentPixels);
        drawSeconds += SecondsSince(drawStarted);
        if (!QueueFrame(writer, presentPixels))
            break;
        if (encoded)
            progress.Update(frames + 1);
    }
    const bool written = StopWriter(writer);
    progress.End();
    SetFramePresenter(nullptr);
    ReleaseScene();
    DestroyOffscreenTarget(target);
    if (encoded) {
        const int stoppedBy = StopSignal();
        if (stoppedBy != 0) {
            DiscardPartialFile(partial);
            return Fail(128 + stoppedBy, std::string("stopped by ") + StopSignalName(stoppedBy));
        }
        if (result == exitOk && !written)
            result = Fail(exitCaptureFailed, "cannot write '" + outputPath + "': " + writer.error);
        if (result == exitOk && frames == 0)
            result = Fail(exitBadWav, "cannot use '" + options.wavPath + "': no audio in it" +
                                          (options.startSeconds > 0 ? " after --start" : ""));
        if (result == exitOk && !encoder.Finish(error))
            result = Fail(exitCaptureFailed, "cannot write '" + outputPath + "': " + error);
        if (result == exitOk && !CommitPartialFile(partial, error))
            result = Fail(exitCaptureFailed, error);
        DiscardPartialFile(partial);
        if (result != exitOk)
            return result;
        const double elapsed = SecondsSince(start);
        struct stat videoStatus;
        const double megabytes = stat(outputPath.c_str(), &videoStatus) == 0 ? videoStatus.st_size / 1e6 : 0.0;
        const double seconds = frames / renderFps;
        std::fprintf(stderr, "%s: %ld frames, %.2f s of video in %.2f s (%.1fx real time), %.2f MB (%.2f Mbit/s)\n",
                     outputPath.c_str(), frames, seconds, elapsed, elapsed > 0 ? seconds / elapsed : 0.0, megabytes,
                     seconds > 0 ? megabytes * 8 / seconds : 0.0);
        return exitOk;
    }
    const double elapsed = SecondsSince(start);
    const bool closed = output == stdout ? std::fflush(output) == 0 : std::fclose(output) == 0;
    const int closeError = errno;
    if (result != exitOk)
        return result;
    if (!written || !closed)
        return Fail(exitCaptureFailed, "cannot write the frames into '" + options.rawVideoPath + "' (" +
                                           (written ? std::strerror(closeError) : writer.error) + ")");
    const double perFrame = frames > 0 ? 1000.0 / frames : 0.0;
    std::fprintf(stderr,
                 "raw video: %ld frames in %.2f s (%.1f fps); per frame: drawing and read-back %.2f ms, "
                 "waiting for the writer %.2f ms\n",
                 frames, elapsed, elapsed > 0 ? frames / elapsed : 0.0, drawSeconds * perFrame,
                 waitSeconds * perFrame);
    return exitOk;
}
