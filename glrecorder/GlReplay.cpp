#include "glrecorder/GlReplay.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr Mat4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Mat4 Multiply(const Mat4& a, const Mat4& b)
{
    Mat4 product = {};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                product[4 * column + row] += a[4 * k + row] * b[4 * column + k];
    return product;
}

Mat4 Rotation(double degrees, double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    x /= length, y /= length, z /= length;
    const double c = std::cos(degrees * pi / 180), s = std::sin(degrees * pi / 180), d = 1 - c;
    return {x * x * d + c,     y * x * d + z * s, x * z * d - y * s, 0,  // one column a line
            x * y * d - z * s, y * y * d + c,     y * z * d + x * s, 0,
            x * z * d + y * s, y * z * d - x * s, z * z * d + c,     0,
            0,                 0,                 0,                 1};
}

Mat4 Perspective(double fovy, double aspect, double near, double far)
{
    const double f = 1 / std::tan(fovy * pi / 360);
    return {f / aspect, 0, 0, 0,  // one column a line
            0, f, 0, 0,
            0, 0, (far + near) / (near - far), -1,
            0, 0, 2 * far * near / (near - far), 0};
}

struct GlState {
    std::vector<Mat4> modelview{identity};
    std::vector<Mat4> projection{identity};
    bool projectionMode = false;
    std::set<double> enabled;
    Rgb colour = {1, 1, 1};
    std::array<double, 2> texCoord = {0, 0};
    double boundTexture = 0;
    std::set<double> filledTextures;
    bool inBlock = false;  // between glBegin and glEnd
};

Vertex Place(const GlState& gl, double x, double y, double z)
{
    const Vec4 eye = Transform(gl.modelview.back(), {x, y, z, 1});
    return {eye, Transform(gl.projection.back(), eye), gl.colour, gl.texCoord};
}

// Applies one call; anything drawn goes into the frame.
void Replay(GlState& gl, const GlCall& call, Frame& frame)
{
    const std::vector<double>& a = call.args;
    const std::string& name = call.name;
    std::vector<Mat4>& stack = gl.projectionMode ? gl.projection : gl.modelview;
    Mat4& top = stack.back();
    if (name == "glMatrixMode") {
        gl.projectionMode = a[0] == GL_PROJECTION;
    } else if (name == "glLoadIdentity") {
        top = identity;
    } else if (name == "glPushMatrix") {
        const Mat4 copy = top;  // top goes stale as the stack grows
        stack.push_back(copy);
    } else if (name == "glPopMatrix") {
        if (stack.size() > 1)
            stack.pop_back();
        else
            frame.matricesRestored = false;  // underflow: GL ignores the call
    } else if (name == "glTranslatef") {
        Mat4 translation = identity;
        std::copy(a.begin(), a.begin() + 3, translation.begin() + 12);
        top = Multiply(top, translation);
    } else if (name == "glRotatef") {
        top = Multiply(top, Rotation(a[0], a[1], a[2], a[3]));
    } else if (name == "glMultMatrixf") {
        Mat4 m;
        std::copy(a.begin(), a.end(), m.begin());
        top = Multiply(top, m);
    } else if (name == "gluPerspective") {
        top = Multiply(top, Perspective(a[0], a[1], a[2], a[3]));
    } else if (name == "glEnable") {
        gl.enabled.insert(a[0]);
    } else if (name == "glDisable") {
        gl.enabled.erase(a[0]);
    } else if (name == "glColor3f") {
        gl.colour = {a[0], a[1], a[2]};
    } else if (name == "glTexCoord2f") {
        gl.texCoord = {a[0], a[1]};
    } else if (name == "glBindTexture") {
        gl.boundTexture = a[1];
    } else if (name == "glTexImage2D") {
        if (call.object)
            gl.filledTextures.insert(gl.boundTexture);
    } else if (name == "glLightfv" && a[1] == GL_POSITION) {
        frame.lights.push_back(Transform(gl.modelview.back(), {a[2], a[3], a[4], a[5]}));
    } else if (name == "glBegin" || name == "gluSphere") {
        Shape shape;
        shape.enabled = gl.enabled;
        shape.textured = gl.enabled.count(GL_TEXTURE_2D) && gl.filledTextures.count(gl.boundTexture);
        shape.modelview = gl.modelview.back();
        if (name == "glBegin") {
            shape.mode = a[0];
            gl.inBlock = true;
        } else {
            const Mat4& m = shape.modelview;
            shape.radius = a[0] * std::hypot(m[0], m[1], m[2]);
            shape.slices = int(a[1]);
            shape.stacks = int(a[2]);
            shape.drawStyle = a[3];
            shape.vertices.push_back(Place(gl, 0, 0, 0));
        }
        frame.shapes.push_back(shape);
    } else if (name == "glEnd") {
        gl.inBlock = false;
    } else if (name == "glVertex3f" && gl.inBlock) {
        frame.shapes.back().vertices.push_back(Place(gl, a[0], a[1], a[2]));
    }
}

}  // namespace

Vec4 Transform(const Mat4& m, const Vec4& v)
{
    Vec4 out = {};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            out[row] += m[4 * column + row] * v[column];
    return out;
}

std::vector<Frame> ReplayFrames(const std::vector<GlCall>& setUp, const std::vector<GlCall>& calls)
{
    GlState gl;
    Frame ignored;
    for (const GlCall& call : setUp)
        Replay(gl, call, ignored);
    GlState atStart;
    std::vector<Frame> frames;
    bool open = false;
    auto close = [&] {
        frames.back().matricesRestored &= gl.modelview == atStart.modelview && gl.projection == atStart.projection &&
                                          gl.projectionMode == atStart.projectionMode;
        open = false;
    };
    for (const GlCall& call : calls) {
        if (!open) {
            frames.emplace_back();
            frames.back().projection = gl.projection.back();
            atStart = gl;
            open = true;
        }
        frames.back().calls.push_back(call);
        Replay(gl, call, frames.back());
        if (call.name == "PresentFrame")
            close();
    }
    if (open)
        close();
    return frames;
}
