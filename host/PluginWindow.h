// Finding the plug-in's window and copying what it shows.
#pragma once

#include "files/ImageFile.h"

#include <windows.h>

// The visible top-level window of this thread that the host window owns;
// failing that, any other visible top-level window of this thread, and then
// a visible child of the host window. Null when there is none.
HWND FindPluginWindow(HWND hostWindow);

// Copies the window's client area through its window DC. A GL window's front
// buffer reads black through glReadPixels under Wine, but GDI sees the
// presented frame. False when the client area is empty or GDI fails.
bool CaptureClientArea(HWND window, RgbImage& image);

// Gives the window a client area of width x height, keeping its place; from
// then on the window may be any size, however small.
bool SetClientSize(HWND window, int width, int height);

// The window's outer rectangle where SetWindowPos places it (a child's in
// its parent's client coordinates), and putting it back there.
bool GetWindowPlace(HWND window, RECT& place);
void SetWindowPlace(HWND window, const RECT& place);
