// The built plug-in driven by hosts that are not the player: Render from a
// second thread, Config from a third while a module runs, the module getter
// called out of order, a second Init without Quit, Quit without Init, the
// library loaded and freed many times, one module after another in one load,
// and unusual sample rates.
#include "ClientCapture.h"
#include "ObjectCallLog.h"
#include "PlayerStandIn.h"
#include "WindowWatch.h"
#include "WineTestSupport.h"

#include "resources/resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

constexpr int configEntry = 2340;  // the record's Config pointer, before Init's
constexpr int sampleRateField = 12;
constexpr int channelCountField = 16;
// Waits for another thread give up after this many seconds of nothing; only
// a hang reaches it.
constexpr int waitCapSeconds = 300;
constexpr int settleFrames = 6;

using ModuleGetter = unsigned char* (*)(int);
using Entry = int (*)(void*);
using QuitCall = void (*)(void*);

bool Lit(Pixel p)
{
    return std::max({p.red, p.green, p.blue}) > 12;
}

Area LeftHalf(const Frame& frame)
{
    return {0, 0, frame.width / 2, frame.height};
}

bool ClassRegistered(HMODULE library)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    return GetClassInfoExA(library, pluginClass, &windowClass) != 0;
}

ModuleGetter Getter(HMODULE library)
{
    using HeaderGetter = unsigned char* (*)();
    auto header = reinterpret_cast<HeaderGetter>(
        reinterpret_cast<void*>(GetProcAddress(library, "winampVisGetHeader")));
    if (!header)
        return nullptr;
    ModuleGetter getter;
    std::memcpy(&getter, header() + 8, sizeof(getter));
    return getter;
}

template <typename T>
T Field(const unsigned char* module, int offset)
{
    T value;
    std::memcpy(&value, module + offset, sizeof(T));
    return value;
}

void SetField(unsigned char* module, int offset, int value)
{
    std::memcpy(module + offset, &value, sizeof(value));
}

void Paint(HWND window)
{
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

// Loud boxes reach the upper quarter of the window (level 2.88 tops out
// near row 65 of 480); silent ones sink to their base in the lower half.
bool TallBoxes(const Frame& frame)
{
    const Area found = Bounds(frame, LeftHalf(frame), Lit);
    return found.top >= 0 && found.top < frame.height / 4;
}

bool FallenBoxes(const Frame& frame)
{
    const Area found = Bounds(frame, LeftHalf(frame), Lit);
    return found.top < 0 || found.top > frame.height / 2;
}

// Pumps this thread's messages until the thread ends; false when it did
// not end within the cap.
bool PumpUntilDone(PlayerStandIn& player, HANDLE thread)
{
    for (int second = 0; second < waitCapSeconds; ++second) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, 1000, QS_ALLINPUT);
        player.Pump();
        if (woken == WAIT_OBJECT_0)
            return true;
    }
    return false;
}

// A host thread calling Render: a set number of frames, or until told to stop.
struct RenderThread {
    PlayerStandIn* player = nullptr;
    int frames = 0;  // 0: until stop
    volatile LONG stop = 0;
    volatile LONG done = 0;
    volatile LONG nonZero = 0;
    HANDLE handle = nullptr;

    static DWORD WINAPI Run(void* parameter)
    {
        auto* job = static_cast<RenderThread*>(parameter);
        for (int frame = 0; job->frames == 0 ? !job->stop : frame < job->frames; ++frame) {
            if (job->player->Render() != 0)
                InterlockedIncrement(&job->nonZero);
            InterlockedIncrement(&job->done);
        }
        return 0;
    }

    void Start(PlayerStandIn& host, int count)
    {
        player = &host;
        frames = count;
        handle = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }

    ~RenderThread()
    {
        if (handle) {
            stop = 1;
            WaitForSingleObject(handle, INFINITE);
            CloseHandle(handle);
        }
    }
};

class HostFixture : public ::testing::Test {
protected:
    void Start(int index, const IniKeys& keys)
    {
        std::string failure;
        ASSERT_TRUE(player.Load(IniSection(moduleNames[index], keys), failure)) << failure;
        ASSERT_TRUE(RecordObjectCalls(player.library, calls));
        ASSERT_TRUE(player.Fetch(index));
        ASSERT_EQ(player.Init(), 0);
        window = player.PluginWindow();
        ASSERT_NE(window, nullptr);
        player.Pump();
    }

    void FeedWaveform(int value)
    {
        FillAlternating(player.Waveform(0), value, 0x55);
        FillAlternating(player.Waveform(1), value, 0x55);
    }

    // Renders frames on a second thread while this one pumps and paints.
    void RenderElsewhere(int frames)
    {
        const int swapsBefore = calls.swaps;
        RenderThread job;
        job.Start(player, frames);
        ASSERT_NE(job.handle, nullptr);
        for (int second = 0; second < waitCapSeconds; ++second) {
            // Once the second thread has drawn, paints here are skipped.
            if (job.done > 0)
                Paint(window);
            const DWORD woken = MsgWaitForMultipleObjects(1, &job.handle, FALSE, 1000, QS_ALLINPUT);
            player.Pump();
            if (woken == WAIT_OBJECT_0)
                break;
        }
        ASSERT_EQ(job.done, frames) << "the render thread ended";
        EXPECT_EQ(job.nonZero, 0) << "every Render returned 0";
        EXPECT_EQ(calls.swaps - swapsBefore, frames) << "one presented frame a Render, none a paint";
    }

    void ExpectNothingLeft()
    {
        EXPECT_TRUE(PluginWindows().empty()) << "no window left";
        EXPECT_FALSE(ClassRegistered(player.library)) << "no class left";
        EXPECT_EQ(calls.contexts.taken, 1);
        EXPECT_TRUE(calls.contexts.Balanced()) << "contexts: " << calls.contexts;
        EXPECT_TRUE(calls.quadrics.Balanced()) << "quadrics: " << calls.quadrics;
        EXPECT_TRUE(calls.dcs.Balanced()) << "device contexts: " << calls.dcs;
    }

    void TearDown() override { StopRecording(); }

    ObjectCalls calls;
    PlayerStandIn player;
    HWND window = nullptr;
};

class RenderThreads : public HostFixture {};
class ConfigThreads : public HostFixture {};
class HostOrder : public HostFixture {};

const IniKeys boxKeys = {{"screen_x", 40}, {"screen_y", 40}, {"screen_w", 640}, {"screen_h", 480},
                         {"vistype", 0}, {"fallspeed", 700}, {"scales", 1}, {"scalew", 20000}};

TEST_F(RenderThreads, RenderFromASecondThreadDraws)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    FeedWaveform(200);  // level 2.88
    ASSERT_NO_FATAL_FAILURE(RenderElsewhere(settleFrames));
    const Frame loud = CaptureClient(window);
    ASSERT_GT(loud.height, 0);
    EXPECT_TRUE(TallBoxes(loud)) << "loud boxes drawn by the second thread; top row "
                                 << Bounds(loud, LeftHalf(loud), Lit).top;

    FeedWaveform(0);
    ASSERT_NO_FATAL_FAILURE(RenderElsewhere(settleFrames));
    const Frame silent = CaptureClient(window);
    EXPECT_TRUE(FallenBoxes(silent)) << "silence lets them fall; top row "
                                     << Bounds(silent, LeftHalf(silent), Lit).top;

    // Back on the window's thread, as the player renders.
    FeedWaveform(200);
    for (int frame = 0; frame < settleFrames; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_TRUE(TallBoxes(CaptureClient(window))) << "the window's own thread draws again";
    ASSERT_NO_FATAL_FAILURE(RenderElsewhere(2));
    EXPECT_TRUE(player.quitCodes.empty()) << "nothing ended the run";

    player.Quit();
    player.Pump();
    ExpectNothingLeft();
}

struct QuitThread {
    unsigned char* record;
    static DWORD WINAPI Run(void* parameter)
    {
        auto* job = static_cast<QuitThread*>(parameter);
        Field<QuitCall>(job->record, record::quitEntry)(job->record);
        return 0;
    }
};

TEST_F(RenderThreads, QuitFromTheRenderThreadClosesTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(Start(2, boxKeys));
    FeedWaveform(200);
    ASSERT_NO_FATAL_FAILURE(RenderElsewhere(2));
    QuitThread job = {player.module};
    HANDLE thread = CreateThread(nullptr, 0, QuitThread::Run, &job, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(PumpUntilDone(player, thread)) << "Quit returns";
    CloseHandle(thread);
    EXPECT_FALSE(IsWindow(window)) << "closed by its own thread";
    player.Quit();  // the stand-in's own, which finds nothing running
    player.Pump();
    ExpectNothingLeft();
}

TEST_F(RenderThreads, EscapeWhileASecondThreadRendersReleasesOnce)
{
    ASSERT_NO_FATAL_FAILURE(Start(1, {{"vistype", 0}, {"scalew", 20000}, {"detail", 12}}));
    FeedWaveform(200);
    RenderThread job;
    job.Start(player, 0);
    ASSERT_NE(job.handle, nullptr);
    // Some frames first, so that the key comes while frames are drawn.
    for (int second = 0; second < waitCapSeconds && job.done < 3; ++second) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        player.Pump();
    }
    ASSERT_GE(job.done, 3);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    player.Pump();
    ASSERT_EQ(player.quitCodes, std::vector<WPARAM>{0}) << "ESC signals the player once";
    // At most the frame under way when the key came is presented after it.
    const int swapsAtEscape = calls.swaps;
    const LONG framesAtEscape = job.done;
    for (int second = 0; second < 10 * waitCapSeconds && job.done < framesAtEscape + 5; ++second) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        player.Pump();
    }
    job.stop = 1;
    ASSERT_TRUE(PumpUntilDone(player, job.handle));
    EXPECT_GE(job.done, framesAtEscape + 5) << "frames after ESC";
    EXPECT_EQ(job.nonZero, 0);
    EXPECT_LE(calls.swaps, swapsAtEscape + 1) << "frames after ESC are measured, not drawn";
    EXPECT_TRUE(calls.contexts.Balanced()) << "ESC released the context: " << calls.contexts;
    EXPECT_TRUE(calls.quadrics.Balanced()) << "quadrics: " << calls.quadrics;
    EXPECT_TRUE(IsWindow(window)) << "ESC leaves the window open";

    player.Quit();
    player.Pump();
    ExpectNothingLeft();
}

// Config on a thread of its own, as the player's interface thread calls it.
struct ConfigThread {
    unsigned char* record = nullptr;
    HANDLE handle = nullptr;
    DWORD id = 0;

    static DWORD WINAPI Run(void* parameter)
    {
        auto* job = static_cast<ConfigThread*>(parameter);
        Field<QuitCall>(job->record, configEntry)(job->record);
        return 0;
    }

    void Start(unsigned char* module)
    {
        record = module;
        handle = CreateThread(nullptr, 0, Run, this, 0, &id);
    }

    ~ConfigThread()
    {
        if (handle) {
            WaitForSingleObject(handle, INFINITE);
            CloseHandle(handle);
        }
    }
};

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char name[16] = "";
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The configuration dialog of the Config thread, once it shows.
HWND WaitForDialog(PlayerStandIn& player, const ConfigThread& job)
{
    for (int tenth = 0; tenth < 10 * waitCapSeconds; ++tenth) {
        HWND dialog = nullptr;
        EnumThreadWindows(job.id, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog)
            return dialog;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        player.Pump();
    }
    return nullptr;
}

void Check(HWND dialog, int control, bool checked)
{
    SendDlgItemMessageA(dialog, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TEST_F(ConfigThreads, ConfigWhileRunningChangesTheRunningModuleAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    // Loud spectrum, silent waveform: only the spectrum source raises the boxes.
    FillAlternating(player.Spectrum(0), 200, 0);
    FillAlternating(player.Spectrum(1), 200, 0);
    FeedWaveform(0);
    SetWindowPos(window, nullptr, 120, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();
    for (int frame = 0; frame < settleFrames; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_TRUE(FallenBoxes(CaptureClient(window))) << "the waveform is shown";

    ConfigThread job;
    job.Start(player.module);
    ASSERT_NE(job.handle, nullptr);
    HWND dialog = WaitForDialog(player, job);
    ASSERT_NE(dialog, nullptr) << "the dialog opens";
    EXPECT_EQ(GetDlgItem(dialog, IDC_DETAIL), nullptr) << "the Rectangles dialog";
    // The module goes on while the dialog is open.
    EXPECT_EQ(player.Render(), 0);
    Check(dialog, IDC_WAVEFORM, false);
    Check(dialog, IDC_SPECTRUM, true);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntilDone(player, job.handle)) << "Config returns";

    const char* section = moduleNames[0];
    EXPECT_EQ(player.IniValue(section, "vistype"), 1) << "saved at once";
    EXPECT_EQ(player.IniValue(section, "screen_x"), 120) << "the window's move is kept, not the file's place";
    for (int frame = 0; frame < settleFrames; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_TRUE(TallBoxes(CaptureClient(window))) << "the running module shows the spectrum at once";

    player.Quit();
    player.Pump();
    EXPECT_EQ(player.IniValue(section, "vistype"), 1);
    EXPECT_EQ(player.IniValue(section, "screen_x"), 120);
    EXPECT_EQ(player.IniValue(section, "screen_y"), 100);
    ExpectNothingLeft();
}

TEST_F(ConfigThreads, ConfigOfAnotherModuleWhileOneRunsLeavesTheRunningOneAlone)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    ModuleGetter getter = Getter(player.library);
    ASSERT_NE(getter, nullptr);
    unsigned char* spheres = getter(1);  // as a player's list of modules does
    ASSERT_NE(spheres, nullptr);
    std::memcpy(spheres + record::hostWindow, &player.host, sizeof(HWND));
    std::memcpy(spheres + record::instance, &player.library, sizeof(HMODULE));

    ConfigThread job;
    job.Start(spheres);
    ASSERT_NE(job.handle, nullptr);
    HWND dialog = WaitForDialog(player, job);
    ASSERT_NE(dialog, nullptr) << "a dialog opens";
    EXPECT_NE(GetDlgItem(dialog, IDC_DETAIL), nullptr) << "the Spheres dialog, as asked";
    SendMessageA(GetDlgItem(dialog, IDC_SCALE_WAVEFORM), TBM_SETPOS, TRUE, 5000);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntilDone(player, job.handle));
    EXPECT_EQ(player.IniValue(moduleNames[1], "scalew"), 5000) << "the Spheres section holds what was chosen";
    EXPECT_EQ(player.Render(), 0);

    player.Quit();
    player.Pump();
    EXPECT_EQ(player.IniValue(moduleNames[0], "scalew"), 20000) << "the running module's own values";
    EXPECT_EQ(player.IniValue(moduleNames[0], "detail"), INT_MIN) << "no Spheres keys in its section";
    ExpectNothingLeft();
}

TEST_F(HostOrder, GetterCalledOutOfOrderWhileRunning)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    ModuleGetter getter = Getter(player.library);
    ASSERT_NE(getter, nullptr);
    FeedWaveform(200);
    const int order[] = {0, 2, 1, 0, 1, 2, 2, 0};
    for (int frame = 0; frame < settleFrames; ++frame) {
        for (int index : order)
            ASSERT_NE(getter(index), nullptr);
        EXPECT_EQ(getter(3), nullptr);
        EXPECT_EQ(player.Render(), 0);
        player.Pump();
    }
    EXPECT_TRUE(TallBoxes(CaptureClient(window)));
    SetWindowPos(window, nullptr, 130, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    player.Pump();

    // The last module handed out is Spheres, and Quit comes through its record.
    unsigned char* spheres = getter(1);
    std::memcpy(spheres + record::hostWindow, &player.host, sizeof(HWND));
    std::memcpy(spheres + record::instance, &player.library, sizeof(HMODULE));
    Field<QuitCall>(spheres, record::quitEntry)(spheres);
    player.Pump();

    EXPECT_FALSE(IsWindow(window)) << "Quit closes the window Init opened";
    EXPECT_EQ(player.IniValue(moduleNames[0], "screen_x"), 130) << "saved for the module that ran";
    EXPECT_EQ(player.IniValue(moduleNames[0], "detail"), INT_MIN) << "no Spheres keys in its section";
    EXPECT_EQ(player.IniValue(moduleNames[1], "screen_x"), INT_MIN) << "the Spheres section is not written";
    // The stand-in's own Quit, as a host that quits again, finds nothing running.
    player.Quit();
    player.Pump();
    ExpectNothingLeft();
}

TEST_F(HostOrder, SecondInitWithoutQuitFailsAndLeavesTheFirstRunning)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    WindowWatch watch;
    EXPECT_EQ(player.Init(), 1) << "refused at once";
    EXPECT_TRUE(watch.boxes.empty()) << "no message box";
    EXPECT_TRUE(watch.pluginCreations.empty()) << "no second window";
    ASSERT_EQ(PluginWindows(), std::vector<HWND>{window});

    ModuleGetter getter = Getter(player.library);
    unsigned char* texture = getter(2);
    std::memcpy(texture + record::hostWindow, &player.host, sizeof(HWND));
    std::memcpy(texture + record::instance, &player.library, sizeof(HMODULE));
    EXPECT_EQ(Field<Entry>(texture, record::initEntry)(texture), 1) << "another module's Init too";
    EXPECT_TRUE(watch.boxes.empty());

    FeedWaveform(200);
    const int swapsBefore = calls.swaps;
    for (int frame = 0; frame < settleFrames; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_EQ(calls.swaps, swapsBefore + settleFrames) << "the first module still draws";
    EXPECT_TRUE(TallBoxes(CaptureClient(window)));
    player.Pump();
    EXPECT_TRUE(player.quitCodes.empty());

    player.Quit();
    player.Pump();
    ExpectNothingLeft();
    EXPECT_TRUE(watch.boxes.empty());
}

TEST_F(HostOrder, QuitWithoutInitLeavesTheFileAlone)
{
    std::string failure;
    const std::string text = IniSection(moduleNames[1], {{"detail", 20}, {"screen_x", 77}});
    ASSERT_TRUE(player.Load(text, failure)) << failure;
    ASSERT_TRUE(player.Fetch(1));
    player.Quit();
    player.Pump();
    EXPECT_EQ(ReadFileText(player.IniPath()), text) << "not rewritten with defaults";
    EXPECT_TRUE(PluginWindows().empty());
    EXPECT_FALSE(ClassRegistered(player.library));
    EXPECT_TRUE(player.quitCodes.empty());

    // A start afterwards still reads and saves the file.
    ASSERT_EQ(player.Init(), 0);
    player.Quit();
    EXPECT_EQ(player.IniValue(moduleNames[1], "detail"), 20);
    EXPECT_EQ(player.IniValue(moduleNames[1], "fallspeed"), 77) << "a module that ran saves all its keys";
    player.Quit();
    EXPECT_EQ(player.IniValue(moduleNames[1], "detail"), 20) << "a second Quit saves nothing new";
}

TEST_F(HostOrder, LoadedListedAndFreedFiftyTimesThenRun)
{
    const std::wstring path = Widen(PluginPath());
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        HMODULE library = LoadLibraryW(path.c_str());
        ASSERT_NE(library, nullptr);
        ModuleGetter getter = Getter(library);
        ASSERT_NE(getter, nullptr);
        for (int index = 0; index < 3; ++index) {
            unsigned char* module = getter(index);
            ASSERT_NE(module, nullptr);
            EXPECT_STREQ(Field<const char*>(module, record::description), moduleNames[index]);
        }
        EXPECT_EQ(getter(3), nullptr);
        ASSERT_TRUE(FreeLibrary(library));
        EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "unloaded";
    }
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    FeedWaveform(200);
    for (int frame = 0; frame < settleFrames; ++frame)
        EXPECT_EQ(player.Render(), 0);
    EXPECT_TRUE(TallBoxes(CaptureClient(window)));
    player.Quit();
    player.Pump();
    ExpectNothingLeft();
}

// The player runs one module after another in one load of the library: a
// module without a section of its own starts from the values the module
// before left in memory, and saves them as its own. Brimwave.exe loads the
// library afresh for each module instead; this pattern stays as it was.
TEST_F(HostOrder, OneModuleAfterAnotherInOneLoadShareTheRecord)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    player.Quit();
    player.Pump();
    ASSERT_TRUE(player.Fetch(1));
    ASSERT_EQ(player.Init(), 0);
    HWND spheres = player.PluginWindow();
    ASSERT_NE(spheres, nullptr);
    RECT outer = {};
    GetWindowRect(spheres, &outer);
    EXPECT_EQ(outer.left, 40) << "at the place the module before left";
    EXPECT_EQ(player.Render(), 0);
    player.Quit();
    player.Pump();
    for (const auto& key : boxKeys)
        EXPECT_EQ(player.IniValue(moduleNames[1], key.first), key.second) << key.first;
    EXPECT_EQ(player.IniValue(moduleNames[1], "detail"), 10);
    EXPECT_EQ(player.IniValue(moduleNames[1], "lines"), 0);
}

TEST_F(HostOrder, SampleRateAndChannelCountDoNotMatter)
{
    ASSERT_NO_FATAL_FAILURE(Start(0, boxKeys));
    const int formats[][2] = {{8000, 1}, {192000, 1}, {192000, 2}, {8000, 2}};
    for (const auto& format : formats) {
        SCOPED_TRACE(std::to_string(format[0]) + " Hz, " + std::to_string(format[1]) + " channels");
        SetField(player.module, sampleRateField, format[0]);
        SetField(player.module, channelCountField, format[1]);
        FeedWaveform(200);
        for (int frame = 0; frame < settleFrames; ++frame)
            EXPECT_EQ(player.Render(), 0);
        EXPECT_TRUE(TallBoxes(CaptureClient(window))) << "drawn";
        FeedWaveform(0);
        for (int frame = 0; frame < settleFrames; ++frame)
            EXPECT_EQ(player.Render(), 0);
        EXPECT_TRUE(FallenBoxes(CaptureClient(window))) << "fallen";
    }
    player.Quit();
    player.Pump();
    ExpectNothingLeft();
}

}  // namespace
