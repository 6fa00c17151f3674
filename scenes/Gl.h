// OpenGL 1.1 and GLU, for Windows and for the native build alike.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glu.h>
