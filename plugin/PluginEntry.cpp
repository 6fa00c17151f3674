#include "plugin/PluginEntry.h"

#include "plugin/Lifecycle.h"
#include "settings/Modules.h"

#include <array>

int activeModule = 0;

namespace {

constexpr VisModule MakeModule(int index, RenderEntry render)
{
    return ::MakeModule(moduleNames[index], ConfigModule, InitModule, render, QuitModule);
}

std::array<VisModule, moduleCount> modules = {
    MakeModule(rectanglesModule, RenderRectangles),
    MakeModule(spheresModule, RenderSpheres),
    MakeModule(textureModule, RenderTexture),
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
