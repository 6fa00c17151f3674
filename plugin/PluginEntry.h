// The exported entry, the module table and the index of the module in use.
#pragma once

#include "player/VisModule.h"

// Index of the module last handed out by GetModule; every Config, Init, Quit
// and window event acts for it, whatever record the call carries.
extern int activeModule;

VisModule* GetModule(int index);

extern "C" __declspec(dllexport) VisHeader* winampVisGetHeader();
