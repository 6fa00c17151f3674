#include "glrecorder/GlRecorder.h"

#include "scenes/FramePresenter.h"
#include "scenes/Gl.h"
#include "scenes/SceneSetup.h"

#include <algorithm>
#include <initializer_list>
#include <sstream>

std::vector<GlCall> glCalls;
bool glRecording = true;
std::function<void(const GlCall&)> onGlCall;

// GLU leaves the quadric's type opaque; the stand-in only needs an address.
class GLUquadric {};

namespace {

GLUquadric quadric;

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
    if (onGlCall)
        onGlCall(glCalls.back());
}

}  // namespace

GLUquadric* const recordedQuadric = &quadric;
GLUquadric* sphereQuadric = recordedQuadric;

void RecordPresent()
{
    Record("PresentFrame", {});
}

namespace {

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
    Record("gluSphere", {radius, double(slices), double(stacks)}, {}, quad);
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

::testing::AssertionResult SameCalls(const std::vector<GlCall>& expected, const std::vector<GlCall>& actual)
{
    std::ostringstream differences;
    const size_t count = std::max(expected.size(), actual.size());
    int mismatches = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::string want = i < expected.size() ? FormatCall(expected[i]) : "(nothing)";
        const std::string got = i < actual.size() ? FormatCall(actual[i]) : "(nothing)";
        if (want != got || (i < expected.size() && i < actual.size() && expected[i].args != actual[i].args)) {
            differences << "  call " << i << ": expected " << want << ", got " << got << "\n";
            ++mismatches;
        }
    }
    if (mismatches == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatches << " of " << count << " calls differ (expected "
                                         << expected.size() << ", got " << actual.size() << "):\n"
                                         << differences.str();
}
