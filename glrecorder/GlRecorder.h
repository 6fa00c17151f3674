// Stand-in for the GL and GLU entry points the scenes and their set-up use,
// and for the frame presentation: every call is recorded in order with its
// arguments, and the scenes present into the recording from the start.
#pragma once

#include "scenes/Gl.h"

#include <string>
#include <vector>

struct GlCall {
    std::string name;
    std::vector<double> args;  // numbers as passed; arrays by their values
    const void* object = nullptr;  // the quadric a GLU call was given
};

extern std::vector<GlCall> glCalls;

// When false, every stand-in returns at once and records nothing, so that
// what the scenes do besides calling GL can be timed.
extern bool glRecording;

// gluNewQuadric gives a real object that keeps its draw style, which
// gluSphere records after its own arguments. The set-up owns sphereQuadric.

std::string FormatCall(const GlCall& call);
