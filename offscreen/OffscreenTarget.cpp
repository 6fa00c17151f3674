// The framebuffer calls are GL 3.0: declared by <GL/gl.h> only when asked for
// before its first inclusion.
#define GL_GLEXT_PROTOTYPES
#include "offscreen/OffscreenTarget.h"

#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>

namespace {

std::string EglError(const char* call)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%s failed (EGL error 0x%04X)", call, static_cast<unsigned>(eglGetError()));
    return text;
}

bool MakeContext(OffscreenTarget& target, std::string& error)
{
    // The surfaceless platform needs no display server and no window system.
    target.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (target.display == EGL_NO_DISPLAY) {
        error = EglError("eglGetPlatformDisplay(surfaceless)");
        return false;
    }
    if (!eglInitialize(target.display, nullptr, nullptr)) {
        error = EglError("eglInitialize");
        target.display = EGL_NO_DISPLAY;
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = EglError("eglBindAPI(OpenGL)");
        return false;
    }
    const EGLint configWanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(target.display, configWanted, &config, 1, &configCount) || configCount < 1) {
        error = EglError("eglChooseConfig(OpenGL)");
        return false;
    }
    // The scenes use the fixed-function pipeline and glBegin/glEnd.
    const EGLint contextWanted[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    target.context = eglCreateContext(target.display, config, EGL_NO_CONTEXT, contextWanted);
    if (target.context == EGL_NO_CONTEXT) {
        error = EglError("eglCreateContext(compatibility profile)");
        return false;
    }
    if (!eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, target.context)) {
        error = EglError("eglMakeCurrent(no surface)");
        return false;
    }
    return true;
}

bool MakeFramebuffer(OffscreenTarget& target, std::string& error)
{
    glGenRenderbuffers(1, &target.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, target.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, target.width, target.height);
    glGenRenderbuffers(1, &target.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    // Depth alone: the scenes use no stencil, and clearing the depth of a
    // packed depth-stencil buffer rewrites every pixel around its stencil byte.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, target.width, target.height);
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        char text[96];
        std::snprintf(text, sizeof(text), "a %dx%d framebuffer is incomplete (status 0x%04X)", target.width,
                      target.height, static_cast<unsigned>(status));
        error = text;
        return false;
    }
    // The scenes draw to GL_BACK as into a window; here that is the
    // framebuffer's one colour attachment.
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    // Mesa hands the rows over top row first, as a video has them, with no copy to turn them.
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || std::strstr(extensions, "GL_MESA_pack_invert") == nullptr) {
        error = "the GL has no GL_MESA_pack_invert (not Mesa?)";
        return false;
    }
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return true;
}

}  // namespace

bool CreateOffscreenTarget(int width, int height, OffscreenTarget& target, std::string& error)
{
    target.width = width;
    target.height = height;
    if (MakeContext(target, error) && MakeFramebuffer(target, error))
        return true;
    DestroyOffscreenTarget(target);
    return false;
}

void ReadOffscreenFrame(const OffscreenTarget& target, PixelOrder order, unsigned char* pixels)
{
    glReadPixels(0, 0, target.width, target.height, order == PixelOrder::rgb0 ? GL_RGBA : GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels);
}

void DestroyOffscreenTarget(OffscreenTarget& target)
{
    if (target.context != EGL_NO_CONTEXT) {
        glDeleteFramebuffers(1, &target.framebuffer);
        glDeleteRenderbuffers(1, &target.colour);
        glDeleteRenderbuffers(1, &target.depth);
        eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(target.display, target.context);
    }
    if (target.display != EGL_NO_DISPLAY)
        eglTerminate(target.display);
    target = OffscreenTarget{};
}
