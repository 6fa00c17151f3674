#include "plugin/PluginEntry.h"

#include "plugin/Lifecycle.h"

#include <array>

int activeModule = 0;

namespace {

constexpr VisModule MakeModule(const char* description, RenderEntry render)
{
    return ::MakeModule(description, ConfigModule, InitModule, render, QuitModule);
}

std::array<VisModule, 3> modules = {
    MakeModule("Rectangles", RenderRectangles),
    MakeModule("Spheres", RenderSpheres),
    MakeModule("Rectangle/Texture(prelim)", RenderTexture),
};

VisHeader header = {visHeaderVersion, "Brimwave (OpenGL) v0.6", GetModule};

}  // namespace

VisModule* GetModule(int index)
{
    if (index < 0 || index >= static_cast<int>(modules.size()))
        return nullptr;
    activeModule = index;
    return &modules[index];
}

VisHeader* winampVisGetHeader()
{
    return &header;
}
