// Brimwave.exe: this host under another name, for people who just want to
// look. Without a plug-in on its command line it runs vis_brim.dll from its
// own folder, listening to the PC, starting with the module used last.
#pragma once

#include "host/HostOptions.h"
#include "player/VisModule.h"

// True when this program's file is called Brimwave.exe.
bool IsViewerProgram();

// The options a double-click gets; arguments given on top change them.
HostOptions ViewerDefaults();

// A program without a console (a double-click) shows its messages in a box;
// one started from a console writes them there.
void AttachParentConsole();
bool HasConsoleOutput();

// The next module after `index`, back to 0 past the last.
int NextModule(ModuleGetter getModule, int index);

// Keeps the module in plugin.ini beside the plug-in for the next start;
// a line when the file cannot be written (the run goes on).
void RememberModule(const std::string& pluginPath, int index);
