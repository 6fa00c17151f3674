// The native program's PresentFrame, for the scenes: the front end that runs
// (a window or an offline render) says where its frames go.
#pragma once

// Called for every frame a scene presents; null presents nothing.
extern void (*presentFrameTo)();
