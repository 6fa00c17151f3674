#include "window/RenderContext.h"

#include "plugin/PluginEntry.h"
#include "scenes/CheckerTexture.h"
#include "scenes/LevelMeter.h"
#include "scenes/Projection.h"
#include "settings/Settings.h"

#include <algorithm>

HDC windowDC = nullptr;
HGLRC renderContext = nullptr;
GLUquadric* sphereQuadric = nullptr;
int clientWidth = 0;
int clientHeight = 0;

namespace {

constexpr int textureModule = 2;

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

// A minimised window has no client height; keep the projection finite.
int DrawableHeight(int height)
{
    return std::max(height, 1);
}

void SetupCommonState()
{
    settings.fallStep = settings.fallspeed * 0.001f;
    channelLevels.peak = {2.0f, 2.0f};
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glMatrixMode(GL_PROJECTION);
    glViewport(0, 0, clientWidth, clientHeight);
    glLoadIdentity();
    const float aspect = static_cast<float>(clientWidth) / static_cast<float>(DrawableHeight(clientHeight));
    gluPerspective(fieldOfView, aspect, nearDistance, farDistance);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
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

bool CreateRenderContext(HWND window)
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
    if (activeModule == textureModule)
        SetupSceneTextured();
    else
        SetupSceneQuadric();
    return true;
}

void SetupSceneTextured()
{
    SetupCommonState();
    glDrawBuffer(GL_BACK);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    BuildCheckerTexture();
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, checkerSize, checkerSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, checkerImage.data());
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
}

void SetupSceneQuadric()
{
    SetupCommonState();
    sphereQuadric = gluNewQuadric();
    if (sphereQuadric && settings.lines != 0)
        gluQuadricDrawStyle(sphereQuadric, GLU_LINE);
}

void ResizeViewport(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, static_cast<GLdouble>(width) / DrawableHeight(height), nearDistance, farDistance);
    glMatrixMode(GL_MODELVIEW);
}

void ReleaseRenderContext()
{
    // Both box modules make a quadric; whichever exists goes, once.
    if (sphereQuadric) {
        gluDeleteQuadric(sphereQuadric);
        sphereQuadric = nullptr;
    }
    if (renderContext) {
        wglMakeCurrent(windowDC, nullptr);
        wglDeleteContext(renderContext);
        renderContext = nullptr;
    }
    PostQuitMessage(0);
}

void PresentFrame()
{
    glFinish();
    SwapBuffers(windowDC);
}
