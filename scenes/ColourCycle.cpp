#include "scenes/ColourCycle.h"

#include "scenes/Gl.h"

#include <array>

namespace {

constexpr float baseX = -1.5f;
constexpr float farEndOffset = 1.45f;
constexpr float half = 0.25f;

// Which of the cycle's components a corner shows (the others are 0), and
// where it lies: at the base end or the far end, and its y and z.
struct BoxCorner {
    bool red;
    bool green;
    bool blue;
    bool farEnd;
    float y;
    float z;
};

constexpr std::array<BoxCorner, 24> boxCorners = {{
    // top, y = +0.25
    {true, false, true, false, half, -half},
    {false, true, true, false, half, half},
    {true, true, true, true, half, half},
    {true, true, false, true, half, -half},
    // bottom, y = -0.25
    {true, false, true, true, -half, -half},
    {false, true, true, true, -half, half},
    {true, true, true, false, -half, half},
    {true, true, false, false, -half, -half},
    // side, z = +0.25
    {true, false, true, true, half, half},
    {false, true, true, true, -half, half},
    {true, true, true, false, -half, half},
    {true, true, false, false, half, half},
    // side, z = -0.25
    {true, false, false, true, half, -half},
    {false, false, true, true, -half, -half},
    {true, true, true, false, -half, -half},
    {false, true, false, false, half, -half},
    // base end, x = -1.5
    {true, true, true, false, -half, -half},
    {true, false, false, false, half, -half},
    {false, false, true, false, half, half},
    {false, true, false, false, -half, half},
    // far end, x = level - 1.45
    {false, false, true, true, -half, half},
    {true, true, true, true, half, half},
    {false, true, false, true, half, -half},
    {true, false, false, true, -half, -half},
}};

void AdvanceComponent(float& value, bool& rising, float step)
{
    if (rising) {
        value = value + step;
        if (value >= 1.0f) {
            value = 1.0f;
            rising = false;
        }
    } else {
        value = value - step;
        if (value <= 0.0f) {
            value = 0.0f;
            rising = true;
        }
    }
}

}  // namespace

void AdvanceColourCycle(ColourCycle& cycle, float redStep, float greenStep, float blueStep)
{
    AdvanceComponent(cycle.red, cycle.redRising, redStep);
    AdvanceComponent(cycle.green, cycle.greenRising, greenStep);
    AdvanceComponent(cycle.blue, cycle.blueRising, blueStep);
}

void DrawLevelBox(float level, const ColourCycle& colour)
{
    const float farX = level - farEndOffset;
    glBegin(GL_QUADS);
    for (const BoxCorner& corner : boxCorners) {
        glColor3f(corner.red ? colour.red : 0.0f, corner.green ? colour.green : 0.0f,
                  corner.blue ? colour.blue : 0.0f);
        glVertex3f(corner.farEnd ? farX : baseX, corner.y, corner.z);
    }
    glEnd();
}
