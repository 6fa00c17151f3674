// The three modules by index, in the order the player is offered them, and
// their names: each is the module's description, its window's title and its
// section in plugin.ini.
#pragma once

#include <array>

enum ModuleIndex : int {
    rectanglesModule,
    spheresModule,
    textureModule,
    moduleCount,
};

inline constexpr std::array<const char*, moduleCount> moduleNames = {
    "Rectangles",
    "Spheres",
    "Rectangle/Texture(prelim)",
};
