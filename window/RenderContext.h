// The window's OpenGL rendering context, which the scenes' frames are
// presented to while it lives.
#pragma once

#include <windows.h>

// Client-area size as last recorded.
extern int clientWidth;
extern int clientHeight;

extern HDC windowDC;
extern HGLRC renderContext;

// False when no pixel format or no current context could be had; its
// message box was shown and nothing is left behind. Otherwise the context is
// current and set up for the module.
bool CreateRenderContext(HWND window, int module);
bool SetupPixelFormat(HDC dc);
// Releases the quadric and the context, each once, and posts the quit
// message. Called on the window's thread; when another thread is drawing
// with the context, that thread releases it at the end of its frame.
void ReleaseRenderContext();

// Id of the thread the context is current on; 0 while it is current nowhere.
extern volatile LONG contextThread;

inline bool ContextIsCurrentHere()
{
    return static_cast<DWORD>(contextThread) == GetCurrentThreadId();
}

// For a frame on a thread the context is not current on: has the window's
// thread let go of it and makes it current here. False when it cannot be
// had (gone, or held by a third thread); nothing may be drawn then.
bool BorrowRenderContext();
// Ends a borrowed frame: a thread other than the window's lets go of the
// context again, so that the window's thread can release it.
void EndBorrowedFrame();

// The window's private message that makes its thread let go of the context.
constexpr UINT letGoOfContextMessage = WM_APP + 0x42;
void LetGoOfRenderContext();

// A new size while the context is current elsewhere, applied by the next
// thread that makes it current.
void ResizeRenderContext(int width, int height);
