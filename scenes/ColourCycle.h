// The drifting colour of a scene and the level box that shows it.
#pragma once

// Three components, each running a triangle wave between 0 and 1.
struct ColourCycle {
    float red;
    float green;
    float blue;
    bool redRising;
    bool greenRising;
    bool blueRising;
};

// Where every scene's cycle starts when the library is loaded.
constexpr ColourCycle startingColour = {0.0f, 0.33f, 0.66f, true, true, true};

// Moves red, then green, then blue one step; a component that reaches 1 or
// 0 is set to it exactly and turns in the same advance.
void AdvanceColourCycle(ColourCycle& cycle, float redStep, float greenStep, float blueStep);

// A bar along x from -1.5 to level - 1.45, 0.5 square in cross-section, as
// 24 quad corners each coloured from the cycle; the caller places it.
void DrawLevelBox(float level, const ColourCycle& colour);
