#include "linux-program/SdlWindow.h"

#include "scenes/SceneSetup.h"
#include "settings/ScaleKeys.h"
#include "settings/Settings.h"
#include "placement/WindowGeometry.h"

#include <SDL.h>

#include <algorithm>
#include <array>

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool fullScreen = false;
// Until the desktop reports a move, SDL gives the place asked for, which is
// the frame's; after it, the picture's.
bool moved = false;
// The framed window's place and size, put back on leaving full screen.
Placement framed = {};

// The window keeps at least this much client area, and at least a
// title bar's height of it on a screen.
constexpr PlacementLimits limits = {32, 32, 24};
constexpr std::size_t displayLimit = 16;

Placement PlacementOnDisplays(const Placement& saved)
{
    std::array<ScreenRect, displayLimit> areas;
    const int count = std::clamp(SDL_GetNumVideoDisplays(), 0, static_cast<int>(displayLimit));
    std::size_t found = 0;
    for (int i = 0; i < count; ++i) {
        SDL_Rect area;
        if (SDL_GetDisplayUsableBounds(i, &area) == 0)
            areas[found++] = {area.x, area.y, area.x + area.w, area.y + area.h};
    }
    return PlaceOnScreen(saved, limits, areas.data(), found);
}

// The DLL's request: 32-bit colour, 16-bit depth, 8-bit stencil, double-buffered;
// Mesa meets it, as it does the DLL's, with 8 bits a channel, 24-bit depth
// and 8-bit stencil.
void AskForPixelFormat()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}

// The settings' place is the frame's top-left corner, where the desktop puts
// a new window asked to open there; SDL reports the picture's, and a
// window manager adds and removes the frame in its own time, so the place
// is read when the window goes, or full screen comes.
void RecordPlacement()
{
    if (fullScreen)
        return;
    int x = 0, y = 0, top = 0, left = 0;
    SDL_GetWindowPosition(window, &x, &y);
    if (!moved || SDL_GetWindowBordersSize(window, &top, &left, nullptr, nullptr) != 0)
        top = left = 0;
    settings.screen_x = x - left;
    settings.screen_y = y - top;
    SDL_GetWindowSize(window, &settings.screen_w, &settings.screen_h);
}

void ToggleFullScreen()
{
    if (!fullScreen) {
        RecordPlacement();
        SDL_GetWindowPosition(window, &framed.x, &framed.y);
        SDL_GetWindowSize(window, &framed.width, &framed.height);
        // Desktop full screen covers the display the window is on.
        fullScreen = SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
        return;
    }
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowSize(window, framed.width, framed.height);
    SDL_SetWindowPosition(window, framed.x, framed.y);
    fullScreen = false;
}

void OnWindowEvent(const SDL_WindowEvent& event)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_MOVED: moved = true; return;
    case SDL_WINDOWEVENT_SIZE_CHANGED: ResizeScene(DrawableWidth(), DrawableHeight()); return;
    default: return;
    }
}

WindowAction OnKeyDown(SDL_Keycode key)
{
    switch (key) {
    case SDLK_ESCAPE: return WindowAction::Quit;
    case SDLK_m: return WindowAction::NextModule;
    case SDLK_HOME: ApplyScaleKey(ScaleKey::MoreSensitive); return WindowAction::None;
    case SDLK_END: ApplyScaleKey(ScaleKey::LessSensitive); return WindowAction::None;
    default: return WindowAction::None;
    }
}

// Without a display SDL falls back to drivers that show nothing; those only
// when asked for by name.
bool ShowsNothing(const char* driver)
{
    return !SDL_getenv("SDL_VIDEODRIVER") && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

// What the environment names when SDL could open none of it; SDL itself
// says nothing then.
std::string UnopenedDisplays()
{
    std::string names;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = SDL_getenv(variable);
        if (value && *value)
            names += (names.empty() ? "'" : ", nor '") + std::string(value) + "' named by " + variable;
    }
    return names;
}

}  // namespace

bool OpenSdlWindow(const char* title, std::string& error)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("no display: ") + SDL_GetError();
        return false;
    }
    if (ShowsNothing(SDL_GetCurrentVideoDriver())) {
        const std::string names = UnopenedDisplays();
        error = names.empty() ? "no display: set DISPLAY or WAYLAND_DISPLAY" : "cannot open the display " + names;
        return false;
    }
    AskForPixelFormat();
    const Placement place =
        PlacementOnDisplays({settings.screen_x, settings.screen_y, settings.screen_w, settings.screen_h});
    window = SDL_CreateWindow(title, place.x, place.y, place.width, place.height,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        error = std::string("no OpenGL 2.1 window: ") + SDL_GetError();
        CloseSdlWindow();
        return false;
    }
    // No vsync: frames are paced by the module's delay.
    SDL_GL_SetSwapInterval(0);
    fullScreen = false;
    moved = false;
    return true;
}

void CloseSdlWindow()
{
    if (window)
        RecordPlacement();
    if (context)
        SDL_GL_DeleteContext(context);
    if (window)
        SDL_DestroyWindow(window);
    context = nullptr;
    window = nullptr;
}

int DrawableWidth()
{
    int width = 0;
    SDL_GL_GetDrawableSize(window, &width, nullptr);
    return width;
}

int DrawableHeight()
{
    int height = 0;
    SDL_GL_GetDrawableSize(window, nullptr, &height);
    return height;
}

WindowAction HandleWindowEvents()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        WindowAction action = WindowAction::None;
        switch (event.type) {
        case SDL_QUIT: action = WindowAction::Quit; break;
        case SDL_WINDOWEVENT: OnWindowEvent(event.window); break;
        case SDL_KEYDOWN: action = OnKeyDown(event.key.keysym.sym); break;
        case SDL_MOUSEBUTTONDOWN:
            // The click that completes a double-click starts none: a third is a first.
            if (event.button.button == SDL_BUTTON_LEFT && event.button.clicks % 2 == 0)
                ToggleFullScreen();
            break;
        default: break;
        }
        if (action != WindowAction::None)
            return action;
    }
    return WindowAction::None;
}

void SwapSdlWindow()
{
    SDL_GL_SwapWindow(window);
}
