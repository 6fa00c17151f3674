#include "linux-program/PulseCapture.h"

#include "audio/CaptureBuffer.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/rtclock.h>
#include <pulse/sample.h>
#include <pulse/timeval.h>
#include <pulse/stream.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

constexpr char clientName[] = "Brimwave";
constexpr int channels = 2;
// About 5.8 ms a fragment: the record latency stays well under 20 ms.
constexpr int fragmentFrames = 256;
// A connection or a query that takes longer than this counts as no server.
constexpr auto queryTimeout = std::chrono::seconds(3);
// An output that goes away is replaced a moment later, and the server may
// name the default "@DEFAULT_SINK@" meanwhile: it is asked again this often,
// for this long, before the recording counts as ended.
constexpr pa_usec_t askAgainAfter = 150 * PA_USEC_PER_MSEC;
constexpr auto askFor = std::chrono::seconds(15);

// The mainloop's thread appends, the frame loop takes blocks; a pause in
// the packets (a suspended sink sends none) is silence.
CaptureBuffer capture;
std::mutex historyLock;
std::string captureError;
bool captureEnded = false;
std::string changedSource;  // the source moved to, until TakeSourceChange

// Owned by the mainloop's thread once recording runs.
std::string recordedSource;
std::string announcedSource;  // the last source that recorded
bool following = false;
pa_time_event* askTimer = nullptr;
bool asking = false;
std::chrono::steady_clock::time_point askUntil;
std::string lostReason;  // why the source went, if no default replaces it

pa_threaded_mainloop* recordLoop = nullptr;
pa_context* recordContext = nullptr;
pa_stream* stream = nullptr;

std::string PulseError(const char* what, int code)
{
    return std::string("PulseAudio: ") + what + ": " + pa_strerror(code);
}

// A connected context on a mainloop of our own, for one query.
struct Query {
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    bool done = false;

    ~Query()
    {
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop)
            pa_mainloop_free(loop);
    }

    // One pass of the loop, waiting at most 100 ms for an event.
    bool Iterate()
    {
        return pa_mainloop_prepare(loop, 100 * 1000) >= 0 && pa_mainloop_poll(loop) >= 0 &&
               pa_mainloop_dispatch(loop) >= 0;
    }

    // Runs the loop until `ready` holds; false when the context fails, the
    // loop breaks or the server is too slow to answer.
    template <typename Ready>
    bool RunUntil(Ready ready)
    {
        const auto deadline = std::chrono::steady_clock::now() + queryTimeout;
        while (!ready()) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || std::chrono::steady_clock::now() > deadline ||
                !Iterate())
                return false;
        }
        return true;
    }

    std::string Reason(const char* what)
    {
        const int code = pa_context_errno(context);
        return PulseError(what, code != PA_OK ? code : PA_ERR_TIMEOUT);
    }

    bool Connect(std::string& error)
    {
        loop = pa_mainloop_new();
        context = loop ? pa_context_new(pa_mainloop_get_api(loop), clientName) : nullptr;
        if (!context) {
            error = "PulseAudio: cannot create a client context";
            return false;
        }
        // Never start a server of our own: no server is an error to report.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            !RunUntil([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; })) {
            error = Reason("no server");
            return false;
        }
        return true;
    }

    bool Finish(pa_operation* operation, const char* what, std::string& error)
    {
        if (operation)
            pa_operation_unref(operation);
        if (!operation || !RunUntil([this] { return done; })) {
            error = Reason(what);
            return false;
        }
        return true;
    }
};

struct ServerAnswer {
    Query* query;
    std::string defaultSink;
};

// Empty or a placeholder such as "@DEFAULT_SINK@": no output yet.
bool NamesOutput(const char* sink)
{
    return sink && sink[0] != '\0' && sink[0] != '@';
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto* answer = static_cast<ServerAnswer*>(userdata);
    if (info && NamesOutput(info->default_sink_name))
        answer->defaultSink = info->default_sink_name;
    answer->query->done = true;
}

struct SourceAnswer {
    Query* query;
    std::vector<PulseSource>* sources;
};

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* answer = static_cast<SourceAnswer*>(userdata);
    if (eol)
        answer->query->done = true;
    else if (info)
        answer->sources->push_back({info->name, info->description ? info->description : ""});
}

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Null frames: a hole in the stream, silence the server never sent.
void Append(const void* frames, long count)
{
    std::lock_guard<std::mutex> guard(historyLock);
    AppendPacket(capture, static_cast<const unsigned char*>(frames), count, Seconds());
}

void EndCapture(const std::string& reason)
{
    std::lock_guard<std::mutex> guard(historyLock);
    if (!captureEnded)
        captureError = reason;
    captureEnded = true;
}

// On the mainloop's thread: every fragment the server sends goes into the history.
void OnReadable(pa_stream* readable, std::size_t, void*)
{
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(readable) > 0 && pa_stream_peek(readable, &data, &bytes) == 0 && bytes > 0) {
        Append(data, static_cast<long>(bytes / (channels * sizeof(std::int16_t))));
        pa_stream_drop(readable);
    }
}

void AskAgain();

// A stream that is not ready cannot be disconnected; one that ended is gone.
void CloseStream()
{
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    if (pa_stream_get_state(stream) == PA_STREAM_READY)
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

void OnStreamState(pa_stream* changed, void*)
{
    const pa_stream_state_t state = pa_stream_get_state(changed);
    if (state == PA_STREAM_READY) {
        asking = false;
        if (!announcedSource.empty() && announcedSource != recordedSource) {
            std::lock_guard<std::mutex> guard(historyLock);
            changedSource = recordedSource;
        }
        announcedSource = recordedSource;
    } else if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        const std::string reason = PulseError("recording ended", pa_context_errno(recordContext));
        if (!following) {
            EndCapture(reason);
            return;
        }
        // Unplugged: the server names another default, soon.
        CloseStream();
        lostReason = reason;
        AskAgain();
    }
}

void OnContextState(pa_context* changed, void*)
{
    const pa_context_state_t state = pa_context_get_state(changed);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        EndCapture(PulseError("connection lost", pa_context_errno(changed)));
}

// With the mainloop locked: waits until `ready` or a failure, at most the
// query timeout.
template <typename Ready>
bool WaitLocked(Ready ready)
{
    const auto deadline = std::chrono::steady_clock::now() + queryTimeout;
    while (!ready()) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(recordContext)) ||
            (stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) || std::chrono::steady_clock::now() > deadline)
            return false;
        pa_threaded_mainloop_unlock(recordLoop);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pa_threaded_mainloop_lock(recordLoop);
    }
    return true;
}

// With the mainloop locked: a record stream on the source, connecting.
bool OpenRecordStream(const std::string& source, std::string& error)
{
    const pa_sample_spec format = {PA_SAMPLE_S16LE, captureRate, channels};
    stream = pa_stream_new(recordContext, "What the desktop plays", &format, nullptr);
    if (!stream) {
        error = PulseError("cannot make a record stream", pa_context_errno(recordContext));
        return false;
    }
    recordedSource = source;
    pa_stream_set_state_callback(stream, OnStreamState, nullptr);
    pa_stream_set_read_callback(stream, OnReadable, nullptr);
    pa_buffer_attr buffering = {};
    buffering.maxlength = static_cast<std::uint32_t>(-1);
    buffering.fragsize = fragmentFrames * channels * sizeof(std::int16_t);
    // A source that goes away ends the recording rather than moving it to
    // whatever the server falls back to, which may be a microphone.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream, source.c_str(), &buffering, flags) < 0) {
        error = PulseError(("cannot record " + source).c_str(), pa_context_errno(recordContext));
        return false;
    }
    return true;
}

void AskForDefault();

// On the mainloop's thread: the monitor of the server's default output. It
// takes the old stream's place, which ends without ending the capture.
void OnDefaultMonitor(pa_context*, const pa_source_info* info, int eol, void*)
{
    // PipeWire names a removed output for a moment, and records a source
    // that is not there from another.
    if (eol < 0)
        AskAgain();
    if (eol != 0 || !info || !info->name)
        return;
    const std::string source = info->name;
    const pa_stream_state_t state = stream ? pa_stream_get_state(stream) : PA_STREAM_UNCONNECTED;
    if (state == PA_STREAM_READY && source == recordedSource) {
        asking = false;
        return;
    }
    // A stream still connecting becomes ready or fails first.
    if (state == PA_STREAM_CREATING) {
        if (source != recordedSource)
            AskAgain();
        return;
    }
    CloseStream();
    std::string error;
    if (!OpenRecordStream(source, error))
        EndCapture(error);
}

void OnDefaultOutput(pa_context* context, const pa_server_info* info, void*)
{
    // With every output gone the servers name a stand-in that plays nowhere.
    if (!info || !NamesOutput(info->default_sink_name) || std::string(info->default_sink_name) == "auto_null") {
        AskAgain();
        return;
    }
    const std::string source = std::string(info->default_sink_name) + ".monitor";
    if (pa_operation* query = pa_context_get_source_info_by_name(context, source.c_str(), OnDefaultMonitor, nullptr))
        pa_operation_unref(query);
}

void AskForDefault()
{
    if (pa_operation* query = pa_context_get_server_info(recordContext, OnDefaultOutput, nullptr))
        pa_operation_unref(query);
}

// Once the time is up, a recording without a stream has ended.
void OnAskTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void*)
{
    if (std::chrono::steady_clock::now() < askUntil) {
        AskForDefault();
        return;
    }
    asking = false;
    if (!stream)
        EndCapture(lostReason);
}

void AskAgain()
{
    if (!asking) {
        asking = true;
        askUntil = std::chrono::steady_clock::now() + askFor;
    }
    pa_context_rttime_restart(recordContext, askTimer, pa_rtclock_now() + askAgainAfter);
}

void OnServerEvent(pa_context*, pa_subscription_event_type_t event, std::uint32_t, void*)
{
    if ((event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER)
        AskForDefault();
}

void FollowDefaultOutput()
{
    following = true;
    askTimer = pa_context_rttime_new(recordContext, PA_USEC_INVALID, OnAskTimer, nullptr);
    pa_context_set_subscribe_callback(recordContext, OnServerEvent, nullptr);
    if (pa_operation* subscribing = pa_context_subscribe(recordContext, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
        pa_operation_unref(subscribing);
}

bool ConnectRecording(const std::string& source, std::string& error)
{
    recordContext = pa_context_new(pa_threaded_mainloop_get_api(recordLoop), clientName);
    if (!recordContext) {
        error = "PulseAudio: cannot create a client context";
        return false;
    }
    pa_context_set_state_callback(recordContext, OnContextState, nullptr);
    if (pa_context_connect(recordContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !WaitLocked([] { return pa_context_get_state(recordContext) == PA_CONTEXT_READY; })) {
        error = PulseError("no server", pa_context_errno(recordContext));
        return false;
    }
    if (!OpenRecordStream(source, error))
        return false;
    if (!WaitLocked([] { return pa_stream_get_state(stream) == PA_STREAM_READY; })) {
        error = PulseError(("cannot record " + source).c_str(), pa_context_errno(recordContext));
        return false;
    }
    return true;
}

}  // namespace

bool DefaultMonitorSource(std::string& source, std::string& error)
{
    Query query;
    if (!query.Connect(error))
        return false;
    ServerAnswer answer = {&query, {}};
    // A placeholder name is asked about again: the server is choosing.
    const auto giveUp = std::chrono::steady_clock::now() + askFor;
    for (;;) {
        if (!query.Finish(pa_context_get_server_info(query.context, OnServerInfo, &answer), "server information",
                          error))
            return false;
        if (!answer.defaultSink.empty() || std::chrono::steady_clock::now() > giveUp)
            break;
        query.done = false;
        std::this_thread::sleep_for(std::chrono::microseconds(askAgainAfter));
    }
    if (answer.defaultSink.empty()) {
        error = "PulseAudio: the server has no default output";
        return false;
    }
    source = answer.defaultSink + ".monitor";
    return true;
}

bool ListPulseSources(std::vector<PulseSource>& sources, std::string& error)
{
    Query query;
    if (!query.Connect(error))
        return false;
    SourceAnswer answer = {&query, &sources};
    return query.Finish(pa_context_get_source_info_list(query.context, OnSourceInfo, &answer), "source list", error);
}

bool StartCapture(const std::string& source, bool followDefault, std::string& error)
{
    captureEnded = false;
    captureError.clear();
    changedSource.clear();
    announcedSource.clear();
    following = false;
    asking = false;
    WavFormat format;
    format.rate = captureRate;
    format.channels = channels;
    format.bytesPerSample = sizeof(std::int16_t);
    StartCaptureBuffer(capture, format, Seconds());
    recordLoop = pa_threaded_mainloop_new();
    if (!recordLoop || pa_threaded_mainloop_start(recordLoop) < 0) {
        error = "PulseAudio: cannot start a client mainloop";
        StopCapture();
        return false;
    }
    pa_threaded_mainloop_lock(recordLoop);
    const bool connected = ConnectRecording(source, error);
    if (connected && followDefault)
        FollowDefaultOutput();
    pa_threaded_mainloop_unlock(recordLoop);
    if (!connected)
        StopCapture();
    return connected;
}

bool LatestBlock(std::int16_t* left, std::int16_t* right, std::string& error)
{
    std::lock_guard<std::mutex> guard(historyLock);
    KeepCaptureClock(capture, Seconds());
    CaptureBlock(capture, 0, left, right);
    error = captureError;
    return !captureEnded;
}

bool TakeSourceChange(std::string& source)
{
    std::lock_guard<std::mutex> guard(historyLock);
    if (changedSource.empty())
        return false;
    source.swap(changedSource);
    changedSource.clear();
    return true;
}

void StopCapture()
{
    if (!recordLoop)
        return;
    pa_threaded_mainloop_stop(recordLoop);
    // The context's disconnection ends the stream: that is no unplugging.
    following = false;
    CloseStream();
    if (askTimer)
        pa_threaded_mainloop_get_api(recordLoop)->time_free(askTimer);
    askTimer = nullptr;
    if (recordContext) {
        pa_context_disconnect(recordContext);
        pa_context_unref(recordContext);
    }
    pa_threaded_mainloop_free(recordLoop);
    stream = nullptr;
    recordContext = nullptr;
    recordLoop = nullptr;
}
