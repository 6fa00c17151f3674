// Capture latency of the native program's recording, end to end: a click is
// played into the default output through a low-latency stream, and the time
// from when the server is due to play it to when the frame loop's copy of
// the newest samples first holds it is measured. Prints figures; asserts nothing.
#include "audio/SampleBytes.h"
#include "linux-program/PulseCapture.h"

#include <pulse/simple.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int clicks = 40;
constexpr int blockFrames = 441;  // 10 ms a write

bool HoldsClick(const std::int16_t* samples)
{
    return std::any_of(samples, samples + blockSamples, [](std::int16_t s) { return s > 16000; });
}

}  // namespace

int main()
{
    std::string source;
    std::string error;
    if (!DefaultMonitorSource(source, error) || !StartCapture(source, false, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const pa_sample_spec format = {PA_SAMPLE_S16LE, captureRate, 2};
    pa_buffer_attr buffering = {};
    buffering.maxlength = static_cast<std::uint32_t>(-1);
    buffering.tlength = blockFrames * 4 * 2;
    buffering.prebuf = static_cast<std::uint32_t>(-1);
    buffering.minreq = static_cast<std::uint32_t>(-1);
    int code = 0;
    pa_simple* player = pa_simple_new(nullptr, "Brimwave bench", PA_STREAM_PLAYBACK, nullptr, "clicks", &format,
                                      nullptr, &buffering, &code);
    if (!player)
        return 1;
    std::array<std::int16_t, blockFrames * 2> quiet = {};
    std::array<std::int16_t, blockFrames * 2> click;
    click.fill(30000);
    std::array<std::int16_t, blockSamples> left, right;

    std::vector<double> latencies;
    for (int n = 0; n < clicks * 30; ++n) {
        const bool loud = n % 30 == 15;
        pa_simple_write(player, loud ? click.data() : quiet.data(), sizeof(quiet), &code);
        if (!loud)
            continue;
        // Due to play once what is queued ahead of it has played.
        const auto due = Clock::now() + std::chrono::microseconds(pa_simple_get_latency(player, &code)) -
                         std::chrono::milliseconds(10);
        while (LatestBlock(left.data(), right.data(), error) && !HoldsClick(left.data()) &&
               Clock::now() - due < std::chrono::seconds(1))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due).count());
    }
    pa_simple_free(player);
    StopCapture();
    std::sort(latencies.begin(), latencies.end());
    std::printf("capture latency over %zu clicks: median %.1f ms, 90th percentile %.1f ms, largest %.1f ms\n",
                latencies.size(), latencies[latencies.size() / 2], latencies[latencies.size() * 9 / 10],
                latencies.back());
    return 0;
}
