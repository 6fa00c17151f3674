// The GStreamer element brimwave: the base class cuts the audio into windows
// of a frame's worth of samples, FramePacing picks one a frame and the block
// of samples it shows, and each frame is the core's, as `brimwave --render`
// draws it.
#include "gstreamer/ElementDrawing.h"
#include "gstreamer/FramePacing.h"

#include "audio/SampleBytes.h"
#include "settings/Modules.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>
#include <gst/pbutils/gstaudiovisualizer.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstdint>
#include <string>

GST_DEBUG_CATEGORY_STATIC(brimwave_debug);
#define GST_CAT_DEFAULT brimwave_debug

namespace {

struct ConfigRange {
    int minimum;
    int maximum;
};

// The ranges of the configuration dialogs' trackbars (settings/ConfigDialogs.cpp).
constexpr ConfigRange fallspeedRange = {10, 700};
constexpr ConfigRange scalesRange = {1, 5000};
constexpr ConfigRange scalewRange = {3000, 30000};
constexpr ConfigRange detailRange = {2, 30};

enum Property {
    propertyNone,
    propertyModule,
    propertyVistype,
    propertyFallspeed,
    propertyScales,
    propertyScalew,
    propertyDetail,
    propertyLines,
};

}  // namespace

struct GstBrimwave {
    GstAudioVisualizer parent;
    ElementSettings wanted;  // under the object lock
    gboolean flushed;        // under the object lock: the next frame restarts the levels
    gboolean claimed;        // holds the process's drawing
    // The streaming thread's:
    gboolean paced;          // the pacing has a grid for these caps
    gboolean dropping;       // the frame just rendered is not shown
    gboolean restartLevels;  // flushed since the last frame drawn
    FramePacing* pacing;
};

struct GstBrimwaveClass {
    GstAudioVisualizerClass parent_class;
};

#define GST_TYPE_BRIMWAVE (gst_brimwave_get_type())
#define GST_BRIMWAVE(object) (G_TYPE_CHECK_INSTANCE_CAST((object), GST_TYPE_BRIMWAVE, GstBrimwave))

GType gst_brimwave_get_type();
G_DEFINE_TYPE(GstBrimwave, gst_brimwave, GST_TYPE_AUDIO_VISUALIZER)

namespace {

GType ModuleEnumType()
{
    static GType type = 0;
    if (g_once_init_enter(&type)) {
        static const GEnumValue values[] = {
            {rectanglesModule, moduleNames[rectanglesModule], "rectangles"},
            {spheresModule, moduleNames[spheresModule], "spheres"},
            {textureModule, moduleNames[textureModule], "texture"},
            {0, nullptr, nullptr},
        };
        g_once_init_leave(&type, g_enum_register_static("GstBrimwaveModule", values));
    }
    return type;
}

GType VistypeEnumType()
{
    static GType type = 0;
    if (g_once_init_enter(&type)) {
        static const GEnumValue values[] = {
            {0, "Waveform", "waveform"},
            {1, "Spectrum", "spectrum"},
            {0, nullptr, nullptr},
        };
        g_once_init_leave(&type, g_enum_register_static("GstBrimwaveVistype", values));
    }
    return type;
}

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) " GST_AUDIO_NE(S16) ", layout = (string) interleaved, "
                    "rate = (int) [ 1, MAX ], channels = (int) [ 1, 2 ]"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { BGRx, RGBx }, width = (int) [ 1, 16384 ], "
                    "height = (int) [ 1, 16384 ], framerate = (fraction) [ 1/100, 1000 ]"));

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* property)
{
    GstBrimwave* self = GST_BRIMWAVE(object);
    GST_OBJECT_LOCK(self);
    ElementSettings& wanted = self->wanted;
    switch (id) {
    case propertyModule: wanted.module = g_value_get_enum(value); break;
    case propertyVistype: wanted.vistype = g_value_get_enum(value); break;
    case propertyFallspeed: wanted.fallspeed = g_value_get_int(value); break;
    case propertyScales: wanted.scales = g_value_get_int(value); break;
    case propertyScalew: wanted.scalew = g_value_get_int(value); break;
    case propertyDetail: wanted.detail = g_value_get_int(value); break;
    case propertyLines: wanted.lines = g_value_get_boolean(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property); break;
    }
    GST_OBJECT_UNLOCK(self);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* property)
{
    GstBrimwave* self = GST_BRIMWAVE(object);
    GST_OBJECT_LOCK(self);
    const ElementSettings& wanted = self->wanted;
    switch (id) {
    case propertyModule: g_value_set_enum(value, wanted.module); break;
    case propertyVistype: g_value_set_enum(value, wanted.vistype); break;
    case propertyFallspeed: g_value_set_int(value, wanted.fallspeed); break;
    case propertyScales: g_value_set_int(value, wanted.scales); break;
    case propertyScalew: g_value_set_int(value, wanted.scalew); break;
    case propertyDetail: g_value_set_int(value, wanted.detail); break;
    case propertyLines: g_value_set_boolean(value, wanted.lines); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property); break;
    }
    GST_OBJECT_UNLOCK(self);
}

// Properties change while playing; each frame takes what they are then.
constexpr GParamFlags propertyFlags =
    static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);

void InstallRange(GObjectClass* objectClass, Property id, const char* name, const char* blurb, const ConfigRange& range,
                  int initial)
{
    g_object_class_install_property(objectClass, id,
                                    g_param_spec_int(name, name, blurb, range.minimum, range.maximum, initial,
                                                     propertyFlags));
}

// A flush (a seek) starts the levels again, as a module's start does.
GstPadProbeReturn NoteFlush(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstBrimwave* self = GST_BRIMWAVE(data);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
        GST_OBJECT_LOCK(self);
        self->flushed = TRUE;
        GST_OBJECT_UNLOCK(self);
    }
    return GST_PAD_PROBE_OK;
}

gboolean Setup(GstAudioVisualizer* scope)
{
    GstBrimwave* self = GST_BRIMWAVE(scope);
    // A rate below the frame rate would ask for no samples at all.
    scope->req_spf = std::max<guint>(scope->req_spf, 1);
    const int width = GST_VIDEO_INFO_WIDTH(&scope->vinfo);
    const int height = GST_VIDEO_INFO_HEIGHT(&scope->vinfo);
    const int rate = GST_AUDIO_INFO_RATE(&scope->ainfo);
    const int fpsN = GST_VIDEO_INFO_FPS_N(&scope->vinfo);
    const int fpsD = GST_VIDEO_INFO_FPS_D(&scope->vinfo);
    GST_DEBUG_OBJECT(self, "%dx%d at %d/%d, %d Hz, %u samples a window", width, height, fpsN, fpsD, rate,
                     scope->req_spf);
    if (fpsN <= 0 || fpsD <= 0 || rate <= 0) {
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("brimwave needs a frame rate above 0"),
                          ("%d/%d frames a second, %d Hz", fpsN, fpsD, rate));
        return FALSE;
    }
    if (self->paced)
        ChangePacing(*self->pacing, rate, fpsN, fpsD, scope->req_spf);
    else
        StartPacing(*self->pacing, rate, fpsN, fpsD, scope->req_spf);
    self->paced = TRUE;
    std::string error;
    if (!PrepareTarget(self, width, height, error)) {
        GST_ELEMENT_ERROR(self, RESOURCE, FAILED, ("cannot draw %dx%d frames", width, height), ("%s", error.c_str()));
        return FALSE;
    }
    return TRUE;
}

gboolean Render(GstAudioVisualizer* scope, GstBuffer* audio, GstVideoFrame* video)
{
    GstBrimwave* self = GST_BRIMWAVE(scope);
    GST_OBJECT_LOCK(self);
    const ElementSettings wanted = self->wanted;
    const bool flushed = self->flushed;
    self->flushed = FALSE;
    GST_OBJECT_UNLOCK(self);
    FramePacing& pacing = *self->pacing;
    if (flushed) {
        StartPacing(pacing, pacing.rate, pacing.fpsN, pacing.fpsD, scope->req_spf);
        self->restartLevels = TRUE;
    }

    GstMapInfo map;
    if (!gst_buffer_map(audio, &map, GST_MAP_READ)) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, ("cannot read the audio"), (nullptr));
        return FALSE;
    }
    const int channels = GST_AUDIO_INFO_CHANNELS(&scope->ainfo);
    std::int16_t left[blockSamples];
    std::int16_t right[blockSamples];
    const GstClockTime start = GST_BUFFER_PTS(video->buffer);
    const PacedFrame paced =
        PaceWindow(pacing, reinterpret_cast<const std::int16_t*>(map.data),
                   static_cast<long>(map.size / (sizeof(std::int16_t) * channels)), channels, start, left, right);
    gst_buffer_unmap(audio, &map);
    GST_LOG_OBJECT(self, "window at %" GST_TIME_FORMAT ": %s", GST_TIME_ARGS(start), paced.shown ? "shown" : "dropped");
    self->dropping = !paced.shown;
    if (!paced.shown)
        return TRUE;
    if (GST_CLOCK_TIME_IS_VALID(paced.pts)) {
        GST_BUFFER_PTS(video->buffer) = paced.pts;
        GST_BUFFER_DURATION(video->buffer) = paced.duration;
    }

    const FrameOut out = {static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(video, 0)),
                          GST_VIDEO_FRAME_WIDTH(video), GST_VIDEO_FRAME_HEIGHT(video),
                          GST_VIDEO_FRAME_PLANE_STRIDE(video, 0),
                          GST_VIDEO_FRAME_FORMAT(video) == GST_VIDEO_FORMAT_RGBx};
    std::string error;
    if (!DrawFrame(self, left, right, wanted, self->restartLevels, out, error)) {
        GST_ELEMENT_ERROR(self, RESOURCE, FAILED, ("cannot draw a %dx%d frame", out.width, out.height),
                          ("%s", error.c_str()));
        return FALSE;
    }
    self->restartLevels = FALSE;
    return TRUE;
}

// The base class pushes every frame it rendered; the undrawn ones stop here.
GstPadProbeReturn DropUnshown(GstPad*, GstPadProbeInfo*, gpointer data)
{
    GstBrimwave* self = GST_BRIMWAVE(data);
    if (!self->dropping)
        return GST_PAD_PROBE_OK;
    self->dropping = FALSE;
    return GST_PAD_PROBE_DROP;
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition)
{
    GstBrimwave* self = GST_BRIMWAVE(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        if (!ClaimDrawing(self)) {
            GST_ELEMENT_ERROR(self, RESOURCE, BUSY, ("only one brimwave element can run in a process at a time"),
                              ("another brimwave element is drawing; its scenes' state is the process's"));
            return GST_STATE_CHANGE_FAILURE;
        }
        self->claimed = TRUE;
        self->paced = FALSE;
        self->dropping = FALSE;
        self->restartLevels = FALSE;
        GST_OBJECT_LOCK(self);
        self->flushed = FALSE;
        GST_OBJECT_UNLOCK(self);
    }
    const GstStateChangeReturn result = GST_ELEMENT_CLASS(gst_brimwave_parent_class)->change_state(element, transition);
    // Once the pads are deactivated nothing draws any more.
    const bool stopped = transition == GST_STATE_CHANGE_PAUSED_TO_READY ||
                         (transition == GST_STATE_CHANGE_READY_TO_PAUSED && result == GST_STATE_CHANGE_FAILURE);
    if (stopped && self->claimed) {
        ReleaseDrawing(self);
        self->claimed = FALSE;
    }
    return result;
}

void Finalize(GObject* object)
{
    GstBrimwave* self = GST_BRIMWAVE(object);
    if (self->claimed)
        ReleaseDrawing(self);
    delete self->pacing;
    G_OBJECT_CLASS(gst_brimwave_parent_class)->finalize(object);
}

void Constructed(GObject* object)
{
    G_OBJECT_CLASS(gst_brimwave_parent_class)->constructed(object);
    // Every frame covers the whole picture: shading the last one is wasted.
    g_object_set(object, "shader", GST_AUDIO_VISUALIZER_SHADER_NONE, nullptr);
}

}  // namespace

static void gst_brimwave_class_init(GstBrimwaveClass* klass)
{
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstAudioVisualizerClass* scopeClass = GST_AUDIO_VISUALIZER_CLASS(klass);
    objectClass->set_property = SetProperty;
    objectClass->get_property = GetProperty;
    objectClass->constructed = Constructed;
    objectClass->finalize = Finalize;
    elementClass->change_state = ChangeState;
    scopeClass->setup = Setup;
    scopeClass->render = Render;

    const ElementSettings initial = DefaultElementSettings();
    g_object_class_install_property(objectClass, propertyModule,
                                    g_param_spec_enum("module", "Module", "The scene drawn", ModuleEnumType(),
                                                      initial.module, propertyFlags));
    g_object_class_install_property(
        objectClass, propertyVistype,
        g_param_spec_enum("vistype", "Levels from",
                          "What the levels are measured from: the waveform (0) or the spectrum (1)",
                          VistypeEnumType(), initial.vistype, propertyFlags));
    InstallRange(objectClass, propertyFallspeed, "fallspeed", "How fast a level falls back, in thousandths a frame",
                 fallspeedRange, initial.fallspeed);
    InstallRange(objectClass, propertyScales, "scales", "The spectrum's divisor: larger is less sensitive",
                 scalesRange, initial.scales);
    InstallRange(objectClass, propertyScalew, "scalew", "The waveform's divisor: larger is less sensitive",
                 scalewRange, initial.scalew);
    InstallRange(objectClass, propertyDetail, "detail", "The spheres' slices and stacks", detailRange,
                 initial.detail);
    g_object_class_install_property(objectClass, propertyLines,
                                    g_param_spec_boolean("lines", "Wireframe", "Spheres drawn as lines",
                                                         initial.lines, propertyFlags));

    gst_element_class_add_static_pad_template(elementClass, &sinkTemplate);
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_set_static_metadata(
        elementClass, "Brimwave", "Visualization",
        "Two spinning level boxes, two lit spheres, or the boxes before a turning checkerboard, moving with the music",
        "Brimwave developers <brimwave@example.org>");
    gst_type_mark_as_plugin_api(ModuleEnumType(), static_cast<GstPluginAPIFlags>(0));
    gst_type_mark_as_plugin_api(VistypeEnumType(), static_cast<GstPluginAPIFlags>(0));
}

static void gst_brimwave_init(GstBrimwave* self)
{
    self->wanted = DefaultElementSettings();
    self->pacing = new FramePacing;
    GstPad* sink = gst_element_get_static_pad(GST_ELEMENT(self), "sink");
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_FLUSH, NoteFlush, self, nullptr);
    gst_object_unref(sink);
    GstPad* src = gst_element_get_static_pad(GST_ELEMENT(self), "src");
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, DropUnshown, self, nullptr);
    gst_object_unref(src);
}

static gboolean PluginInit(GstPlugin* plugin)
{
    GST_DEBUG_CATEGORY_INIT(brimwave_debug, "brimwave", 0, "Brimwave visualization");
    return gst_element_register(plugin, "brimwave", GST_RANK_MARGINAL, GST_TYPE_BRIMWAVE);
}

// The descriptor names the source package by this macro.
#define PACKAGE "brimwave"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, brimwave, "Brimwave music visualization", PluginInit,
                  BRIM_VERSION, "MIT/X11", "Brimwave", "https://example.org/brimwave")
