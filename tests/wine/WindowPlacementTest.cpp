// Where the built plug-in's window opens and what it saves: rescued from
// places off every screen, read and written from a folder whose name the
// ANSI code page cannot hold, and full screen on a double-click.
#include "ClientCapture.h"
#include "host/ImportPatch.h"
#include "PlayerStandIn.h"
#include "WineTestSupport.h"
#include "player/FullScreenRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

namespace {

struct Outer {
    int x, y, width, height;
};

// The 1280 x 1024 screen of tests/run-wine-tests.sh, with no task bar.
constexpr RECT testWorkArea = {0, 0, 1280, 1024};

struct RescueCase {
    const char* what;
    Outer saved;
    Outer opened;
};

const RescueCase rescueCases[] = {
    {"wholly left", {-30000, 50, 640, 480}, {0, 50, 640, 480}},
    {"wholly right", {50000, 50, 640, 480}, {640, 50, 640, 480}},
    {"wholly below", {50, 50000, 640, 480}, {50, 544, 640, 480}},
    {"wholly above", {50, -30000, 640, 480}, {50, 0, 640, 480}},
    {"right edge past the largest integer", {INT_MAX, 50, 640, 480}, {640, 50, 640, 480}},
    /* 5 */
    {"size past the largest integer", {50, 50, INT_MAX, INT_MAX}, {0, 0, 1280, 1024}},
    {"lowest integers", {INT_MIN, INT_MIN, 640, 480}, {0, 0, 640, 480}},
    {"zero size", {70, 60, 0, 0}, {70, 60, 640, 480}},
    {"negative width", {70, 60, -5, 300}, {70, 60, 640, 480}},
    {"no taller than a title bar", {70, 60, 400, 20}, {70, 60, 640, 480}},
    /* 10 */
    {"partly off to the left", {-12, 40, 500, 380}, {-12, 40, 500, 380}},
    {"a third of its width on screen", {-420, 40, 640, 480}, {-420, 40, 640, 480}},
    {"less than a third on screen", {-500, 40, 640, 480}, {0, 40, 640, 480}},
    {"less than a title bar's height on screen", {50, -470, 640, 480}, {50, 0, 640, 480}},
    /* 15 */
    {"its bottom on screen, the caption above", {50, -460, 640, 480}, {50, 0, 640, 480}},
};

std::string Describe(const Outer& outer)
{
    return "(" + std::to_string(outer.x) + ", " + std::to_string(outer.y) + ") " + std::to_string(outer.width) +
           " x " + std::to_string(outer.height);
}

Outer OuterOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Outer SavedOuter(const PlayerStandIn& player, const char* section)
{
    return {player.IniValue(section, "screen_x"), player.IniValue(section, "screen_y"),
            player.IniValue(section, "screen_w"), player.IniValue(section, "screen_h")};
}

MONITORINFO MonitorOf(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
    return info;
}

class Player : public ::testing::Test {
protected:
    void Load(const std::wstring& nameTail = L"")
    {
        std::string failure;
        ASSERT_TRUE(player.Load("", failure, nameTail)) << failure;
    }

    // Writes the module's section afresh and starts the module.
    void Start(int index, const IniKeys& keys)
    {
        WriteFileText(player.IniPath(), IniSection(moduleNames[index], keys));
        ASSERT_TRUE(player.Fetch(index));
        ASSERT_EQ(player.Init(), 0);
        window = player.PluginWindow();
        ASSERT_NE(window, nullptr);
        player.Pump();
    }

    PlayerStandIn player;
    HWND window = nullptr;
};

class OffScreenRescue : public Player {};
class AnyFolder : public Player {};
class FullScreen : public Player {};

TEST_F(OffScreenRescue, LostPlacesComeBackAndValidOnesStay)
{
    ASSERT_NO_FATAL_FAILURE(Load());
    const char* section = moduleNames[0];
    for (size_t row = 0; row < std::size(rescueCases); ++row) {
        const RescueCase& c = rescueCases[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + c.what + ", saved " + Describe(c.saved));
        ASSERT_NO_FATAL_FAILURE(Start(0, {{"screen_x", c.saved.x}, {"screen_y", c.saved.y},
                                          {"screen_w", c.saved.width}, {"screen_h", c.saved.height}}));
        const RECT work = MonitorOf(window).rcWork;
        ASSERT_TRUE(EqualRect(&work, &testWorkArea)) << "work area " << work.right << " x " << work.bottom;
        const Outer opened = OuterOf(window);
        EXPECT_EQ(Describe(opened), Describe(c.opened)) << "where the window opened";
        EXPECT_EQ(player.Render(), 0);
        player.Quit();
        player.Pump();  // takes the quit message of the window's destruction
        EXPECT_EQ(Describe(SavedOuter(player, section)), Describe(opened)) << "saved where it really was";
    }
}

TEST_F(AnyFolder, SettingsAreReadAndWrittenBesideTheLibrary)
{
    // CJK and Thai: no ANSI code page holds both.
    const std::wstring tail = L"-\u96EA\u4EBA-\u0E01\u0E02";
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, tail.c_str(), -1, nullptr, 0, nullptr, &lost);
    ASSERT_TRUE(lost) << "the folder name must not fit code page " << GetACP();

    const char* section = moduleNames[1];
    const IniKeys before = {{"screen_x", 130}, {"screen_y", 110}, {"screen_w", 420}, {"screen_h", 300},
                            {"vistype", 1},    {"fallspeed", 77}, {"scales", 700},   {"scalew", 10000},
                            {"detail", 12},    {"lines", 1}};
    ASSERT_NO_FATAL_FAILURE(Load(tail));
    ASSERT_NO_FATAL_FAILURE(Start(1, before));
    EXPECT_EQ(Describe(OuterOf(window)), Describe({130, 110, 420, 300})) << "placement read from the file";
    PostMessageA(window, WM_KEYDOWN, VK_HOME, 0x01470001);
    player.Pump();
    SetWindowPos(window, nullptr, 140, 120, 400, 310, SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    player.Quit();

    // Still ANSI text in the same layout: the values changed in place.
    const IniKeys after = {{"screen_x", 140}, {"screen_y", 120}, {"screen_w", 400}, {"screen_h", 310},
                           {"vistype", 1},    {"fallspeed", 77}, {"scales", 675},   {"scalew", 10000},
                           {"detail", 12},    {"lines", 1}};
    EXPECT_EQ(ReadFileText(player.IniPath()), IniSection(section, after));
}

constexpr int clickX = 60;
constexpr int clickY = 50;

void Click(HWND window, int x = clickX, int y = clickY)
{
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void DoubleClick(PlayerStandIn& player, HWND window)
{
    Click(window);
    Click(window);
    player.Pump();
}

// The desk once the monitor the window was on has gone: one monitor, to
// the right of where the test screen is.
const HMONITOR remainingMonitor = reinterpret_cast<HMONITOR>(0x7E57);
constexpr RECT remainingArea = {2000, 0, 3280, 1024};

BOOL WINAPI OnlyRemainingMonitor(HDC, LPCRECT, MONITORENUMPROC callback, LPARAM data)
{
    RECT area = remainingArea;
    callback(remainingMonitor, nullptr, &area, data);
    return TRUE;
}

BOOL WINAPI RemainingMonitorInfo(HMONITOR monitor, LPMONITORINFO info)
{
    if (monitor != remainingMonitor)
        return GetMonitorInfoA(monitor, info);
    info->rcMonitor = info->rcWork = remainingArea;
    info->dwFlags = 0;
    return TRUE;
}

bool Lit(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) > 12;
}

TEST_F(FullScreen, DoubleClickCoversTheMonitorAndComesBack)
{
    // A tall narrow window: a projection left at its aspect would stretch
    // the full-screen scene far beyond the geometry checked below.
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_NO_FATAL_FAILURE(Start(0, {{"screen_x", 100}, {"screen_y", 80}, {"screen_w", 320}, {"screen_h", 640},
                                      {"vistype", 1}, {"scales", 28800}}));
    const char* section = moduleNames[0];
    const Outer normal = OuterOf(window);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    const RECT monitor = MonitorOf(window).rcMonitor;
    const Outer whole = {monitor.left, monitor.top, monitor.right - monitor.left, monitor.bottom - monitor.top};
    FillAlternating(player.Spectrum(0), 100, 0);
    FillAlternating(player.Spectrum(1), 100, 0);

    // Two clicks too far apart in time or place are no double-click.
    Click(window);
    player.Pump();
    Sleep(GetDoubleClickTime() + 200);
    Click(window);
    Click(window, clickX + GetSystemMetrics(SM_CXDOUBLECLK) + 4, clickY);
    player.Pump();
    EXPECT_EQ(Describe(OuterOf(window)), Describe(normal)) << "still framed";

    DoubleClick(player, window);
    EXPECT_EQ(Describe(OuterOf(window)), Describe(whole)) << "covers the monitor";
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, whole.width) << "no frame left";
    EXPECT_EQ(client.bottom, whole.height);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);

    // The scene fills the monitor with the monitor's aspect: the boxes'
    // outer edges lie about 0.9 half-heights from the centre, their base
    // 0.77 half-heights below it (the 45-degree view of boxes 5 units away).
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_EQ(player.Render(), 0);
    const Frame shown = CaptureClient(window);
    ASSERT_EQ(shown.width, whole.width);
    const Area lit = Bounds(shown, {0, 0, shown.width, shown.height}, Lit);
    ASSERT_GE(lit.top, 0) << "nothing drawn";
    const double half = shown.height / 2.0;
    EXPECT_NEAR((shown.width / 2.0 - lit.left) / half, 0.9, 0.04) << "left edge, column " << lit.left;
    EXPECT_NEAR((lit.right - shown.width / 2.0) / half, 0.9, 0.04) << "right edge, column " << lit.right;
    EXPECT_NEAR((lit.bottom - half) / half, 0.77, 0.04) << "base, row " << lit.bottom;

    // Keys act and reach the player as in the framed window.
    PostMessageA(window, WM_KEYDOWN, VK_END, 0x014F0001);
    PostMessageA(window, WM_KEYUP, VK_END, static_cast<LPARAM>(0xC14F0001));
    player.Pump();
    ASSERT_EQ(player.hostKeys.size(), 2u);
    EXPECT_EQ(player.hostKeys[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(player.hostKeys[0].wParam, static_cast<WPARAM>(VK_END));
    EXPECT_EQ(player.hostKeys[1].message, static_cast<UINT>(WM_KEYUP));

    DoubleClick(player, window);
    EXPECT_EQ(Describe(OuterOf(window)), Describe(normal)) << "back where it was";
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), style);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), exStyle);

    // Stopped while full screen: the framed window's place is saved.
    DoubleClick(player, window);
    EXPECT_EQ(Describe(OuterOf(window)), Describe(whole));
    EXPECT_EQ(player.Render(), 0);
    player.Quit();
    EXPECT_EQ(Describe(SavedOuter(player, section)), Describe(normal));
    EXPECT_EQ(player.IniValue(section, "scales"), 28825) << "END while full screen";

    // The next start opens framed, where the window was.
    ASSERT_EQ(player.Init(), 0);
    window = player.PluginWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Describe(OuterOf(window)), Describe(normal));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), style);
    player.Quit();
}

// Brimwave.exe's request, which carries full screen over to the next module.
TEST_F(FullScreen, TheHostsRequestCoversTheMonitorAndADoubleClickLeaves)
{
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_NO_FATAL_FAILURE(Start(1, {{"screen_x", 100}, {"screen_y", 80}, {"screen_w", 320}, {"screen_h", 240}}));
    const UINT request = RegisterWindowMessageA("Brimwave full screen request");
    ASSERT_NE(request, 0u);
    const Outer normal = OuterOf(window);
    const RECT monitor = MonitorOf(window).rcMonitor;
    const Outer whole = {monitor.left, monitor.top, monitor.right - monitor.left, monitor.bottom - monitor.top};
    const auto gone = reinterpret_cast<LPARAM>(reinterpret_cast<HMONITOR>(0x7E57));

    EXPECT_EQ(SendMessageA(window, request, askFullScreen, 0), 0) << "framed";
    EXPECT_EQ(Describe(OuterOf(window)), Describe(normal)) << "asking changes nothing";
    EXPECT_EQ(SendMessageA(window, request, enterFullScreen, gone), 1) << "a monitor that has gone: its own";
    EXPECT_EQ(Describe(OuterOf(window)), Describe(whole));
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_EQ(SendMessageA(window, request, askFullScreen, 0), 1);
    const auto own = reinterpret_cast<LPARAM>(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY));
    EXPECT_EQ(SendMessageA(window, request, enterFullScreen, own), 1) << "already";
    player.Pump();

    DoubleClick(player, window);
    EXPECT_EQ(Describe(OuterOf(window)), Describe(normal)) << "back where it opened";
    EXPECT_EQ(SendMessageA(window, request, askFullScreen, 0), 0);

    // Stopped while full screen by the request: the framed place is saved.
    EXPECT_EQ(SendMessageA(window, request, enterFullScreen, own), 1);
    EXPECT_EQ(player.Render(), 0);
    player.Quit();
    EXPECT_EQ(Describe(SavedOuter(player, moduleNames[1])), Describe(normal));
}

TEST_F(FullScreen, LeavingAfterItsMonitorWentComesBackOnAnother)
{
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_NO_FATAL_FAILURE(Start(0, {{"screen_x", 100}, {"screen_y", 80}, {"screen_w", 320}, {"screen_h", 640}}));
    DoubleClick(player, window);
    ASSERT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0) << "full screen";

    void* enumerate = PatchImport(player.library, "USER32.dll", "EnumDisplayMonitors",
                                  reinterpret_cast<void*>(OnlyRemainingMonitor));
    void* info = PatchImport(player.library, "USER32.dll", "GetMonitorInfoA",
                             reinterpret_cast<void*>(RemainingMonitorInfo));
    ASSERT_TRUE(enumerate && info) << "the plug-in imports both";
    DoubleClick(player, window);
    const Outer rescued = {2000, 80, 320, 640};
    EXPECT_EQ(Describe(OuterOf(window)), Describe(rescued)) << "framed, on the monitor that is left";
    PatchImport(player.library, "USER32.dll", "EnumDisplayMonitors", enumerate);
    PatchImport(player.library, "USER32.dll", "GetMonitorInfoA", info);
    player.Quit();
    EXPECT_EQ(Describe(SavedOuter(player, moduleNames[0])), Describe(rescued));
}

}  // namespace
