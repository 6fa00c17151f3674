#include "plugin/Lifecycle.h"

void ConfigModule(VisModule*)
{
}

int InitModule(VisModule*)
{
    return 1;
}

int RenderRectangles(VisModule*)
{
    return 0;
}

int RenderSpheres(VisModule*)
{
    return 0;
}

int RenderTexture(VisModule*)
{
    return 0;
}

void QuitModule(VisModule*)
{
}
