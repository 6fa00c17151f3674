#include "linux-program/XConnection.h"

// SDL loads this same libX11 for its window: the handler serves its display.
#include <X11/Xlib.h>

#include <utility>

namespace {

std::function<void(const std::string&)> connectionLost;

int OnIoError(Display* display)
{
    if (connectionLost)
        connectionLost(DisplayString(display));
    return 0;
}

}  // namespace

void WatchXConnection(std::function<void(const std::string& display)> lost)
{
    connectionLost = std::move(lost);
    XSetIOErrorHandler(OnIoError);
}
