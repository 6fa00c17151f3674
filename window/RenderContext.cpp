#include "window/RenderContext.h"

#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"

HDC windowDC = nullptr;
HGLRC renderContext = nullptr;
int clientWidth = 0;
int clientHeight = 0;

namespace {

constexpr PIXELFORMATDESCRIPTOR pixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR),                               // nSize
    1,                                                           // nVersion
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,   // dwFlags
    PFD_TYPE_RGBA,                                               // iPixelType
    32,                                                          // cColorBits
    0, 0, 0, 0, 0, 0,                                            // red, green, blue bits and shifts
    0, 0,                                                        // cAlphaBits, cAlphaShift
    64,                                                          // cAccumBits
    16, 16, 16, 0,                                               // accumulation red, green, blue, alpha
    16,                                                          // cDepthBits
    8,                                                           // cStencilBits
    0,                                                           // cAuxBuffers
    PFD_MAIN_PLANE,                                              // iLayerType
    0,                                                           // bReserved
    0, 0, 0,                                                     // dwLayerMask, dwVisibleMask, dwDamageMask
};
static_assert(sizeof(pixelFormat) == 40);

void SwapWindowBuffers()
{
    glFinish();
    SwapBuffers(windowDC);
}

void ReportSetupFailure(HDC dc, const char* text)
{
    MessageBoxA(WindowFromDC(dc), text, "Error", MB_OK | MB_ICONERROR);
}

// A window whose set-up failed is not created: nothing of it may stay.
bool GiveBackSetup(HWND window)
{
    if (renderContext)
        wglDeleteContext(renderContext);
    renderContext = nullptr;
    ReleaseDC(window, windowDC);
    windowDC = nullptr;
    return false;
}

}  // namespace

bool SetupPixelFormat(HDC dc)
{
    const int format = ChoosePixelFormat(dc, &pixelFormat);
    if (format == 0) {
        ReportSetupFailure(dc, "ChoosePixelFormat failed");
        return false;
    }
    if (SetPixelFormat(dc, format, &pixelFormat) != TRUE) {
        ReportSetupFailure(dc, "SetPixelFormat failed");
        return false;
    }
    return true;
}

bool CreateRenderContext(HWND window, int module)
{
    windowDC = GetDC(window);
    if (!SetupPixelFormat(windowDC))
        return GiveBackSetup(window);
    // A window without a current context would never draw.
    renderContext = wglCreateContext(windowDC);
    if (!renderContext || !wglMakeCurrent(windowDC, renderContext)) {
        ReportSetupFailure(windowDC, renderContext ? "wglMakeCurrent failed" : "wglCreateContext failed");
        return GiveBackSetup(window);
    }
    RECT client;
    GetClientRect(window, &client);
    clientWidth = client.right;
    clientHeight = client.bottom;
    StartLevelMeter();
    SetupScene(module, clientWidth, clientHeight);
    SetFramePresenter(SwapWindowBuffers);
    return true;
}

void ReleaseRenderContext()
{
    SetFramePresenter(nullptr);
    ReleaseScene();
    if (renderContext) {
        wglMakeCurrent(windowDC, nullptr);
        wglDeleteContext(renderContext);
        renderContext = nullptr;
    }
    PostQuitMessage(0);
}

