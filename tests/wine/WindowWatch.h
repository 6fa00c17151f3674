// Watches this thread's window creations and message boxes through a CBT
// hook: records the plug-in window's creation arguments, can refuse that
// window, and reads and dismisses every message box as the user would.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

struct CaughtBox {
    std::string caption;
    std::string text;
    bool icon;                 // an icon control showing an icon
    std::vector<int> buttons;  // control ids, in tab order
    std::string ownerClass;    // class of the owner window, "" without owner
};

bool operator==(const CaughtBox& a, const CaughtBox& b);
std::ostream& operator<<(std::ostream& out, const CaughtBox& box);

struct CreationArguments {
    DWORD exStyle;
    std::string title;
    LONG style;
    int x, y, width, height;
    HWND parent;
    HMENU menu;
    HINSTANCE instance;
    void* parameters;
};

class WindowWatch {
public:
    WindowWatch();
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    // When set, creating a window of class "Brimwave" fails.
    bool refusePluginWindow = false;
    std::vector<CaughtBox> boxes;
    std::vector<CreationArguments> pluginCreations;

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook;
    std::vector<HWND> answered;
};
