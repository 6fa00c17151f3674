// Hands every frame a run renders to a raw video stream (a file, or a FIFO
// that an encoder reads). A GL plug-in's frame is read from its back buffer at
// the moment it presents, through its SwapBuffers import: that costs a
// fraction of a millisecond where copying the window through GDI costs
// several. A frame presented any other way is copied from the window.
#pragma once

#include <windows.h>

#include <string>

struct FrameSinkStats {
    long frames = 0;        // frames written
    long fromWindow = 0;    // of those, copied from the window instead of read back
    double readSeconds = 0.0;   // reading back and turning rows over
    double writeSeconds = 0.0;  // writing, waiting on the reader included
};

// Opens `path` for writing and hooks the plug-in's buffer swaps. Frames are
// width x height: the window's client size. False with the reason when the
// file cannot be opened.
bool OpenFrameSink(const std::string& path, HMODULE plugin, HWND window, int width, int height,
                   std::string& error);

// Around each Render call: the frame presented in between is the one that
// goes out. When none was, the window's content goes out instead, and failing
// that the previous frame again, so the stream keeps one frame per Render.
void BeginSinkFrame();
bool EndSinkFrame();  // false when the output cannot be written any more

// Puts the imports back and closes the file.
FrameSinkStats CloseFrameSink();
