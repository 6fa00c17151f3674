// The framebuffer calls are GL 3.0: declared by <GL/gl.h> only when asked for.
#define GL_GLEXT_PROTOTYPES
#include "gstreamer/ElementDrawing.h"

#include "audio/SampleBytes.h"
#include "frame/FrameStep.h"
#include "offscreen/OffscreenTarget.h"
#include "player/VisModule.h"
#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"
#include "settings/Modules.h"
#include "settings/Settings.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr int noModule = -1;

struct Drawing {
    std::mutex lock;
    const void* owner = nullptr;
    OffscreenTarget target;
    bool haveTarget = false;
    int sceneModule = noModule;    // whose scene the context holds
    bool sceneLines = false;
    int startedModule = noModule;  // whose meter runs in this stream
    int fallspeed = 0;             // the meter's fall step was derived from it
    std::vector<unsigned char> rows;  // the read-back when the frame's rows are padded
    unsigned char* presentPixels = nullptr;
    PixelOrder presentOrder = PixelOrder::bgr0;
    bool presented = false;
};

Drawing drawing;

// The scenes end each frame with PresentFrame: the frame is read back then,
// before anything else touches the framebuffer.
void PresentIntoFrame()
{
    ReadOffscreenFrame(drawing.target, drawing.presentOrder, drawing.presentPixels);
    drawing.presented = true;
}

void MakeCurrent()
{
    eglMakeCurrent(drawing.target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, drawing.target.context);
}

// Another thread may draw next; EGL refuses a context current elsewhere.
void ReleaseCurrent()
{
    eglMakeCurrent(drawing.target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

// The context current: the scene's GL objects go with the context. Unlike
// DestroyOffscreenTarget this leaves the display initialised: Mesa 22.3
// keeps about 4 KB for every termination of a display that drew, and a
// player starts and stops the element many times.
void DestroyTarget()
{
    if (!drawing.haveTarget)
        return;
    if (drawing.sceneModule != noModule)
        ReleaseScene();
    drawing.sceneModule = noModule;
    SetFramePresenter(nullptr);
    OffscreenTarget& target = drawing.target;
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteRenderbuffers(1, &target.colour);
    glDeleteRenderbuffers(1, &target.depth);
    ReleaseCurrent();
    eglDestroyContext(target.display, target.context);
    target = OffscreenTarget{};
    drawing.haveTarget = false;
}

// Leaves the context current when true.
bool PrepareLocked(int width, int height, std::string& error)
{
    if (drawing.haveTarget && drawing.target.width == width && drawing.target.height == height) {
        MakeCurrent();
        return true;
    }
    if (drawing.haveTarget) {
        MakeCurrent();
        DestroyTarget();
    }
    if (!CreateOffscreenTarget(width, height, drawing.target, error))
        return false;
    drawing.haveTarget = true;
    SetFramePresenter(PresentIntoFrame);
    return true;
}

void ApplySettings(const ElementSettings& wanted)
{
    const float fallStep = settings.fallStep;
    settings = initialSettings;
    settings.fallStep = fallStep;
    settings.vistype = wanted.vistype;
    settings.fallspeed = wanted.fallspeed;
    settings.scales = wanted.scales;
    settings.scalew = wanted.scalew;
    settings.detail = wanted.detail;
    settings.lines = wanted.lines ? 1 : 0;
}

// A module's start as the player makes it: the meter from the settings and
// its scene set up, then the paint of its window shown, which moves the
// animation on once before the first frame.
bool StartMeterAndScene(const ElementSettings& wanted)
{
    bool paint = false;
    if (drawing.startedModule != wanted.module) {
        StartLevelMeter();
        drawing.startedModule = wanted.module;
        drawing.fallspeed = wanted.fallspeed;
        paint = true;
    } else if (drawing.fallspeed != wanted.fallspeed) {
        // Only the meter's start derives the fall step; the held peaks carry on.
        const auto peaks = channelLevels.peak;
        StartLevelMeter();
        channelLevels.peak = peaks;
        drawing.fallspeed = wanted.fallspeed;
    }
    // The wireframe is chosen when the quadric is made.
    if (drawing.sceneModule != wanted.module || drawing.sceneLines != wanted.lines) {
        if (drawing.sceneModule != noModule)
            ReleaseScene();
        SetupScene(wanted.module, drawing.target.width, drawing.target.height);
        ResizeScene(drawing.target.width, drawing.target.height);
        drawing.sceneModule = wanted.module;
        drawing.sceneLines = wanted.lines;
    }
    return paint;
}

}  // namespace

ElementSettings DefaultElementSettings()
{
    return {rectanglesModule,         initialSettings.vistype, initialSettings.fallspeed, initialSettings.scales,
            initialSettings.scalew,   initialSettings.detail,  initialSettings.lines != 0};
}

bool ClaimDrawing(const void* owner)
{
    std::lock_guard<std::mutex> hold(drawing.lock);
    if (drawing.owner != nullptr && drawing.owner != owner)
        return false;
    drawing.owner = owner;
    return true;
}

void ReleaseDrawing(const void* owner)
{
    std::lock_guard<std::mutex> hold(drawing.lock);
    if (drawing.owner != owner)
        return;
    if (drawing.haveTarget) {
        MakeCurrent();
        DestroyTarget();
    }
    drawing.startedModule = noModule;
    drawing.rows.clear();
    drawing.rows.shrink_to_fit();
    drawing.owner = nullptr;
}

bool PrepareTarget(const void* owner, int width, int height, std::string& error)
{
    std::lock_guard<std::mutex> hold(drawing.lock);
    if (drawing.owner != owner)
        return error = "another brimwave element is drawing", false;
    if (!PrepareLocked(width, height, error))
        return false;
    ReleaseCurrent();
    return true;
}

bool DrawFrame(const void* owner, const std::int16_t* left, const std::int16_t* right, const ElementSettings& wanted,
               bool restartLevels, const FrameOut& out, std::string& error)
{
    std::lock_guard<std::mutex> hold(drawing.lock);
    if (drawing.owner != owner)
        return error = "another brimwave element is drawing", false;
    if (!PrepareLocked(out.width, out.height, error))
        return false;
    const int rowBytes = out.width * 4;
    const bool padded = out.stride != rowBytes;
    if (padded)
        drawing.rows.resize(static_cast<std::size_t>(rowBytes) * out.height);
    drawing.presentPixels = padded ? drawing.rows.data() : out.pixels;
    drawing.presentOrder = out.rgbx ? PixelOrder::rgb0 : PixelOrder::bgr0;

    ApplySettings(wanted);
    const bool paint = StartMeterAndScene(wanted);
    if (restartLevels)
        StartLevelMeter();
    if (paint)
        RedrawFrame(wanted.module);

    VisModule record = MakeModule(moduleNames[wanted.module], nullptr, nullptr, nullptr, nullptr);
    WriteRecordBytes(left, right, record);
    drawing.presented = false;
    StepFrame(record, wanted.module);
    // A scene that presents nothing leaves the previous picture in the framebuffer.
    if (!drawing.presented)
        ReadOffscreenFrame(drawing.target, drawing.presentOrder, drawing.presentPixels);
    ReleaseCurrent();

    if (padded)
        for (int y = 0; y < out.height; ++y)
            std::memcpy(out.pixels + static_cast<std::size_t>(y) * out.stride,
                        drawing.rows.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    return true;
}
