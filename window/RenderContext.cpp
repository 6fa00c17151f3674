#include "window/RenderContext.h"

#include "scenes/FramePresenter.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneSetup.h"

HDC windowDC = nullptr;
HGLRC renderContext = nullptr;
int clientWidth = 0;
int clientHeight = 0;
volatile LONG contextThread = 0;

namespace {

// The window's thread, which keeps the context between frames, and where
// other threads ask for it.
DWORD windowThread = 0;
HWND contextWindow = nullptr;
// Set by the window's thread when it could not release the context because
// another thread was drawing with it; that thread releases it instead.
volatile LONG releaseWanted = 0;
volatile LONG resizeWanted = 0;

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

// Makes the context current here if no thread has it current.
bool TakeContext()
{
    if (InterlockedCompareExchange(&contextThread, static_cast<LONG>(GetCurrentThreadId()), 0) != 0)
        return false;
    // With no context left there is nothing to make current, but the
    // release is still this thread's.
    if (!renderContext || wglMakeCurrent(windowDC, renderContext))
        return true;
    InterlockedExchange(&contextThread, 0);
    return false;
}

void LetGo()
{
    wglMakeCurrent(nullptr, nullptr);
    InterlockedExchange(&contextThread, 0);
}

// On the thread the context is current on.
void ReleaseHeldContext()
{
    ReleaseScene();
    if (renderContext) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(renderContext);
        renderContext = nullptr;
    }
    InterlockedExchange(&contextThread, 0);
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
    contextThread = static_cast<LONG>(GetCurrentThreadId());
    windowThread = GetCurrentThreadId();
    contextWindow = window;
    releaseWanted = 0;
    resizeWanted = 0;
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
    if (ContextIsCurrentHere() || TakeContext()) {
        ReleaseHeldContext();
    } else {
        // Another thread draws: it releases the context at its frame's end,
        // unless it let go of it before it saw the wish.
        InterlockedExchange(&releaseWanted, 1);
        if (TakeContext()) {
            if (InterlockedExchange(&releaseWanted, 0))
                ReleaseHeldContext();
            else
                LetGo();
        }
    }
    PostQuitMessage(0);
}

bool BorrowRenderContext()
{
    // Sent, not posted: the window's thread lets go between its messages,
    // never in the middle of its own frame or paint.
    if (contextThread != 0 && contextWindow && GetCurrentThreadId() != windowThread)
        SendMessageA(contextWindow, letGoOfContextMessage, 0, 0);
    if (!TakeContext())
        return false;
    if (!renderContext) {
        LetGo();
        return false;
    }
    if (InterlockedExchange(&resizeWanted, 0))
        ResizeScene(clientWidth, clientHeight);
    return true;
}

void EndBorrowedFrame()
{
    if (InterlockedExchange(&releaseWanted, 0))
        ReleaseHeldContext();
    else if (GetCurrentThreadId() != windowThread)
        LetGo();
}

void LetGoOfRenderContext()
{
    if (ContextIsCurrentHere())
        LetGo();
}

void ResizeRenderContext(int width, int height)
{
    clientWidth = width;
    clientHeight = height;
    if (ContextIsCurrentHere())
        ResizeScene(width, height);
    else
        InterlockedExchange(&resizeWanted, 1);
}
