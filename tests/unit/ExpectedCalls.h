// Expected call streams written out from the scenes' drawing tables.
#pragma once

#include "glrecorder/GlRecorder.h"

#include <vector>

GlCall Call(const char* name, std::vector<double> args = {});

// glBegin(GL_QUADS), the 24 colour and vertex pairs of a level box, glEnd.
std::vector<GlCall> ExpectedBox(float level, float red, float green, float blue);

void Append(std::vector<GlCall>& stream, const std::vector<GlCall>& more);

// Splits the recorded calls into frames, each ending with its PresentFrame.
std::vector<std::vector<GlCall>> RecordedFrames();

// The first argument of every call of that name in a frame (e.g. angles).
std::vector<double> FirstArgs(const std::vector<GlCall>& frame, const char* name);

// Puts every scene's animation back to its state at load, clears the record
// and sets the levels, settings and quadric a test starts from.
void ResetScenes();
