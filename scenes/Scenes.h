// The three scenes: each call draws one frame from channelLevels, presents it
// and moves the scene's animation one step.
#pragma once

#include "scenes/LevelMeter.h"
#include "settings/Modules.h"

#include <array>

void DrawRectanglesScene();
void DrawSpheresScene();
void DrawTextureScene();

struct SceneModule {
    MeterConstants meter;
    void (*draw)();
};

// Indexed by ModuleIndex.
inline constexpr std::array<SceneModule, moduleCount> sceneModules = {{
    {rectanglesMeter, DrawRectanglesScene},
    {spheresMeter, DrawSpheresScene},
    {textureMeter, DrawTextureScene},
}};
