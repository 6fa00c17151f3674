// Stand-in for the GL and GLU entry points the scenes use, and for the
// frame presentation: every call is recorded in order with its arguments.
#pragma once

#include "scenes/Gl.h"

#include <gtest/gtest.h>

#include <functional>
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

// Run after each call is recorded, so a test can look at state mid-frame.
extern std::function<void(const GlCall&)> onGlCall;

// The non-null quadric that sphereQuadric points to unless a test changes it.
extern GLUquadric* const recordedQuadric;

// Compares call by call and lists every difference, expected against actual.
::testing::AssertionResult SameCalls(const std::vector<GlCall>& expected, const std::vector<GlCall>& actual);

std::string FormatCall(const GlCall& call);

// The frame presenter that records "PresentFrame"; set from the start.
void RecordPresent();
