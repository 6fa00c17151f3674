// The scenes drawn into the GL stand-in, and what must hold of the pictures.
#pragma once

#include "glrecorder/GlReplay.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <vector>

// The scenes' animation as at load, no levels, the settings given, and the
// module's set-up done: frames are replayed from the state it leaves.
void StartScene(int module, const Settings& with = initialSettings);

std::vector<Frame> RecordedFrames();
std::vector<Frame> DrawFrames(void (*scene)(), int count);

// Cleared colour and depth before drawing, one PresentFrame last, matrices restored.
::testing::AssertionResult WellFormed(const Frame& frame);

// Six flat quads meeting edge to edge at eight corners.
::testing::AssertionResult ClosedBox(const Shape& box);

// Every untextured colour within 0..1, changing a little each frame.
::testing::AssertionResult ColoursDrift(const std::vector<Frame>& frames);

// Four frames, frame i with the levels {low + i d, high - i d}.
std::vector<Frame> DrawLevels(void (*scene)(), float low, float high);

// Two solids in each such frame, mirrored either side of the centre: the
// left one sized by channel 0, the right by channel 1, louder larger in
// equal steps, and alike for a like level.
::testing::AssertionResult PairFollowsLevels(const std::vector<Frame>& frames, double (*size)(const Shape&));

// The untextured blocks and spheres, left to right.
std::vector<Shape> Solids(const Frame& frame);

struct Extent {
    Vec4 low, high, centre;  // in eye space
};
Extent Bounds(const Shape& shape);
