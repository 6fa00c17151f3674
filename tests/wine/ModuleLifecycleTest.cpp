// The built plug-in driven as the player drives it: Init, Render and Quit on
// one thread with its messages pumped in between. Covers the window and its
// class, the keys, the failure reports, and the release of every object.
#include "ClientCapture.h"
#include "host/ImportPatch.h"
#include "ObjectCallLog.h"
#include "PlayerStandIn.h"
#include "WindowWatch.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

namespace {

constexpr char playerClass[] = "BrimwaveTestPlayer";
constexpr LONG createdStyle = 0x100C0000;  // WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME

int WINAPI NoPixelFormat(HDC, const PIXELFORMATDESCRIPTOR*)
{
    return 0;
}

BOOL WINAPI PixelFormatRefused(HDC, int, const PIXELFORMATDESCRIPTOR*)
{
    return FALSE;
}

HGLRC WINAPI NoContext(HDC)
{
    return nullptr;
}

BOOL WINAPI NotMadeCurrent(HDC, HGLRC)
{
    return FALSE;
}

bool ClassRegistered(HMODULE library)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    return GetClassInfoExA(library, pluginClass, &windowClass) != 0;
}

std::string MessageName(UINT message)
{
    switch (message) {
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_CHAR: return "WM_CHAR";
    default: return std::to_string(message);
    }
}

std::string Describe(const HostMessage& message)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%s wParam %#lx lParam %#lx", MessageName(message.message).c_str(),
                  static_cast<unsigned long>(message.wParam), static_cast<unsigned long>(message.lParam));
    return text;
}

// Compares message by message and prints expected against actual.
void ExpectHostKeys(const std::vector<HostMessage>& expected, const std::vector<HostMessage>& actual)
{
    const size_t count = std::max(expected.size(), actual.size());
    for (size_t i = 0; i < count; ++i) {
        const std::string want = i < expected.size() ? Describe(expected[i]) : "nothing";
        const std::string got = i < actual.size() ? Describe(actual[i]) : "nothing";
        EXPECT_EQ(want, got) << "player's window, message " << i;
    }
}

void ExpectBoxes(const std::vector<CaughtBox>& expected, const std::vector<CaughtBox>& actual)
{
    const size_t count = std::max(expected.size(), actual.size());
    for (size_t i = 0; i < count; ++i) {
        if (i >= expected.size())
            ADD_FAILURE() << "message box " << i << ": expected none, got " << actual[i];
        else if (i >= actual.size())
            ADD_FAILURE() << "message box " << i << ": expected " << expected[i] << ", got none";
        else
            EXPECT_EQ(expected[i], actual[i]) << "message box " << i;
    }
}

void PostKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 0x00000001);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

void Paint(HWND window)
{
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

class PlayerFixture : public ::testing::Test {
protected:
    void Load(const std::string& iniText)
    {
        std::string failure;
        ASSERT_TRUE(player.Load(iniText, failure)) << failure;
    }

    void Start(int index, const IniKeys& keys)
    {
        ASSERT_NO_FATAL_FAILURE(Load(IniSection(moduleNames[index], keys)));
        ASSERT_TRUE(player.Fetch(index));
        ASSERT_EQ(player.Init(), 0);
        window = player.PluginWindow();
        ASSERT_NE(window, nullptr);
        player.Pump();
    }

    void Record()
    {
        ASSERT_TRUE(RecordObjectCalls(player.library, calls)) << "the plug-in imports all recorded calls";
    }

    void TearDown() override { StopRecording(); }

    // The log outlives the player, whose end may still quit the module.
    ObjectCalls calls;
    PlayerStandIn player;
    HWND window = nullptr;
};

class VisWindow : public PlayerFixture {};
class Keys : public PlayerFixture {};
class InitFailures : public PlayerFixture {};
class MendedFaults : public PlayerFixture {};
class InitQuitCycles : public PlayerFixture {};

TEST_F(VisWindow, ClassAndWindowFollowTheirTables)
{
    WindowWatch watch;
    ASSERT_NO_FATAL_FAILURE(
        Start(1, {{"screen_x", 120}, {"screen_y", 90}, {"screen_w", 500}, {"screen_h", 380}}));

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExA(player.library, pluginClass, &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_SAVEBITS));
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(windowClass.hIconSm, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hbrBackground, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(windowClass.lpszMenuName, nullptr);

    ASSERT_EQ(watch.pluginCreations.size(), 1u);
    const CreationArguments& created = watch.pluginCreations[0];
    // The platform adds the window edge of a sizing frame before the hook sees it.
    EXPECT_EQ(created.exStyle & ~WS_EX_WINDOWEDGE, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(created.style, createdStyle);
    EXPECT_EQ(created.title, "Spheres");
    EXPECT_EQ(created.x, 120);
    EXPECT_EQ(created.y, 90);
    EXPECT_EQ(created.width, 500);
    EXPECT_EQ(created.height, 380);
    EXPECT_EQ(created.parent, player.host);
    EXPECT_EQ(created.menu, nullptr);
    EXPECT_EQ(created.instance, player.library);
    EXPECT_EQ(created.parameters, nullptr);

    // An overlapped window always gets a caption and clips its siblings.
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & ~(WS_CAPTION | WS_CLIPSIBLINGS), createdStyle) << std::hex << style;
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(window, GW_OWNER), player.host);
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow()) << "owned, not a child";
    char title[64] = "";
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Spheres");
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 120);
    EXPECT_EQ(outer.top, 90);
    EXPECT_EQ(outer.right, 620);
    EXPECT_EQ(outer.bottom, 470);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(player.quitCodes.empty());

    player.Quit();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ClassRegistered(player.library));
}

TEST_F(VisWindow, MovesAndResizesAreSavedAtQuit)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, {{"screen_x", 60}, {"screen_y", 70}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 1}, {"fallspeed", 77}, {"scales", 500}, {"scalew", 10000}}));
    SetWindowPos(window, nullptr, 150, 120, 420, 330, SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    EXPECT_EQ(player.Render(), 0);
    MoveWindow(window, 160, 130, 400, 300, TRUE);
    player.Pump();
    EXPECT_EQ(player.Render(), 0);
    player.Quit();

    const char* section = moduleNames[0];
    EXPECT_EQ(player.IniValue(section, "screen_x"), 160);
    EXPECT_EQ(player.IniValue(section, "screen_y"), 130);
    EXPECT_EQ(player.IniValue(section, "screen_w"), 400);
    EXPECT_EQ(player.IniValue(section, "screen_h"), 300);
    EXPECT_EQ(player.IniValue(section, "vistype"), 1);
    EXPECT_EQ(player.IniValue(section, "fallspeed"), 77);
    EXPECT_EQ(player.IniValue(section, "scales"), 500);
    EXPECT_EQ(player.IniValue(section, "scalew"), 10000);

    // The next start opens where the last one was left.
    ASSERT_EQ(player.Init(), 0);
    window = player.PluginWindow();
    ASSERT_NE(window, nullptr);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 160);
    EXPECT_EQ(outer.top, 130);
    EXPECT_EQ(outer.right - outer.left, 400);
    EXPECT_EQ(outer.bottom - outer.top, 300);
    player.Quit();
}

struct KeyMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool posted;  // else sent
};

const KeyMessage keysToPlugin[] = {
    {WM_KEYDOWN, 'A', 0x001E0001, false},
    {WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001), false},
    {WM_KEYDOWN, VK_HOME, 0x01470001, true},
    {WM_KEYDOWN, VK_HOME, 0x41470001, true},  // auto-repeat
    {WM_KEYUP, VK_HOME, static_cast<LPARAM>(0xC1470001), true},
    /* 5 */
    {WM_KEYDOWN, VK_END, 0x014F0001, false},
    {WM_CHAR, 'a', 0x001E0001, false},  // not a key message: stays with the plug-in
    {WM_KEYUP, VK_END, static_cast<LPARAM>(0xC14F0001), false},
    {WM_KEYDOWN, VK_F1, 0x003B0001, true},
    {WM_KEYUP, 0xFFFF, 0x12345678, false},  // any values, passed on as they are
    /* 10 */
    {WM_KEYDOWN, 0, 0, true},
};

const HostMessage keysAtPlayer[] = {
    {WM_KEYDOWN, 'A', 0x001E0001},
    {WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001)},
    {WM_KEYDOWN, VK_HOME, 0x01470001},
    {WM_KEYDOWN, VK_HOME, 0x41470001},
    {WM_KEYUP, VK_HOME, static_cast<LPARAM>(0xC1470001)},
    /* 5 */
    {WM_KEYDOWN, VK_END, 0x014F0001},
    {WM_KEYUP, VK_END, static_cast<LPARAM>(0xC14F0001)},
    {WM_KEYDOWN, VK_F1, 0x003B0001},
    {WM_KEYUP, 0xFFFF, 0x12345678},
    {WM_KEYDOWN, 0, 0},
};

TEST_F(Keys, EveryKeyMessageReachesThePlayerUnchanged)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, {{"vistype", 1}}));
    for (const KeyMessage& key : keysToPlugin) {
        if (key.posted) {
            PostMessageA(window, key.message, key.wParam, key.lParam);
            player.Pump();
            continue;
        }
        const size_t before = player.hostKeys.size();
        EXPECT_EQ(SendMessageA(window, key.message, key.wParam, key.lParam), 0) << Describe({key.message, key.wParam, key.lParam});
        // Posted on, not sent: it waits in the queue for the player's loop.
        EXPECT_EQ(player.hostKeys.size(), before) << "delivered during the send";
        MSG waiting;
        const bool queued = PeekMessageA(&waiting, player.host, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) != 0;
        EXPECT_EQ(queued, key.message != WM_CHAR) << Describe({key.message, key.wParam, key.lParam});
        player.Pump();
    }
    ExpectHostKeys(std::vector<HostMessage>(std::begin(keysAtPlayer), std::end(keysAtPlayer)), player.hostKeys);
    EXPECT_TRUE(player.quitCodes.empty());
    player.Quit();
}

struct DivisorCase {
    int module;
    int vistype;
    int scales;
    int scalew;
    const char* keys;  // H for HOME, E for END
    int savedScales;
    int savedScalew;
};

const DivisorCase divisorCases[] = {
    {0, 0, 500, 150, "HHH", 500, 1},  // 150, 50, 1, and no lower
    {1, 1, 30, 10000, "HH", 1, 10000},  // 30, 5, 1
    {2, 1, 30, 10000, "HHE", 26, 10000},
    {0, 1, 500, 10000, "E", 525, 10000},
    {1, 0, 500, 10000, "E", 500, 10100},
    /* 5 */
    {2, 2, 30, 150, "HEE", 30, 150},  // neither source: nothing changes
    {1, 0, 500, 10000, "EEH", 500, 10100},
};

TEST_F(Keys, HomeAndEndStepTheDivisorOfTheSourceAndAreSavedAtQuit)
{
    for (size_t row = 0; row < std::size(divisorCases); ++row) {
        const DivisorCase& c = divisorCases[row];
        SCOPED_TRACE("row " + std::to_string(row) + ", keys " + c.keys);
        PlayerStandIn rowPlayer;
        std::string failure;
        const char* section = moduleNames[c.module];
        ASSERT_TRUE(rowPlayer.Load(IniSection(section, {{"vistype", c.vistype}, {"scales", c.scales},
                                                         {"scalew", c.scalew}}), failure)) << failure;
        ASSERT_TRUE(rowPlayer.Fetch(c.module));
        ASSERT_EQ(rowPlayer.Init(), 0);
        HWND rowWindow = rowPlayer.PluginWindow();
        ASSERT_NE(rowWindow, nullptr);
        const std::string keys = c.keys;
        for (char key : keys) {
            PostKey(rowWindow, key == 'H' ? VK_HOME : VK_END);
            rowPlayer.Pump();
        }
        EXPECT_EQ(rowPlayer.Render(), 0);
        rowPlayer.Quit();
        EXPECT_EQ(rowPlayer.hostKeys.size(), 2 * keys.size()) << "every key reaches the player";
        EXPECT_EQ(rowPlayer.IniValue(section, "scales"), c.savedScales);
        EXPECT_EQ(rowPlayer.IniValue(section, "scalew"), c.savedScalew);
        EXPECT_EQ(rowPlayer.IniValue(section, "vistype"), c.vistype);
    }
}

TEST_F(Keys, EscapeSignalsThePlayerAndLeavesTheWindowOpen)
{
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(moduleNames[index]);
        // The log outlives the player, whose end may still quit the module.
        ObjectCalls moduleCalls;
        PlayerStandIn modulePlayer;
        std::string failure;
        ASSERT_TRUE(modulePlayer.Load(IniSection(moduleNames[index], {{"vistype", 1}, {"scales", 1000}}), failure))
            << failure;
        ASSERT_TRUE(RecordObjectCalls(modulePlayer.library, moduleCalls));
        ASSERT_TRUE(modulePlayer.Fetch(index));
        ASSERT_EQ(modulePlayer.Init(), 0);
        HWND moduleWindow = modulePlayer.PluginWindow();
        ASSERT_NE(moduleWindow, nullptr);
        EXPECT_EQ(modulePlayer.Render(), 0);
        modulePlayer.Pump();
        ASSERT_TRUE(modulePlayer.quitCodes.empty());

        PostMessageA(moduleWindow, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        modulePlayer.Pump();
        EXPECT_EQ(modulePlayer.quitCodes, std::vector<WPARAM>{0}) << "one quit message, code 0";
        ExpectHostKeys({{WM_KEYDOWN, VK_ESCAPE, 0x00010001}}, modulePlayer.hostKeys);
        EXPECT_TRUE(IsWindow(moduleWindow));
        EXPECT_TRUE(IsWindowVisible(moduleWindow));
        EXPECT_TRUE(moduleCalls.contexts.Balanced()) << "ESC releases the context: " << moduleCalls.contexts;

        // Released: frames and paints draw nothing and signal nothing.
        const int swapsBefore = moduleCalls.swaps;
        for (int frame = 0; frame < 3; ++frame)
            EXPECT_EQ(modulePlayer.Render(), 0);
        Paint(moduleWindow);
        modulePlayer.Pump();
        EXPECT_EQ(moduleCalls.swaps, swapsBefore) << "nothing presented after ESC";
        EXPECT_EQ(modulePlayer.quitCodes.size(), 1u);

        PostMessageA(moduleWindow, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        modulePlayer.Pump();
        EXPECT_EQ(modulePlayer.quitCodes, (std::vector<WPARAM>{0, 0})) << "a second ESC signals again";
        EXPECT_EQ(modulePlayer.Render(), 0);
        modulePlayer.Quit();
        modulePlayer.Pump();
        EXPECT_FALSE(IsWindow(moduleWindow));
        EXPECT_FALSE(ClassRegistered(modulePlayer.library));
        for (WPARAM code : modulePlayer.quitCodes)
            EXPECT_EQ(code, 0u);

        EXPECT_EQ(moduleCalls.contexts.taken, 1);
        EXPECT_TRUE(moduleCalls.contexts.Balanced()) << "contexts: " << moduleCalls.contexts;
        EXPECT_TRUE(moduleCalls.quadrics.Balanced()) << "quadrics: " << moduleCalls.quadrics;
        EXPECT_TRUE(moduleCalls.dcs.Balanced()) << "device contexts: " << moduleCalls.dcs;
        if (index == 1) {
            EXPECT_EQ(moduleCalls.quadrics.taken, 1) << "the Spheres module draws with a quadric";
        }
        StopRecording();
    }
}

TEST_F(InitFailures, SecondInitAfterAFailedOneReportsTheRegisteredClass)
{
    ASSERT_NO_FATAL_FAILURE(Load(IniSection(moduleNames[0], {{"screen_w", 320}})));
    ASSERT_TRUE(player.Fetch(0));
    WindowWatch watch;
    watch.refusePluginWindow = true;
    EXPECT_EQ(player.Init(), 1);
    EXPECT_TRUE(ClassRegistered(player.library)) << "the class stays registered";
    EXPECT_EQ(player.Init(), 1);
    EXPECT_TRUE(PluginWindows().empty());
    ExpectBoxes({{"Error", "Error creating window", false, {IDOK}, playerClass},
                 {"Error", "Error registering window class", false, {IDOK}, playerClass}},
                watch.boxes);

    // Quit after the failure saves and removes the class.
    ASSERT_EQ(player.IniValue(moduleNames[0], "fallspeed"), INT_MIN) << "not in the file before";
    player.Quit();
    EXPECT_FALSE(ClassRegistered(player.library));
    EXPECT_EQ(player.IniValue(moduleNames[0], "screen_w"), 320);
    EXPECT_EQ(player.IniValue(moduleNames[0], "fallspeed"), 77) << "the initial value, saved";
    player.Pump();
    EXPECT_TRUE(player.quitCodes.empty()) << "a failed start signals nothing";

    watch.refusePluginWindow = false;
    EXPECT_EQ(player.Init(), 0);
    EXPECT_EQ(PluginWindows().size(), 1u);
    player.Quit();
    EXPECT_EQ(watch.boxes.size(), 2u) << "no further message box";
}

struct SetupFailureCase {
    int module;
    const char* dll;
    const char* function;
    void* stub;
    const char* report;
};

const SetupFailureCase setupFailureCases[] = {
    {0, "GDI32.dll", "ChoosePixelFormat", reinterpret_cast<void*>(NoPixelFormat), "ChoosePixelFormat failed"},
    {1, "GDI32.dll", "SetPixelFormat", reinterpret_cast<void*>(PixelFormatRefused), "SetPixelFormat failed"},
    {2, "GDI32.dll", "ChoosePixelFormat", reinterpret_cast<void*>(NoPixelFormat), "ChoosePixelFormat failed"},
    {1, "OPENGL32.dll", "wglCreateContext", reinterpret_cast<void*>(NoContext), "wglCreateContext failed"},
    {2, "OPENGL32.dll", "wglMakeCurrent", reinterpret_cast<void*>(NotMadeCurrent), "wglMakeCurrent failed"},
};

TEST_F(MendedFaults, SetupFailureIsReportedAndLeavesNothingBehind)
{
    for (const SetupFailureCase& c : setupFailureCases) {
        SCOPED_TRACE(c.report);
        ObjectCalls caseCalls;
        PlayerStandIn casePlayer;
        std::string failure;
        ASSERT_TRUE(casePlayer.Load("", failure)) << failure;
        ASSERT_TRUE(RecordObjectCalls(casePlayer.library, caseCalls));
        ASSERT_TRUE(casePlayer.Fetch(c.module));
        void* real = PatchImport(casePlayer.library, c.dll, c.function, c.stub);
        ASSERT_NE(real, nullptr) << "the plug-in imports " << c.function;

        WindowWatch watch;
        EXPECT_EQ(casePlayer.Init(), 1);
        // Still here: the player's process goes on.
        ExpectBoxes({{"Error", c.report, true, {IDOK}, pluginClass}}, watch.boxes);
        EXPECT_TRUE(PluginWindows().empty()) << "no window left";
        EXPECT_FALSE(ClassRegistered(casePlayer.library)) << "no class left";
        casePlayer.Pump();
        EXPECT_TRUE(casePlayer.quitCodes.empty()) << "a failed start signals nothing";
        EXPECT_TRUE(caseCalls.dcs.Balanced()) << "device contexts: " << caseCalls.dcs;
        EXPECT_TRUE(caseCalls.contexts.Balanced()) << "contexts: " << caseCalls.contexts;
        EXPECT_TRUE(caseCalls.quadrics.Balanced()) << "quadrics: " << caseCalls.quadrics;

        // With the real function back, the next start works.
        PatchImport(casePlayer.library, c.dll, c.function, real);
        EXPECT_EQ(casePlayer.Init(), 0);
        EXPECT_EQ(PluginWindows().size(), 1u);
        EXPECT_EQ(casePlayer.Render(), 0);
        casePlayer.Quit();
        EXPECT_EQ(watch.boxes.size(), 1u) << "no further message box";
        StopRecording();
    }
}

TEST_F(MendedFaults, DeviceContextIsGivenBackWhenTheWindowGoes)
{
    ASSERT_NO_FATAL_FAILURE(Load(IniSection(moduleNames[1], {{"vistype", 1}})));
    ASSERT_NO_FATAL_FAILURE(Record());
    ASSERT_TRUE(player.Fetch(1));

    // Destroyed by Quit.
    ASSERT_EQ(player.Init(), 0);
    window = player.PluginWindow();
    EXPECT_EQ(player.Render(), 0);
    player.Quit();
    ASSERT_EQ(calls.dcWindows, std::vector<HWND>{window}) << "the window's own device context, taken once";
    EXPECT_TRUE(calls.dcs.Balanced()) << "device contexts: " << calls.dcs;
    player.Pump();

    // Closed by the user: default processing destroys it before Quit.
    ASSERT_EQ(player.Init(), 0);
    window = player.PluginWindow();
    EXPECT_EQ(player.Render(), 0);
    player.quitCodes.clear();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(calls.dcs.Balanced()) << "given back at destruction: " << calls.dcs;
    EXPECT_TRUE(calls.contexts.Balanced()) << "contexts: " << calls.contexts;
    player.Pump();
    EXPECT_EQ(player.quitCodes, std::vector<WPARAM>{0}) << "closing signals the player";
    const int swapsBefore = calls.swaps;
    EXPECT_EQ(player.Render(), 0);
    EXPECT_EQ(calls.swaps, swapsBefore) << "nothing presented after the window closed";
    player.Quit();
    EXPECT_FALSE(ClassRegistered(player.library));
    EXPECT_EQ(calls.dcs.taken, 2);
    EXPECT_TRUE(calls.dcs.Balanced()) << "device contexts: " << calls.dcs;
    EXPECT_TRUE(calls.quadrics.Balanced()) << "quadrics: " << calls.quadrics;
}

bool Coloured(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) - std::min({p.red, p.green, p.blue}) > 48;
}

TEST_F(MendedFaults, ZeroClientHeightDoesNotFail)
{
    ASSERT_NO_FATAL_FAILURE(Start(2, {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                                      {"vistype", 0}, {"fallspeed", 700}, {"scalew", 28800}}));
    ASSERT_NO_FATAL_FAILURE(Record());
    FillAlternating(player.Waveform(0), 100, 0);
    FillAlternating(player.Waveform(1), 150, 0);
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_EQ(player.Render(), 0);
    const Frame before = CaptureClient(window);
    ASSERT_GT(before.height, 0);
    const Area fullBefore = {0, 0, before.width, before.height};
    const Area boxesBefore = Bounds(before, fullBefore, Coloured);
    ASSERT_GE(boxesBefore.top, 0) << "boxes drawn before";

    // A frame with no client area left.
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, 640, frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    GetClientRect(window, &client);
    EXPECT_EQ(client.bottom, 0) << "no client height";
    EXPECT_EQ(player.Render(), 0);
    Paint(window);
    player.Pump();

    ShowWindow(window, SW_MINIMIZE);
    player.Pump();
    EXPECT_TRUE(IsIconic(window));
    EXPECT_EQ(player.Render(), 0);
    EXPECT_EQ(player.Render(), 0);
    ShowWindow(window, SW_RESTORE);
    SetWindowPos(window, nullptr, 40, 40, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    const int swapsBefore = calls.swaps;
    for (int frame = 0; frame < 2; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_EQ(calls.swaps, swapsBefore + 2) << "frames presented again";
    EXPECT_TRUE(player.quitCodes.empty()) << "nothing failed or ended";

    const Frame after = CaptureClient(window);
    ASSERT_EQ(after.height, before.height);
    const Area boxesAfter = Bounds(after, {0, 0, after.width, after.height}, Coloured);
    EXPECT_NEAR(boxesAfter.left, boxesBefore.left, 1);
    EXPECT_NEAR(boxesAfter.top, boxesBefore.top, 1);
    EXPECT_NEAR(boxesAfter.right, boxesBefore.right, 1);
    EXPECT_NEAR(boxesAfter.bottom, boxesBefore.bottom, 1);
    player.Quit();
}

struct ProcessUsage {
    DWORD userObjects;
    DWORD gdiObjects;
    DWORD handles;
    SIZE_T privateBytes;
};

ProcessUsage MeasureProcess()
{
    ProcessUsage usage = {GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
                          GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), 0, 0};
    GetProcessHandleCount(GetCurrentProcess(), &usage.handles);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)))
        usage.privateBytes = memory.PagefileUsage;
    return usage;
}

// A leaked handle, GDI object or window adds one per cycle, so a few dozen
// cycles show it; the warm-up lets first-use allocations settle, and both
// counts are whole rounds of the three modules.
constexpr int cycleCount = 30;
constexpr int warmUpCycles = 6;
// Heap pages may settle a little after the warm-up; a leaked context or
// quadric per cycle would cost far more.
constexpr SIZE_T memorySlack = 4 * 1024 * 1024;

TEST_F(InitQuitCycles, RepeatedCyclesLeaveNothingBehind)
{
    ASSERT_NO_FATAL_FAILURE(Load(IniSection(moduleNames[0], {{"vistype", 1}})));
    ASSERT_NO_FATAL_FAILURE(Record());
    ProcessUsage baseline = {};
    for (int cycle = 0; cycle < cycleCount; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        if (cycle == warmUpCycles)
            baseline = MeasureProcess();
        ASSERT_TRUE(player.Fetch(cycle % 3));
        FillAlternating(player.Spectrum(0), cycle % 256, 0);
        FillAlternating(player.Spectrum(1), 255 - cycle % 256, 0);
        ASSERT_EQ(player.Init(), 0);
        ASSERT_EQ(player.Render(), 0);
        player.Pump();
        player.Quit();
        player.Pump();  // takes the quit message of the window's destruction
        ASSERT_TRUE(PluginWindows().empty());
        ASSERT_FALSE(ClassRegistered(player.library));
    }
    const ProcessUsage final = MeasureProcess();

    EXPECT_EQ(calls.dcs.taken, cycleCount);
    EXPECT_TRUE(calls.dcs.Balanced()) << "device contexts: " << calls.dcs;
    EXPECT_EQ(calls.contexts.taken, cycleCount);
    EXPECT_TRUE(calls.contexts.Balanced()) << "rendering contexts: " << calls.contexts;
    EXPECT_TRUE(calls.quadrics.Balanced()) << "quadrics: " << calls.quadrics;

    std::printf("after %d and %d cycles: USER objects %lu, %lu; GDI objects %lu, %lu; handles %lu, %lu; "
                "private bytes %lu, %lu\n",
                warmUpCycles, cycleCount, baseline.userObjects, final.userObjects, baseline.gdiObjects,
                final.gdiObjects, baseline.handles, final.handles, static_cast<unsigned long>(baseline.privateBytes),
                static_cast<unsigned long>(final.privateBytes));
    if (baseline.userObjects == 0 && baseline.gdiObjects == 0)
        std::printf("USER and GDI object counts are not reported on this platform\n");
    EXPECT_LE(final.userObjects, baseline.userObjects);
    EXPECT_LE(final.gdiObjects, baseline.gdiObjects);
    EXPECT_LE(final.handles, baseline.handles);
    // Under an i386 emulator the figure is the emulator's own memory, whose
    // translation cache grows with every freshly compiled shader.
    if (GetEnvironmentVariableA("BRIM_I386_EMULATED", nullptr, 0) != 0)
        std::printf("private bytes not compared: the 32-bit side runs under an emulator\n");
    else
        EXPECT_LE(final.privateBytes, baseline.privateBytes + memorySlack);
}

}  // namespace
