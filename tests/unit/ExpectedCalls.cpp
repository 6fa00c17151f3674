#include "tests/unit/ExpectedCalls.h"

#include "scenes/SceneSetup.h"
#include "scenes/LevelMeter.h"
#include "scenes/SceneState.h"
#include "settings/Settings.h"

#include <array>

namespace {

// The level box's corners as listed for the box: which components of the
// cycle the colour shows ("r0b" = red, 0, blue), base ('B', x = -1.5) or far
// ('X', x = level - 1.45) end, and the signs of y and z (0.25 each).
struct Corner {
    const char* colour;
    char end;
    int y;
    int z;
};

const std::array<Corner, 24> boxTable = {{
    {"r0b", 'B', +1, -1}, {"0gb", 'B', +1, +1}, {"rgb", 'X', +1, +1}, {"rg0", 'X', +1, -1},  // top
    {"r0b", 'X', -1, -1}, {"0gb", 'X', -1, +1}, {"rgb", 'B', -1, +1}, {"rg0", 'B', -1, -1},  // bottom
    {"r0b", 'X', +1, +1}, {"0gb", 'X', -1, +1}, {"rgb", 'B', -1, +1}, {"rg0", 'B', +1, +1},  // z = +0.25
    {"r00", 'X', +1, -1}, {"00b", 'X', -1, -1}, {"rgb", 'B', -1, -1}, {"0g0", 'B', +1, -1},  // z = -0.25
    {"rgb", 'B', -1, -1}, {"r00", 'B', +1, -1}, {"00b", 'B', +1, +1}, {"0g0", 'B', -1, +1},  // base end
    {"00b", 'X', -1, +1}, {"rgb", 'X', +1, +1}, {"0g0", 'X', +1, -1}, {"r00", 'X', -1, -1},  // far end
}};

}  // namespace

GlCall Call(const char* name, std::vector<double> args)
{
    return {name, std::move(args), nullptr};
}

std::vector<GlCall> ExpectedBox(float level, float red, float green, float blue)
{
    const float farX = level - 1.45f;
    std::vector<GlCall> stream = {Call("glBegin", {GL_QUADS})};
    for (const Corner& corner : boxTable) {
        stream.push_back(Call("glColor3f", {corner.colour[0] == 'r' ? red : 0.0f,
                                            corner.colour[1] == 'g' ? green : 0.0f,
                                            corner.colour[2] == 'b' ? blue : 0.0f}));
        stream.push_back(Call("glVertex3f", {corner.end == 'X' ? farX : -1.5f, 0.25 * corner.y, 0.25 * corner.z}));
    }
    stream.push_back(Call("glEnd"));
    return stream;
}

void Append(std::vector<GlCall>& stream, const std::vector<GlCall>& more)
{
    stream.insert(stream.end(), more.begin(), more.end());
}

std::vector<std::vector<GlCall>> RecordedFrames()
{
    std::vector<std::vector<GlCall>> frames(1);
    for (const GlCall& call : glCalls) {
        frames.back().push_back(call);
        if (call.name == "PresentFrame")
            frames.emplace_back();
    }
    frames.pop_back();
    return frames;
}

std::vector<double> FirstArgs(const std::vector<GlCall>& frame, const char* name)
{
    std::vector<double> values;
    for (const GlCall& call : frame) {
        if (call.name == name)
            values.push_back(call.args.at(0));
    }
    return values;
}

void ResetScenes()
{
    const ColourCycle loadColour = {0.0f, 0.33f, 0.66f, true, true, true};
    rectangleSpin = 0.0f;
    rectangleColour = loadColour;
    sphereSpin = {0.0f, 0.0f, 0.0f};
    sphereColour = loadColour;
    squareAngle = 0.0f;
    textureColour = loadColour;

    glCalls.clear();
    onGlCall = nullptr;
    channelLevels = {};
    settings = initialSettings;
    sphereQuadric = recordedQuadric;
}
