// The bare frame: a plug-in with Brimwave's own window, pixel format and GL
// set-up whose Render only clears, finishes and swaps. No module can draw a
// frame for less, so the bench reports every module as a multiple of it.
#include "plugin/Lifecycle.h"
#include "plugin/PluginEntry.h"
#include "scenes/FramePresenter.h"
#include "scenes/Gl.h"

// The Rectangles module's set-up (a quadric, no texture); a paint of the
// window draws that scene, which an unpaced run sees only as it starts.
int activeModule = 0;

namespace {

// Nothing to configure: there are no settings beyond the window's placement.
void ConfigBare(VisModule*) {}

int RenderBare(VisModule*)
{
    // After ESC the context is gone, as in the real modules.
    if (HasFramePresenter()) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        PresentFrame();
    }
    return 0;
}

VisModule bareModule = MakeModule("Bare frame", ConfigBare, InitModule, RenderBare, QuitModule);

VisModule* GetBareModule(int index)
{
    return index == 0 ? &bareModule : nullptr;
}

VisHeader header = {visHeaderVersion, "Brimwave bare frame (reference)", GetBareModule};

}  // namespace

VisHeader* winampVisGetHeader()
{
    return &header;
}
