// The module entries the player calls through a VisModule record.
#pragma once

#include "player/VisModule.h"

void ConfigModule(VisModule* module);
int InitModule(VisModule* module);
int RenderModule(VisModule* module);
void QuitModule(VisModule* module);
