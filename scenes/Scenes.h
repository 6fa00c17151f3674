// The three scenes: each call draws one frame from channelLevels, presents it
// and moves the scene's animation one step.
#pragma once

#include "scenes/LevelMeter.h"

#include <array>

void DrawRectanglesScene();
void DrawSpheresScene();
void DrawTextureScene();

// Module indices, in the order the player is offered them.
enum ModuleIndex : int {
    rectanglesModule,
    spheresModule,
    textureModule,
    moduleCount,
};

struct SceneModule {
    const char* description;  // module name, window title, settings section
    MeterConstants meter;
    void (*draw)();
};

inline constexpr std::array<SceneModule, moduleCount> sceneModules = {{
    {"Rectangles", rectanglesMeter, DrawRectanglesScene},
    {"Spheres", spheresMeter, DrawSpheresScene},
    {"Rectangle/Texture(prelim)", textureMeter, DrawTextureScene},
}};
