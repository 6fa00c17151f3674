#include "glrecorder/GlRecorder.h"

#include "scenes/FramePresenter.h"
#include "scenes/Gl.h"

#include <initializer_list>
#include <sstream>

std::vector<GlCall> glCalls;
bool glRecording = true;

// GLU leaves the quadric's type opaque; of its state only the draw style
// shows in a picture.
struct GLUquadric {
    GLenum drawStyle = GLU_FILL;
};

namespace {

// A float array passed by pointer, recorded after the plain arguments.
struct FloatArray {
    const GLfloat* values = nullptr;
    int count = 0;
};

void Record(const char* name, std::initializer_list<double> args, FloatArray array = {}, const void* object = nullptr)
{
    if (!glRecording)
        return;
    std::vector<double> values(args);
    values.insert(values.end(), array.values, array.values + array.count);
    glCalls.push_back({name, std::move(values), object});
}

void RecordPresent()
{
    Record("PresentFrame", {});
}

// The scenes present into the recording from the start.
const bool presenting = (SetFramePresenter(RecordPresent), true);

}  // namespace

// Defined inside extern "C" so that a signature differing from <GL/gl.h>
// fails to compile instead of quietly becoming an overload.
extern "C" {

void GLAPIENTRY glClear(GLbitfield mask)
{
    Record("glClear", {double(mask)});
}

void GLAPIENTRY glEnable(GLenum cap)
{
    Record("glEnable", {double(cap)});
}

void GLAPIENTRY glDisable(GLenum cap)
{
    Record("glDisable", {double(cap)});
}

void GLAPIENTRY glPushMatrix()
{
    Record("glPushMatrix", {});
}

void GLAPIENTRY glPopMatrix()
{
    Record("glPopMatrix", {});
}

void GLAPIENTRY glMatrixMode(GLenum mode)
{
    Record("glMatrixMode", {double(mode)});
}

void GLAPIENTRY glMultMatrixf(const GLfloat* m)
{
    Record("glMultMatrixf", {}, {m, 16});
}

void GLAPIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    Record("glTranslatef", {x, y, z});
}

void GLAPIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    Record("glRotatef", {angle, x, y, z});
}

void GLAPIENTRY glBegin(GLenum mode)
{
    Record("glBegin", {double(mode)});
}

void GLAPIENTRY glEnd()
{
    Record("glEnd", {});
}

void GLAPIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue)
{
    Record("glColor3f", {red, green, blue});
}

void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Record("glVertex3f", {x, y, z});
}

void GLAPIENTRY glTexCoord2f(GLfloat s, GLfloat t)
{
    Record("glTexCoord2f", {s, t});
}

void GLAPIENTRY glBindTexture(GLenum target, GLuint texture)
{
    Record("glBindTexture", {double(target), double(texture)});
}

void GLAPIENTRY glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    Record("glLightfv", {double(light), double(pname)}, {params, 4});
}

void GLAPIENTRY glMaterialfv(GLenum face, GLenum pname, const GLfloat* params)
{
    Record("glMaterialfv", {double(face), double(pname)}, {params, 4});
}

void GLAPIENTRY glMateriali(GLenum face, GLenum pname, GLint param)
{
    Record("glMateriali", {double(face), double(pname), double(param)});
}

void GLAPIENTRY gluSphere(GLUquadric* quad, GLdouble radius, GLint slices, GLint stacks)
{
    Record("gluSphere", {radius, double(slices), double(stacks), quad ? double(quad->drawStyle) : 0.0}, {}, quad);
}

// The set-up's state, recorded like the rest.

void GLAPIENTRY glLoadIdentity()
{
    Record("glLoadIdentity", {});
}

void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    Record("gluPerspective", {fovy, aspect, zNear, zFar});
}

void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    Record("glViewport", {double(x), double(y), double(width), double(height)});
}

void GLAPIENTRY glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    Record("glClearColor", {red, green, blue, alpha});
}

void GLAPIENTRY glClearDepth(GLclampd depth)
{
    Record("glClearDepth", {depth});
}

void GLAPIENTRY glDepthFunc(GLenum func)
{
    Record("glDepthFunc", {double(func)});
}

void GLAPIENTRY glShadeModel(GLenum mode)
{
    Record("glShadeModel", {double(mode)});
}

void GLAPIENTRY glHint(GLenum target, GLenum mode)
{
    Record("glHint", {double(target), double(mode)});
}

void GLAPIENTRY glDrawBuffer(GLenum mode)
{
    Record("glDrawBuffer", {double(mode)});
}

void GLAPIENTRY glPixelStorei(GLenum pname, GLint param)
{
    Record("glPixelStorei", {double(pname), double(param)});
}

// The pixels are not copied: CheckerTexture's own test covers them.
void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                             GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    Record("glTexImage2D", {double(target), double(level), double(internalformat), double(width), double(height),
                            double(border), double(format), double(type)},
           {}, pixels);
}

void GLAPIENTRY glTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    Record("glTexParameterf", {double(target), double(pname), param});
}

void GLAPIENTRY glTexEnvf(GLenum target, GLenum pname, GLfloat param)
{
    Record("glTexEnvf", {double(target), double(pname), param});
}

GLUquadric* GLAPIENTRY gluNewQuadric()
{
    GLUquadric* quad = new GLUquadric;
    Record("gluNewQuadric", {}, {}, quad);
    return quad;
}

void GLAPIENTRY gluQuadricDrawStyle(GLUquadric* quad, GLenum draw)
{
    Record("gluQuadricDrawStyle", {double(draw)}, {}, quad);
    quad->drawStyle = draw;
}

void GLAPIENTRY gluDeleteQuadric(GLUquadric* quad)
{
    Record("gluDeleteQuadric", {}, {}, quad);
    delete quad;
}

}  // extern "C"

std::string FormatCall(const GlCall& call)
{
    std::ostringstream text;
    text.precision(9);
    text << call.name << "(";
    for (size_t i = 0; i < call.args.size(); ++i)
        text << (i ? ", " : "") << call.args[i];
    text << ")";
    if (call.object)
        text << " on " << call.object;
    return text.str();
}
