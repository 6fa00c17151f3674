#include "ObjectCallLog.h"

#include "host/ImportPatch.h"

#include <GL/glu.h>

namespace {

ObjectCalls* recording = nullptr;

HDC WINAPI RecordGetDC(HWND window)
{
    HDC dc = GetDC(window);
    if (recording) {
        recording->dcs.Take({window, dc});
        recording->dcWindows.push_back(window);
    }
    return dc;
}

int WINAPI RecordReleaseDC(HWND window, HDC dc)
{
    if (recording && !recording->dcs.GiveBack({window, dc}))
        return 0;
    return ReleaseDC(window, dc);
}

HGLRC WINAPI RecordCreateContext(HDC dc)
{
    HGLRC context = wglCreateContext(dc);
    if (recording && context)
        recording->contexts.Take(context);
    return context;
}

BOOL WINAPI RecordDeleteContext(HGLRC context)
{
    if (recording && !recording->contexts.GiveBack(context))
        return FALSE;
    return wglDeleteContext(context);
}

GLUquadric* APIENTRY RecordNewQuadric()
{
    GLUquadric* quadric = gluNewQuadric();
    if (recording && quadric)
        recording->quadrics.Take(quadric);
    return quadric;
}

void APIENTRY RecordDeleteQuadric(GLUquadric* quadric)
{
    if (recording && !recording->quadrics.GiveBack(quadric))
        return;
    gluDeleteQuadric(quadric);
}

BOOL WINAPI RecordSwapBuffers(HDC dc)
{
    if (recording)
        ++recording->swaps;
    return SwapBuffers(dc);
}

struct Redirect {
    const char* dll;
    const char* function;
    void* recorder;
};

const Redirect redirects[] = {
    {"USER32.dll", "GetDC", reinterpret_cast<void*>(RecordGetDC)},
    {"USER32.dll", "ReleaseDC", reinterpret_cast<void*>(RecordReleaseDC)},
    {"OPENGL32.dll", "wglCreateContext", reinterpret_cast<void*>(RecordCreateContext)},
    {"OPENGL32.dll", "wglDeleteContext", reinterpret_cast<void*>(RecordDeleteContext)},
    {"GLU32.dll", "gluNewQuadric", reinterpret_cast<void*>(RecordNewQuadric)},
    {"GLU32.dll", "gluDeleteQuadric", reinterpret_cast<void*>(RecordDeleteQuadric)},
    {"GDI32.dll", "SwapBuffers", reinterpret_cast<void*>(RecordSwapBuffers)},
};

}  // namespace

bool RecordObjectCalls(HMODULE plugin, ObjectCalls& calls)
{
    recording = &calls;
    bool complete = true;
    for (const Redirect& redirect : redirects)
        complete &= PatchImport(plugin, redirect.dll, redirect.function, redirect.recorder) != nullptr;
    return complete;
}

void StopRecording()
{
    recording = nullptr;
}
