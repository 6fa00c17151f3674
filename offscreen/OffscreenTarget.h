// An OpenGL compatibility context without any display or window: EGL on
// Mesa's surfaceless platform, drawing into a framebuffer object of the
// pixel format the plug-in's window gets from Mesa (its request of 32 colour,
// 16 depth and 8 stencil bits is met with 8 bits per channel, 24-bit depth
// and 8-bit stencil; no scene uses the stencil, so it is left out here), so
// both draw the same pictures.
#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>

#include <string>

struct OffscreenTarget {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int width = 0;
    int height = 0;
};

// Makes the context current on this thread and binds the framebuffer, of
// width x height; false with the reason otherwise, with nothing left behind.
bool CreateOffscreenTarget(int width, int height, OffscreenTarget& target, std::string& error);

// The byte order of a read-back pixel. RGB0 is the framebuffer's own, a
// plain copy; BGR0 has each pixel's red and blue swapped on the way.
enum class PixelOrder { rgb0, bgr0 };

// The frame, top row first: width * height * 4 bytes.
void ReadOffscreenFrame(const OffscreenTarget& target, PixelOrder order, unsigned char* pixels);

void DestroyOffscreenTarget(OffscreenTarget& target);
