// The X server's connection breaking under SDL's window.
#pragma once

#include <functional>
#include <string>

// Xlib ends the process with exit code 1 when the connection breaks; `lost`
// is called then instead, with the display's name, and must end the process
// without using the display.
void WatchXConnection(std::function<void(const std::string& display)> lost);
