#include "native/PulseCapture.h"

#include "host/SampleBytes.h"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>

#include <algorithm>
#include <array>
#include <atomic>
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

// Newest frames last; the reader thread appends, the frame loop copies.
std::array<std::int16_t, blockSamples * channels> history = {};
std::mutex historyLock;
std::string captureError;
bool captureEnded = false;
double latencySumMs = 0.0;
double latencyMaximumMs = 0.0;
long latencyReads = 0;

pa_simple* stream = nullptr;
std::thread reader;
std::atomic<bool> stopping{false};

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

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto* answer = static_cast<ServerAnswer*>(userdata);
    if (info && info->default_sink_name)
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

void Append(const std::int16_t* frames, int count)
{
    const int samples = std::min(count, blockSamples) * channels;
    std::lock_guard<std::mutex> guard(historyLock);
    std::move(history.begin() + samples, history.end(), history.begin());
    std::copy(frames + (count * channels - samples), frames + count * channels, history.end() - samples);
}

void ReadFragments()
{
    std::array<std::int16_t, fragmentFrames * channels> fragment;
    constexpr long settleFragments = captureRate / fragmentFrames;
    long fragments = 0;
    while (!stopping) {
        int code = 0;
        if (pa_simple_read(stream, fragment.data(), sizeof(fragment), &code) < 0) {
            std::lock_guard<std::mutex> guard(historyLock);
            captureError = PulseError("recording ended", code);
            captureEnded = true;
            return;
        }
        Append(fragment.data(), fragmentFrames);
        const pa_usec_t latency = pa_simple_get_latency(stream, &code);
        // The server sends what it had buffered before the stream's latency
        // was settled in one burst: the first second is not the steady state.
        if (++fragments <= settleFragments)
            continue;
        std::lock_guard<std::mutex> guard(historyLock);
        latencySumMs += latency / 1000.0;
        latencyMaximumMs = std::max(latencyMaximumMs, latency / 1000.0);
        ++latencyReads;
    }
}

}  // namespace

bool DefaultMonitorSource(std::string& source, std::string& error)
{
    Query query;
    if (!query.Connect(error))
        return false;
    ServerAnswer answer = {&query, {}};
    if (!query.Finish(pa_context_get_server_info(query.context, OnServerInfo, &answer), "server information", error))
        return false;
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

bool StartCapture(const std::string& source, std::string& error)
{
    const pa_sample_spec format = {PA_SAMPLE_S16LE, captureRate, channels};
    pa_buffer_attr buffering = {};
    buffering.maxlength = static_cast<std::uint32_t>(-1);
    buffering.fragsize = fragmentFrames * channels * sizeof(std::int16_t);
    int code = 0;
    stream = pa_simple_new(nullptr, clientName, PA_STREAM_RECORD, source.c_str(), "What the desktop plays", &format,
                           nullptr, &buffering, &code);
    if (!stream) {
        error = PulseError(("cannot record " + source).c_str(), code);
        return false;
    }
    stopping = false;
    captureEnded = false;
    reader = std::thread(ReadFragments);
    return true;
}

bool LatestBlock(std::int16_t* left, std::int16_t* right, std::string& error)
{
    std::lock_guard<std::mutex> guard(historyLock);
    for (int i = 0; i < blockSamples; ++i) {
        left[i] = history[i * channels];
        right[i] = history[i * channels + 1];
    }
    error = captureError;
    return !captureEnded;
}

CaptureLatency MeasuredLatency()
{
    std::lock_guard<std::mutex> guard(historyLock);
    return {latencyReads ? latencySumMs / latencyReads : 0.0, latencyMaximumMs, latencyReads};
}

void StopCapture()
{
    stopping = true;
    if (reader.joinable())
        reader.join();
    if (stream)
        pa_simple_free(stream);
    stream = nullptr;
}
