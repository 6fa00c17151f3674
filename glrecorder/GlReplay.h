// What the recorded calls draw: each vertex and sphere carried through the
// matrix stacks into eye and clip space, with the GL state it was drawn in.
#pragma once

#include "glrecorder/GlRecorder.h"

#include <array>
#include <set>
#include <vector>

using Vec4 = std::array<double, 4>;
using Mat4 = std::array<double, 16>;  // column-major, as GL takes it
using Rgb = std::array<double, 3>;

Vec4 Transform(const Mat4& m, const Vec4& v);

struct Vertex {
    Vec4 eye;   // through the modelview matrix
    Vec4 clip;  // and the projection
    Rgb colour;
    std::array<double, 2> texCoord;
};

// A glBegin-glEnd block, or a gluSphere: mode 0, its centre the one vertex.
struct Shape {
    double mode = 0;
    std::vector<Vertex> vertices;
    std::set<double> enabled;  // the capabilities on
    bool textured = false;     // GL_TEXTURE_2D on, its bound texture filled
    Mat4 modelview;
    double radius = 0;  // a sphere's, in eye space
    int slices = 0, stacks = 0;
    double drawStyle = 0;
};

struct Frame {
    std::vector<GlCall> calls;
    std::vector<Shape> shapes;
    std::vector<Vec4> lights;  // positions in eye space
    Mat4 projection;           // at the frame's start
    bool matricesRestored = true;  // the stacks and the matrix mode left as found
};

// Starts from the state setUp leaves; a frame ends with each PresentFrame,
// and calls after the last one form one more.
std::vector<Frame> ReplayFrames(const std::vector<GlCall>& setUp, const std::vector<GlCall>& calls);
