// The module entries the player calls through a VisModule record.
#pragma once

#include "player/VisModule.h"

void ConfigModule(VisModule* module);
int InitModule(VisModule* module);
int RenderRectangles(VisModule* module);
int RenderSpheres(VisModule* module);
int RenderTexture(VisModule* module);
void QuitModule(VisModule* module);
