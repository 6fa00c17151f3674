#include "WindowWatch.h"

#include "PlayerStandIn.h"

#include <algorithm>

namespace {

WindowWatch* activeWatch = nullptr;

std::string ClassOf(HWND window)
{
    char name[64] = "";
    if (window)
        GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string TextOf(HWND window)
{
    char text[256] = "";
    if (window)
        GetWindowTextA(window, text, sizeof(text));
    return text;
}

// The message box's text sits in the static control 0xFFFF.
constexpr int boxTextId = 0xFFFF;

CaughtBox ReadBox(HWND box)
{
    CaughtBox caught = {TextOf(box), TextOf(GetDlgItem(box, boxTextId)), false, {},
                        ClassOf(GetWindow(box, GW_OWNER))};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string kind = ClassOf(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(kind.c_str(), "Button") == 0)
            caught.buttons.push_back(GetDlgCtrlID(child));
        else if (lstrcmpiA(kind.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                 SendMessageA(child, STM_GETICON, 0, 0) != 0)
            caught.icon = true;
    }
    return caught;
}

}  // namespace

bool operator==(const CaughtBox& a, const CaughtBox& b)
{
    return a.caption == b.caption && a.text == b.text && a.icon == b.icon && a.buttons == b.buttons &&
           a.ownerClass == b.ownerClass;
}

std::ostream& operator<<(std::ostream& out, const CaughtBox& box)
{
    out << "{caption \"" << box.caption << "\", text \"" << box.text << "\", "
        << (box.icon ? "icon" : "no icon") << ", buttons";
    for (int id : box.buttons)
        out << " " << id;
    return out << ", owner class \"" << box.ownerClass << "\"}";
}

WindowWatch::WindowWatch()
{
    activeWatch = this;
    hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

WindowWatch::~WindowWatch()
{
    UnhookWindowsHookEx(hook);
    activeWatch = nullptr;
}

LRESULT CALLBACK WindowWatch::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto window = reinterpret_cast<HWND>(wParam);
    if (activeWatch && code == HCBT_CREATEWND && ClassOf(window) == pluginClass) {
        const CREATESTRUCTA& create = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        const bool named = create.lpszName && HIWORD(reinterpret_cast<ULONG_PTR>(create.lpszName)) != 0;
        activeWatch->pluginCreations.push_back({create.dwExStyle, named ? create.lpszName : "", create.style,
                                                create.x, create.y, create.cx, create.cy, create.hwndParent,
                                                create.hMenu, create.hInstance, create.lpCreateParams});
        if (activeWatch->refusePluginWindow)
            return 1;
    }
    // A message box is a dialog of class #32770; it is read once shown, then
    // answered with its OK button.
    if (activeWatch && code == HCBT_ACTIVATE && ClassOf(window) == "#32770" &&
        std::find(activeWatch->answered.begin(), activeWatch->answered.end(), window) == activeWatch->answered.end()) {
        activeWatch->answered.push_back(window);
        activeWatch->boxes.push_back(ReadBox(window));
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
