// What the plug-in's own code costs per frame, with GL taken out: the level
// meter on each module's constants and on each kind of sample bytes, and each
// scene routine against the GL stand-in with its recording off.
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "scenes/Scenes.h"
#include "settings/Settings.h"
#include "glrecorder/GlRecorder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>

namespace {

struct Meter {
    const char* name;
    MeterConstants constants;
};

constexpr std::array<Meter, 3> meters = {{
    {"Rectangles", rectanglesMeter},
    {"Spheres", spheresMeter},
    {"Texture", textureMeter},
}};

struct Source {
    const char* name;
    int vistype;
};

constexpr std::array<Source, 2> sources = {{{"waveform", 0}, {"spectrum", 1}}};

struct Scene {
    const char* name;
    void (*draw)();
};

constexpr std::array<Scene, 3> scenes = {{
    {"Rectangles", DrawRectanglesScene},
    {"Spheres", DrawSpheresScene},
    {"Texture", DrawTextureScene},
}};

// Bytes shaped like a player's: the waveform two tones as signed bytes (so
// small negative samples read as bytes near 255), the spectrum falling off
// with frequency under a ripple. The channels differ.
VisModule MusicLikeRecord()
{
    VisModule module = {};
    for (int channel = 0; channel < 2; ++channel) {
        for (int i = 0; i < sampleCount; ++i) {
            const double wave = 60.0 * std::sin(i * (0.05 + 0.01 * channel)) + 30.0 * std::sin(i * 0.37);
            module.waveformData[channel][i] = static_cast<unsigned char>(static_cast<signed char>(wave));
            const double magnitude = 240.0 / (1.0 + i / 24.0) * (0.6 + 0.4 * std::sin(i * (0.9 + 0.2 * channel)));
            module.spectrumData[channel][i] = static_cast<unsigned char>(magnitude);
        }
    }
    return module;
}

void MeasureLevelsCall(benchmark::State& state, MeterConstants constants, int vistype)
{
    const VisModule module = MusicLikeRecord();
    settings = initialSettings;
    settings.vistype = vistype;
    for (auto _ : state) {
        MeasureLevels(module, constants);
        benchmark::DoNotOptimize(channelLevels);
    }
}

void SceneFrame(benchmark::State& state, void (*draw)())
{
    settings = initialSettings;
    channelLevels.level = {1.2f, 0.8f};
    glRecording = false;
    for (auto _ : state)
        draw();
    glRecording = true;
}

}  // namespace

// The set-up is not linked: the Spheres scene draws on the stand-in's quadric.
GLUquadric* sphereQuadric = nullptr;

int main(int argc, char** argv)
{
    sphereQuadric = gluNewQuadric();
    for (const Meter& meter : meters)
        for (const Source& source : sources)
            benchmark::RegisterBenchmark(("MeasureLevels/" + std::string(meter.name) + "/" + source.name).c_str(),
                                         MeasureLevelsCall, meter.constants, source.vistype);
    for (const Scene& scene : scenes)
        benchmark::RegisterBenchmark(("SceneWithoutGl/" + std::string(scene.name)).c_str(), SceneFrame, scene.draw);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
