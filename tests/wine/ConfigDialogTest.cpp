// The configuration dialogs of the built plug-in. Each test loads its own copy
// of vis_brim.dll, calls a module's Config entry on a thread of its own as
// the player would, finds the dialog by its caption and operates it from the
// test thread with the controls' own messages; what Config saves to
// plugin.ini is the record as the dialog left it.
#include "WineTestSupport.h"

#include "player/VisModule.h"
#include "resources/resource.h"
#include "settings/ConfigDialogs.h"
#include "settings/Settings.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr DWORD timeoutMs = 5000;
constexpr int spheresModule = 1;

constexpr std::array<const char*, 3> sections = {"Rectangles", "Spheres", "Rectangle/Texture(prelim)"};
constexpr std::array<const char*, 3> captions = {
    "Brimwave Rectangle Configuration", "Brimwave Sphere Configuration", "Rectangle/Texture Configuration"};
constexpr std::array<int, 3> templateIds = {101, 103, 113};

// ---------------------------------------------------------------------------
// The dialog templates as tabled.

constexpr int unnamed = 0xFFFF;  // -1 in a template's 16-bit identifier
constexpr WORD buttonOrdinal = 0x0080;
constexpr WORD staticOrdinal = 0x0082;

constexpr DWORD defaultPushButton = BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD pushButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD centredPushButton = BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | WS_TABSTOP;
constexpr DWORD autoRadio = BS_AUTORADIOBUTTON;
constexpr DWORD leftAutoRadio = BS_AUTORADIOBUTTON | BS_LEFT;
constexpr DWORD trackbar = TBS_HORZ | TBS_BOTTOM | TBS_NOTICKS | WS_TABSTOP;
constexpr DWORD groupBox = BS_GROUPBOX;
constexpr DWORD leftText = SS_LEFT | WS_GROUP;
constexpr DWORD middleText = SS_CENTER | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD sunkenBitmap = SS_BITMAP | SS_SUNKEN;

enum ControlClass { buttonClass, staticClass, trackbarClass };

struct ControlRow {
    int id;
    ControlClass controlClass;
    const char* text;  // null for the bitmap, whose title is resource 107
    short x, y, cx, cy;
    DWORD style;
};

constexpr std::array<ControlRow, 26> boxControls = {{
    {IDOK, buttonClass, "OK", 15, 13, 50, 14, defaultPushButton},
    {IDCANCEL, buttonClass, "Cancel", 81, 13, 50, 14, pushButton},
    {IDC_SPECTRUM, buttonClass, "Select", 15, 41, 95, 15, autoRadio},
    {IDC_WAVEFORM, buttonClass, "Select", 15, 93, 95, 11, leftAutoRadio},
    {IDC_FALLOFF, trackbarClass, "Slider1", 13, 149, 164, 11, trackbar},
    {unnamed, buttonClass, "Falloff Speed", 9, 137, 175, 39, groupBox},  // 5
    {unnamed, staticClass, "Slow", 15, 164, 16, 8, leftText},
    {unnamed, staticClass, "Fast", 147, 164, 14, 8, leftText},
    {IDC_SCALE_WAVEFORM, trackbarClass, "Slider1", 13, 107, 165, 11, trackbar},
    {unnamed, buttonClass, "Wave Form Visualization", 10, 83, 175, 50, groupBox},
    {unnamed, staticClass, "Small", 154, 122, 18, 8, leftText},  // 10
    {unnamed, staticClass, "Big", 18, 121, 11, 8, leftText},
    {IDC_SCALE_SPECTRUM, trackbarClass, "Slider1", 13, 54, 163, 11, trackbar},
    {unnamed, buttonClass, "Spectrum Visualization", 9, 32, 176, 46, groupBox},
    {unnamed, staticClass, "Small", 153, 67, 18, 8, leftText},
    {unnamed, staticClass, "Big", 17, 66, 11, 8, leftText},  // 15
    {IDC_RESET, buttonClass, "Reset to Defaults", 200, 101, 68, 15, centredPushButton},
    {IDC_LOGO, staticClass, nullptr, 200, 128, 67, 52, sunkenBitmap},
    {unnamed, buttonClass, "", 192, 7, 171, 81, groupBox},
    {unnamed, staticClass, "Tips:", 260, 14, 16, 8, middleText},
    {unnamed, staticClass, "Pressing HOME during Execution will scale up.", 200, 25, 148, 8, leftText},  // 20
    {unnamed, staticClass, "Pressing END during Execution will scale down", 199, 35, 149, 8, leftText},
    {unnamed, staticClass, "To exit Brimwave, press ALT-F4 or ESC.", 199, 75, 150, 10, leftText},
    {unnamed, staticClass, "Get the latest Verion of Brimwave at:", 209, 50, 122, 8, leftText},
    {unnamed, staticClass, "Version 0.6", 306, 138, 36, 8, leftText},
    {unnamed, buttonClass, "Brimwave", 283, 97, 80, 83, groupBox},  // 25
}};

// Template 113: the rows above, each at this y, in this order.
constexpr std::array<short, 26> textureY = {15, 15, 44, 95, 151, 140, 167, 167, 110, 86, 124, 124, 57,
                                            34, 70, 68, 103, 130, 9, 17, 28, 38, 78, 52, 141, 100};
constexpr std::array<int, 26> textureOrder = {0, 1, 24, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                              12, 13, 14, 15, 16, 25, 17, 18, 19, 20, 21, 22, 23};

constexpr std::array<ControlRow, 32> sphereControls = {{
    {IDOK, buttonClass, "OK", 10, 6, 50, 14, defaultPushButton},
    {IDCANCEL, buttonClass, "Cancel", 71, 6, 50, 14, pushButton},
    {IDC_SPECTRUM, buttonClass, "Select", 15, 35, 95, 15, autoRadio},
    {IDC_WAVEFORM, buttonClass, "Select", 15, 84, 95, 11, leftAutoRadio},
    {IDC_FALLOFF, trackbarClass, "Slider1", 13, 132, 157, 11, trackbar},
    {unnamed, buttonClass, "Falloff Speed", 10, 122, 165, 39, groupBox},  // 5
    {unnamed, staticClass, "Slow", 15, 147, 16, 8, leftText},
    {unnamed, staticClass, "Fast", 148, 147, 14, 8, leftText},
    {IDC_SCALE_WAVEFORM, trackbarClass, "Slider1", 15, 95, 155, 11, trackbar},
    {unnamed, buttonClass, "Wave Form Visualization", 10, 76, 165, 43, groupBox},
    {unnamed, staticClass, "Small", 148, 108, 18, 8, leftText},  // 10
    {unnamed, staticClass, "Big", 18, 107, 11, 8, leftText},
    {IDC_SCALE_SPECTRUM, trackbarClass, "Slider1", 13, 49, 157, 11, trackbar},
    {unnamed, buttonClass, "Spectrum Visualization", 9, 27, 166, 46, groupBox},
    {unnamed, staticClass, "Small", 147, 61, 18, 8, leftText},
    {unnamed, staticClass, "Big", 17, 61, 11, 8, leftText},  // 15
    {IDC_RESET, buttonClass, "Reset to Defaults", 185, 70, 68, 15, centredPushButton},
    {IDC_LOGO, staticClass, nullptr, 185, 7, 67, 52, sunkenBitmap},
    {unnamed, buttonClass, "Tips", 120, 167, 231, 38, groupBox},
    {unnamed, staticClass, "Pressing HOME scales up.", 125, 177, 85, 8, leftText},
    {unnamed, staticClass, "Pressing END scales down", 255, 177, 86, 8, leftText},  // 20
    {unnamed, staticClass, "To exit Brimwave, press ALT-F4 or ESC.", 165, 192, 150, 10, leftText},
    {unnamed, staticClass, "Get the latest Verion of Brimwave at:", 208, 92, 122, 8, leftText},
    {IDC_DETAIL, trackbarClass, "Slider1", 189, 134, 151, 11, trackbar},
    {unnamed, buttonClass, "Sphere Detail", 185, 121, 165, 40, groupBox},
    {unnamed, staticClass, "High", 325, 149, 16, 8, leftText},  // 25
    {unnamed, staticClass, "Low", 193, 148, 14, 8, leftText},
    {IDC_WIREFRAME, buttonClass, "Wireframe", 15, 180, 49, 16, autoRadio},
    {IDC_SOLID, buttonClass, "Solid", 70, 184, 32, 10, autoRadio},
    {unnamed, buttonClass, "Display Mode", 10, 166, 100, 39, groupBox},
    {unnamed, staticClass, "Version 0.6", 293, 43, 36, 8, leftText},  // 30
    {unnamed, buttonClass, "Brimwave", 270, 3, 80, 83, groupBox},
}};

std::vector<ControlRow> ExpectedControls(int module)
{
    if (module == spheresModule)
        return {sphereControls.begin(), sphereControls.end()};
    if (module == 0)
        return {boxControls.begin(), boxControls.end()};
    std::vector<ControlRow> rows;
    for (int index : textureOrder) {
        rows.push_back(boxControls[index]);
        rows.back().y = textureY[index];
    }
    return rows;
}

struct DialogRow {
    int id;
    const char* caption;
    short cx, cy;
    DWORD style;
};

constexpr DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr std::array<DialogRow, 3> dialogRows = {{
    {101, "Brimwave Rectangle Configuration", 386, 194, dialogStyle | DS_CENTER},
    {103, "Brimwave Sphere Configuration", 362, 210, dialogStyle | DS_CENTER | DS_3DLOOK},
    {113, "Rectangle/Texture Configuration", 376, 196, dialogStyle},
}};

// ---------------------------------------------------------------------------
// Reading a DLGTEMPLATE resource.

struct TemplateName {
    int ordinal = -1;  // -1 when named by text
    std::string text;
};

struct TemplateItem {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    TemplateName className, title;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu, className;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<TemplateItem> items;
    bool complete = false;  // false when the data ran out
};

class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data(data), size(size) {}

    bool Overrun() const { return offset > size; }

    WORD Word()
    {
        WORD value = 0;
        if (offset + 2 <= size)
            std::memcpy(&value, data + offset, 2);
        offset += 2;
        return value;
    }

    DWORD Dword() { return Word() | DWORD(Word()) << 16; }

    short Short() { return static_cast<short>(Word()); }

    // The templates hold plain ASCII texts in UTF-16.
    std::string Text()
    {
        std::string text;
        for (WORD c = Word(); c != 0 && !Overrun(); c = Word())
            text += static_cast<char>(c);
        return text;
    }

    TemplateName Name()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            return {Word(), ""};
        if (first == 0)
            return {-1, ""};
        offset -= 2;
        return {-1, Text()};
    }

    void AlignToDword() { offset = (offset + 3) & ~3u; }

private:
    const BYTE* data;
    DWORD size;
    DWORD offset = 0;
};

DialogTemplate ReadDialogTemplate(HMODULE library, int id)
{
    DialogTemplate dialog;
    HRSRC resource = FindResourceA(library, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (!resource)
        return dialog;
    TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(library, resource))),
                      SizeofResource(library, resource));
    dialog.style = in.Dword();
    dialog.exStyle = in.Dword();
    const WORD count = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    dialog.menu = in.Name();
    dialog.className = in.Name();
    dialog.caption = in.Text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Word();
        dialog.font = in.Text();
    }
    for (WORD i = 0; i < count && !in.Overrun(); ++i) {
        in.AlignToDword();
        TemplateItem item;
        item.style = in.Dword();
        item.exStyle = in.Dword();
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = in.Word();
        item.className = in.Name();
        item.title = in.Name();
        const WORD extra = in.Word();
        for (WORD skip = 0; skip < extra; skip += 2)
            in.Word();
        dialog.items.push_back(item);
    }
    dialog.complete = !in.Overrun() && dialog.items.size() == count;
    return dialog;
}

bool SameRect(const TemplateItem& item, const ControlRow& row)
{
    return item.x == row.x && item.y == row.y && item.cx == row.cx && item.cy == row.cy;
}

// True when the template item is the tabled control.
bool Matches(const TemplateItem& item, const ControlRow& row)
{
    const bool classMatches =
        row.controlClass == buttonClass    ? item.className.ordinal == buttonOrdinal
        : row.controlClass == staticClass  ? item.className.ordinal == staticOrdinal
        // Class names are matched without regard to case; windres stores them in capitals.
        : lstrcmpiA(item.className.text.c_str(), "msctls_trackbar32") == 0;
    const bool titleMatches = row.text ? item.title.ordinal == -1 && item.title.text == row.text
                                       : item.title.ordinal == IDB_LOGO;
    return item.id == row.id && classMatches && titleMatches && SameRect(item, row) &&
           item.style == (WS_CHILD | WS_VISIBLE | row.style) && item.exStyle == 0;
}

std::string Describe(const TemplateItem& item)
{
    char style[16];
    std::snprintf(style, sizeof(style), "%08lx", item.style);
    return "id " + std::to_string(item.id) + " class " +
           (item.className.ordinal >= 0 ? std::to_string(item.className.ordinal) : item.className.text) + " \"" +
           item.title.text + "\" at " + std::to_string(item.x) + "," + std::to_string(item.y) + " " +
           std::to_string(item.cx) + "x" + std::to_string(item.cy) + " style " + style;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

std::vector<WORD> Languages(HMODULE library, LPCSTR type, LPCSTR name)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(library, type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

BOOL CALLBACK AddNumberedName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found)
{
    reinterpret_cast<std::vector<int>*>(found)->push_back(IS_INTRESOURCE(name) ? LOWORD(name) : -1);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Recording what the dialog procedures send to their controls.

struct ControlMessage {
    UINT message;
    int control;
    WPARAM wParam;
    LPARAM lParam;
};

bool operator==(const ControlMessage& a, const ControlMessage& b)
{
    return a.message == b.message && a.control == b.control && a.wParam == b.wParam && a.lParam == b.lParam;
}

std::mutex recordedLock;
std::vector<ControlMessage> recorded;

LRESULT CALLBACK RecordControlMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    switch (sent->message) {
    case BM_GETCHECK:
    case BM_SETCHECK:
    case TBM_GETPOS:
    case TBM_SETPOS:
    case TBM_SETRANGE: {
        std::lock_guard<std::mutex> lock(recordedLock);
        recorded.push_back({sent->message, GetDlgCtrlID(sent->hwnd), sent->wParam, sent->lParam});
        break;
    }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<ControlMessage> TakeRecorded()
{
    std::lock_guard<std::mutex> lock(recordedLock);
    std::vector<ControlMessage> taken;
    taken.swap(recorded);
    return taken;
}

std::string Describe(const ControlMessage& sent)
{
    const char* name = sent.message == BM_GETCHECK    ? "BM_GETCHECK"
                       : sent.message == BM_SETCHECK  ? "BM_SETCHECK"
                       : sent.message == TBM_GETPOS   ? "TBM_GETPOS"
                       : sent.message == TBM_SETPOS   ? "TBM_SETPOS"
                                                      : "TBM_SETRANGE";
    return std::string(name) + " to " + std::to_string(sent.control) + " (" + std::to_string(sent.wParam) + ", " +
           std::to_string(sent.lParam) + ")";
}

template <std::size_t N>
void ExpectSequence(const std::vector<ControlMessage>& actual, const std::array<ControlMessage, N>& expected,
                    const char* context)
{
    SCOPED_TRACE(context);
    for (std::size_t i = 0; i < std::max(actual.size(), N); ++i) {
        const std::string want = i < N ? Describe(expected[i]) : "nothing";
        const std::string got = i < actual.size() ? Describe(actual[i]) : "nothing";
        EXPECT_EQ(want, got) << "message " << i;
    }
}

constexpr LPARAM Range(int minimum, int maximum)
{
    return MAKELPARAM(minimum, maximum);
}

// ---------------------------------------------------------------------------
// Settings files.

struct Stored {
    int screen_x, screen_y, screen_w, screen_h, vistype, fallspeed, scales, scalew, detail, lines;
};

// In range, and none of them a value that a reset or a fresh record holds.
constexpr Stored fileValues = {100, 120, 800, 600, 1, 300, 1234, 20000, 17, 1};

// The section as the store writes it: the Spheres keys only for Spheres.
std::string IniText(int module, const Stored& values)
{
    std::string text = std::string("[") + sections[module] + "]\r\n";
    auto add = [&text](const char* key, int value) { text += key + ("=" + std::to_string(value)) + "\r\n"; };
    add("screen_x", values.screen_x);
    add("screen_y", values.screen_y);
    add("screen_w", values.screen_w);
    add("screen_h", values.screen_h);
    add("vistype", values.vistype);
    add("fallspeed", values.fallspeed);
    add("scales", values.scales);
    add("scalew", values.scalew);
    if (module == spheresModule) {
        add("detail", values.detail);
        add("lines", values.lines);
    }
    return text;
}

// ---------------------------------------------------------------------------
// Controls, read and operated from the test thread.

int Position(HWND dialog, int control)
{
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, control), TBM_GETPOS, 0, 0));
}

std::pair<int, int> TrackbarRange(HWND dialog, int control)
{
    HWND item = GetDlgItem(dialog, control);
    return {static_cast<int>(SendMessageA(item, TBM_GETRANGEMIN, 0, 0)),
            static_cast<int>(SendMessageA(item, TBM_GETRANGEMAX, 0, 0))};
}

void MoveTo(HWND dialog, int control, int position)
{
    SendMessageA(GetDlgItem(dialog, control), TBM_SETPOS, TRUE, position);
}

bool Checked(HWND dialog, int control)
{
    return SendMessageA(GetDlgItem(dialog, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dialog, int control)
{
    SendMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

struct Shown {
    int fallspeed, scales, scalew, detail;
    bool spectrum, wireframe;
};

void ExpectShown(HWND dialog, int module, const Shown& shown)
{
    EXPECT_EQ(Position(dialog, IDC_FALLOFF), shown.fallspeed);
    EXPECT_EQ(Position(dialog, IDC_SCALE_SPECTRUM), shown.scales);
    EXPECT_EQ(Position(dialog, IDC_SCALE_WAVEFORM), shown.scalew);
    EXPECT_EQ(Checked(dialog, IDC_SPECTRUM), shown.spectrum);
    EXPECT_EQ(Checked(dialog, IDC_WAVEFORM), !shown.spectrum);
    if (module == spheresModule) {
        EXPECT_EQ(Position(dialog, IDC_DETAIL), shown.detail);
        EXPECT_EQ(Checked(dialog, IDC_WIREFRAME), shown.wireframe);
        EXPECT_EQ(Checked(dialog, IDC_SOLID), !shown.wireframe);
    }
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

DWORD WINAPI RunConfig(void* parameter)
{
    auto* module = static_cast<VisModule*>(parameter);
    module->Config(module);
    return 0;
}

// ---------------------------------------------------------------------------

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int count = 0;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        directory = std::string(temp) + "brimwave-dialog-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(++count) + "\\";
        CreateDirectoryA(directory.c_str(), nullptr);
        const std::string copy = directory + "vis_brim.dll";
        ASSERT_TRUE(CopyFileA(PluginPath().c_str(), copy.c_str(), FALSE)) << PluginPath();
        library = LoadLibraryA(copy.c_str());
        ASSERT_NE(library, nullptr);
        auto getHeader = reinterpret_cast<VisHeader* (*)()>(GetProcAddress(library, "winampVisGetHeader"));
        ASSERT_NE(getHeader, nullptr);
        header = getHeader();
    }

    void TearDown() override
    {
        if (configThread && WaitForSingleObject(configThread, 0) == WAIT_TIMEOUT) {
            for (int i = 0; i < 3; ++i)
                if (HWND dialog = FindDialog())
                    PostMessageA(dialog, WM_CLOSE, 0, 0);
            WaitForConfig();
        }
        StopRecording();
        // A Config call still running would lose its code under it.
        const bool finished = !configThread || WaitForSingleObject(configThread, 0) == WAIT_OBJECT_0;
        if (configThread)
            CloseHandle(configThread);
        if (library && finished)
            FreeLibrary(library);
        if (hostWindow)
            DestroyWindow(hostWindow);
        DeleteFileA(IniPath().c_str());
        DeleteFileA((directory + "vis_brim.dll").c_str());
        RemoveDirectoryA(directory.c_str());
    }

    std::string IniPath() const { return directory + "plugin.ini"; }

    void WriteIni(const std::string& text)
    {
        // Hand anything the profile cache holds to the file before replacing it.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, IniPath().c_str());
        WriteFileText(IniPath(), text);
    }

    std::string Ini() const { return ReadFileText(IniPath()); }

    // The DLL's own record, filled in as the player fills it.
    VisModule* Module(int index)
    {
        moduleIndex = index;
        VisModule* module = header->getModule(index);
        module->instance = library;
        module->hostWindow = hostWindow;
        return module;
    }

    HWND FindDialog() const
    {
        HWND dialog = FindWindowA("#32770", captions[moduleIndex]);
        return dialog && GetWindowThreadProcessId(dialog, nullptr) == configThreadId ? dialog : nullptr;
    }

    // Calls Config and returns its dialog once it is shown, or null.
    HWND Open(int index, bool record = false)
    {
        VisModule* module = Module(index);
        if (configThread)
            CloseHandle(configThread);
        configThread = CreateThread(nullptr, 0, RunConfig, module, CREATE_SUSPENDED, &configThreadId);
        if (record) {
            TakeRecorded();
            hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordControlMessage, nullptr, configThreadId);
        }
        ResumeThread(configThread);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs && WaitForSingleObject(configThread, 0) == WAIT_TIMEOUT) {
            HWND dialog = FindDialog();
            if (dialog && IsWindowVisible(dialog)) {
                // Shown means past WM_INITDIALOG; this makes sure of it.
                SendMessageA(dialog, WM_NULL, 0, 0);
                return dialog;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            PumpMessages();
        }
        return nullptr;
    }

    // True when the Config call returned.
    bool WaitForConfig()
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            const DWORD waited = MsgWaitForMultipleObjects(1, &configThread, FALSE, timeoutMs, QS_ALLINPUT);
            if (waited == WAIT_OBJECT_0)
                return true;
            PumpMessages();
        }
        return false;
    }

    void StopRecording()
    {
        if (hook)
            UnhookWindowsHookEx(hook);
        hook = nullptr;
    }

    // A key as the dialog's message loop receives it: posted to the focus.
    void PressKey(HWND dialog, WPARAM key)
    {
        GUITHREADINFO info = {sizeof(info)};
        GetGUIThreadInfo(configThreadId, &info);
        PostMessageA(info.hwndFocus ? info.hwndFocus : dialog, WM_KEYDOWN, key, 1);
    }

    HWND FocusedControl()
    {
        GUITHREADINFO info = {sizeof(info)};
        GetGUIThreadInfo(configThreadId, &info);
        return info.hwndFocus;
    }

    HMODULE library = nullptr;
    VisHeader* header = nullptr;
    std::string directory;
    HWND hostWindow = nullptr;
    HANDLE configThread = nullptr;
    DWORD configThreadId = 0;
    HHOOK hook = nullptr;
    int moduleIndex = 0;
};

// ---------------------------------------------------------------------------
// Templates and resources, read from the library file.

class PluginResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = LoadLibraryExA(PluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(library, nullptr) << PluginPath();
    }
    void TearDown() override { FreeLibrary(library); }
    HMODULE library = nullptr;
};

TEST_F(PluginResources, DialogTemplatesMatchTheTables)
{
    for (int module = 0; module < 3; ++module) {
        const DialogRow& expected = dialogRows[module];
        SCOPED_TRACE(expected.id);
        const DialogTemplate dialog = ReadDialogTemplate(library, expected.id);
        ASSERT_TRUE(dialog.complete);
        EXPECT_EQ(dialog.style, expected.style);
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.cx, expected.cx);
        EXPECT_EQ(dialog.cy, expected.cy);
        EXPECT_EQ(dialog.menu.ordinal, -1);
        EXPECT_EQ(dialog.menu.text, "");
        EXPECT_EQ(dialog.className.ordinal, -1) << "the standard dialog class";
        EXPECT_EQ(dialog.className.text, "");
        EXPECT_EQ(dialog.caption, expected.caption);
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.font, "MS Sans Serif");
        EXPECT_EQ(Languages(library, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(expected.id)),
                  std::vector<WORD>{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)});

        // The tabled controls in their order; anything else is the about area.
        const std::vector<ControlRow> rows = ExpectedControls(module);
        std::size_t next = 0;
        std::vector<std::size_t> extras;
        std::size_t lastTabled = 0, logo = 0;
        for (std::size_t i = 0; i < dialog.items.size(); ++i) {
            if (next < rows.size() && Matches(dialog.items[i], rows[next])) {
                if (rows[next].id == IDC_LOGO)
                    logo = i;
                lastTabled = i;
                ++next;
            } else {
                extras.push_back(i);
            }
        }
        ASSERT_EQ(next, rows.size()) << "first mismatch: row " << next << ", template item "
                                     << (next + extras.size() < dialog.items.size()
                                             ? Describe(dialog.items[next + extras.size()])
                                             : "none");

        // Six credit lines inside the "Brimwave" box, the address under its heading.
        const auto byText = [&dialog](const char* text) {
            for (const TemplateItem& item : dialog.items)
                if (item.title.text == text)
                    return item;
            return TemplateItem{};
        };
        const TemplateItem box = byText("Brimwave");
        const TemplateItem heading = byText("Get the latest Verion of Brimwave at:");
        ASSERT_EQ(extras.size(), 7u);
        int credits = 0, addresses = 0;
        for (std::size_t index : extras) {
            const TemplateItem& item = dialog.items[index];
            SCOPED_TRACE(Describe(item));
            EXPECT_EQ(item.id, unnamed);
            EXPECT_EQ(item.className.ordinal, staticOrdinal);
            EXPECT_TRUE(item.style == (WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP) ||
                        item.style == (WS_CHILD | WS_VISIBLE | SS_CENTER | WS_GROUP));
            EXPECT_FALSE(item.title.text.empty());
            EXPECT_GT(index, module == 2 ? logo : lastTabled);
            if (item.title.text.rfind("http://", 0) == 0) {
                ++addresses;
                EXPECT_EQ(item.x, heading.x);
                EXPECT_GT(item.y, heading.y);
                EXPECT_LE(item.y, heading.y + 12);
            } else {
                ++credits;
                EXPECT_TRUE(item.x >= box.x && item.x + item.cx <= box.x + box.cx && item.y > box.y &&
                            item.y + item.cy <= box.y + box.cy);
            }
        }
        EXPECT_EQ(credits, 6);
        EXPECT_EQ(addresses, 1);
    }
}

TEST_F(PluginResources, LogoIsAnUncompressed256ColourBitmap)
{
    HRSRC resource = FindResourceA(library, MAKEINTRESOURCEA(IDB_LOGO), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(Languages(library, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(IDB_LOGO)),
              std::vector<WORD>{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)});
    const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(library, resource)));
    ASSERT_GE(SizeofResource(library, resource), sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(info->biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(info->biWidth, 99);
    EXPECT_EQ(info->biHeight, 82) << "bottom-up";
    EXPECT_EQ(info->biPlanes, 1);
    EXPECT_EQ(info->biBitCount, 8);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(info->biClrUsed == 0 || info->biClrUsed == 256);
    // Header, 256 palette entries, 82 rows of 99 bytes padded to 100.
    EXPECT_EQ(SizeofResource(library, resource), 40u + 256 * 4 + 82 * 100);
}

TEST_F(PluginResources, TwoIconsOfEnglishLanguage)
{
    std::vector<int> icons;
    EnumResourceNamesA(library, MAKEINTRESOURCEA(14), AddNumberedName, reinterpret_cast<LONG_PTR>(&icons));  // RT_GROUP_ICON
    EXPECT_EQ(icons, (std::vector<int>{IDI_BARS, IDI_SPHERE}));
    for (int icon : icons) {
        SCOPED_TRACE(icon);
        EXPECT_EQ(Languages(library, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(icon)),
                  std::vector<WORD>{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)});
        HRSRC group = FindResourceA(library, MAKEINTRESOURCEA(icon), MAKEINTRESOURCEA(14));
        ASSERT_NE(group, nullptr);
        // Images of 32 and 16 pixels, as the shell asks for them.
        const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(library, group)));
        for (int size : {32, 16}) {
            const int image = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(directory), TRUE, size, size, 0);
            HRSRC found = FindResourceA(library, MAKEINTRESOURCEA(image), MAKEINTRESOURCEA(3));  // RT_ICON
            ASSERT_NE(found, nullptr) << size;
            const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(library, found)));
            EXPECT_EQ(info->biWidth, size);
            EXPECT_EQ(info->biHeight, 2 * size) << "colour rows and mask rows";
        }
    }
}

// Wine registers the trackbar class whenever comctl32 loads; Windows does not,
// so the registration must be in the import table to be real.
TEST(PluginImports, InitialisesTheCommonControls)
{
    HMODULE library = LoadLibraryA(PluginPath().c_str());
    ASSERT_NE(library, nullptr);
    const auto* base = reinterpret_cast<const BYTE*>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    bool found = false;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), "comctl32.dll") != 0)
            continue;
        for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
             thunk->u1.AddressOfData; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal))
                continue;
            const auto* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
            found |= std::strcmp(reinterpret_cast<const char*>(name->Name), "InitCommonControlsEx") == 0;
        }
    }
    EXPECT_TRUE(found);
    FreeLibrary(library);
}

// ---------------------------------------------------------------------------
// The live dialogs.

TEST_F(ConfigDialog, WindowsFollowTheTemplates)
{
    // Tab stops in template order; the checked radio button of each pair
    // takes WS_TABSTOP when it is checked, as the platform does for radios.
    const std::array<std::vector<int>, 3> tabOrder = {{
        {IDOK, IDCANCEL, IDC_SPECTRUM, IDC_FALLOFF, IDC_SCALE_WAVEFORM, IDC_SCALE_SPECTRUM, IDC_RESET},
        {IDOK, IDCANCEL, IDC_SPECTRUM, IDC_FALLOFF, IDC_SCALE_WAVEFORM, IDC_SCALE_SPECTRUM, IDC_RESET, IDC_DETAIL,
         IDC_WIREFRAME},
        {IDOK, IDCANCEL, IDC_SPECTRUM, IDC_FALLOFF, IDC_SCALE_WAVEFORM, IDC_SCALE_SPECTRUM, IDC_RESET},
    }};
    HMONITOR monitor = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO screen = {sizeof(screen)};
    GetMonitorInfoA(monitor, &screen);

    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        const DialogTemplate dialogTemplate = ReadDialogTemplate(library, templateIds[module]);
        ASSERT_TRUE(dialogTemplate.complete);
        WriteIni(IniText(module, fileValues));
        HWND dialog = Open(module);
        ASSERT_NE(dialog, nullptr);

        // The platform adds the 3D look, and visibility and sibling clipping to a shown popup.
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)),
                  dialogTemplate.style | DS_3DLOOK | WS_VISIBLE | WS_CLIPSIBLINGS);
        RECT client = {0, 0, dialogTemplate.cx, dialogTemplate.cy}, actual;
        MapDialogRect(dialog, &client);
        GetClientRect(dialog, &actual);
        EXPECT_EQ(actual.right, client.right);
        EXPECT_EQ(actual.bottom, client.bottom);
        RECT window;
        GetWindowRect(dialog, &window);
        if (dialogTemplate.style & DS_CENTER) {
            EXPECT_LE(std::abs((window.left + window.right) - (screen.rcWork.left + screen.rcWork.right)), 2);
            EXPECT_LE(std::abs((window.top + window.bottom) - (screen.rcWork.top + screen.rcWork.bottom)), 2);
        }

        std::size_t index = 0;
        for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT), ++index) {
            ASSERT_LT(index, dialogTemplate.items.size());
            const TemplateItem& item = dialogTemplate.items[index];
            SCOPED_TRACE(Describe(item));
            EXPECT_EQ(GetDlgCtrlID(control) & 0xFFFF, item.id);
            char className[64] = "";
            GetClassNameA(control, className, sizeof(className));
            const std::string expectedClass = item.className.ordinal == buttonOrdinal   ? "Button"
                                              : item.className.ordinal == staticOrdinal ? "Static"
                                                                                        : item.className.text;
            EXPECT_EQ(lstrcmpiA(className, expectedClass.c_str()), 0) << className;
            const bool logo = item.id == IDC_LOGO;
            if (!logo) {
                char text[128] = "";
                GetWindowTextA(control, text, sizeof(text));
                EXPECT_EQ(std::string(text), item.title.text);
            }
            const bool checkedRadio = (item.id == IDC_SPECTRUM || item.id == IDC_WIREFRAME) &&
                                      SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)),
                      item.style | (checkedRadio ? WS_TABSTOP : 0));
            // The dialog manager keeps controls' notices from the dialog; a
            // sunken static draws its edge as a static edge.
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)),
                      WS_EX_NOPARENTNOTIFY | (logo ? WS_EX_STATICEDGE : 0));

            // Place and size are each converted from dialog units, so the
            // size is not the difference of the converted edges.
            RECT origin = {item.x, item.y, 0, 0}, size = {0, 0, item.cx, item.cy}, placed;
            MapDialogRect(dialog, &origin);
            MapDialogRect(dialog, &size);
            GetWindowRect(control, &placed);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
            EXPECT_EQ(placed.left, origin.left);
            EXPECT_EQ(placed.top, origin.top);
            // A bitmap static takes the size of its bitmap, whatever the template says.
            EXPECT_EQ(placed.right - placed.left, logo ? 99 : size.right);
            EXPECT_EQ(placed.bottom - placed.top, logo ? 82 : size.bottom);
        }
        EXPECT_EQ(index, dialogTemplate.items.size());

        for (int control : {IDC_DETAIL, IDC_WIREFRAME, IDC_SOLID})
            EXPECT_EQ(GetDlgItem(dialog, control) != nullptr, module == spheresModule) << control;

        EXPECT_EQ(FocusedControl(), GetDlgItem(dialog, IDOK)) << "the first tab stop";
        std::vector<int> stops;
        HWND stop = GetDlgItem(dialog, IDOK);
        do {
            stops.push_back(GetDlgCtrlID(stop));
            stop = GetNextDlgTabItem(dialog, stop, FALSE);
        } while (stop && stop != GetDlgItem(dialog, IDOK) && stops.size() < 50);
        EXPECT_EQ(stops, tabOrder[module]);

        Click(dialog, IDCANCEL);
        ASSERT_TRUE(WaitForConfig());
    }
}

TEST_F(ConfigDialog, ShowsTheLoadedValuesAtTheNearestBound)
{
    struct LoadCase {
        int module;
        Stored file;
        Shown shown;
        Stored afterOk;
    };
    const std::array<LoadCase, 5> cases = {{
        {0, fileValues, {300, 1234, 20000, 0, true, false}, fileValues},
        // Below every range, waveform and solid.
        {1, {1, 2, 3, 4, 0, 5, 0, 100, 1, 0}, {10, 1, 3000, 2, false, false}, {1, 2, 3, 4, 0, 10, 1, 3000, 2, 0}},
        // Above every range; any non-zero source is the spectrum.
        {2, {1, 2, 3, 4, 2, 5000, 9000, 40000, 0, 0}, {700, 5000, 30000, 0, true, false},
         {1, 2, 3, 4, 1, 700, 5000, 30000, 0, 0}},
        {1, {1, 2, 3, 4, 2, 701, 5001, 30001, 31, 7}, {700, 5000, 30000, 30, true, true},
         {1, 2, 3, 4, 1, 700, 5000, 30000, 30, 1}},
        {0, {1, 2, 3, 4, -1, 9, -5, 2999, 0, 0}, {10, 1, 3000, 0, true, false}, {1, 2, 3, 4, 1, 10, 1, 3000, 0, 0}},
    }};
    for (const LoadCase& test : cases) {
        SCOPED_TRACE(testing::Message() << sections[test.module] << " fallspeed " << test.file.fallspeed);
        WriteIni(IniText(test.module, test.file));
        HWND dialog = Open(test.module);
        ASSERT_NE(dialog, nullptr);
        ExpectShown(dialog, test.module, test.shown);
        EXPECT_EQ(TrackbarRange(dialog, IDC_FALLOFF), std::make_pair(10, 700));
        EXPECT_EQ(TrackbarRange(dialog, IDC_SCALE_SPECTRUM), std::make_pair(1, 5000));
        EXPECT_EQ(TrackbarRange(dialog, IDC_SCALE_WAVEFORM), std::make_pair(3000, 30000));
        if (test.module == spheresModule)
            EXPECT_EQ(TrackbarRange(dialog, IDC_DETAIL), std::make_pair(2, 30));
        Click(dialog, IDCANCEL);
        ASSERT_TRUE(WaitForConfig());
        EXPECT_EQ(Ini(), IniText(test.module, test.file)) << "Cancel keeps what was loaded";

        dialog = Open(test.module);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDOK);
        ASSERT_TRUE(WaitForConfig());
        EXPECT_EQ(Ini(), IniText(test.module, test.afterOk)) << "OK stores what is shown";
    }
}

TEST_F(ConfigDialog, OkStoresPositionsAndRadioStates)
{
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        WriteIni(IniText(module, fileValues));
        HWND dialog = Open(module);
        ASSERT_NE(dialog, nullptr);
        MoveTo(dialog, IDC_FALLOFF, 700);
        MoveTo(dialog, IDC_SCALE_SPECTRUM, 4321);
        MoveTo(dialog, IDC_SCALE_WAVEFORM, 3000);
        Click(dialog, IDC_WAVEFORM);
        EXPECT_FALSE(Checked(dialog, IDC_SPECTRUM)) << "one pair";
        if (module == spheresModule) {
            MoveTo(dialog, IDC_DETAIL, 30);
            Click(dialog, IDC_SOLID);
            EXPECT_FALSE(Checked(dialog, IDC_WIREFRAME));
        }
        Click(dialog, IDOK);
        ASSERT_TRUE(WaitForConfig());
        EXPECT_EQ(Ini(), IniText(module, {100, 120, 800, 600, 0, 700, 4321, 3000, 30, 0}));
    }
}

TEST_F(ConfigDialog, OnlyOkAndEnterStore)
{
    enum Way { okButton, enterKey, cancelButton, escapeKey, closeBox, closeMessage };
    struct ClosingWay {
        const char* name;
        Way way;
        bool stores;
    };
    constexpr std::array<ClosingWay, 6> ways = {{
        {"OK button", okButton, true},
        {"Enter on a trackbar", enterKey, true},
        {"Cancel button", cancelButton, false},
        {"Escape", escapeKey, false},
        {"close box", closeBox, false},
        {"WM_CLOSE", closeMessage, false},
    }};
    for (std::size_t i = 0; i < ways.size(); ++i) {
        const ClosingWay& way = ways[i];
        const int module = static_cast<int>(i % 3);
        SCOPED_TRACE(testing::Message() << way.name << ", " << sections[module]);
        WriteIni(IniText(module, fileValues));
        HWND dialog = Open(module);
        ASSERT_NE(dialog, nullptr);
        MoveTo(dialog, IDC_FALLOFF, 650);
        MoveTo(dialog, IDC_SCALE_SPECTRUM, 42);
        MoveTo(dialog, IDC_SCALE_WAVEFORM, 29000);
        Click(dialog, IDC_WAVEFORM);
        switch (way.way) {
        case okButton:
            Click(dialog, IDOK);
            break;
        case enterKey:
            // Away from the buttons, so that Enter has to find the default one.
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_FALLOFF)), TRUE);
            EXPECT_EQ(FocusedControl(), GetDlgItem(dialog, IDC_FALLOFF));
            PressKey(dialog, VK_RETURN);
            break;
        case cancelButton:
            Click(dialog, IDCANCEL);
            break;
        case escapeKey:
            PressKey(dialog, VK_ESCAPE);
            break;
        case closeBox:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case closeMessage:
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            break;
        }
        ASSERT_TRUE(WaitForConfig());
        const Stored changed = {100, 120, 800, 600, 0, 650, 42, 29000, 17, 1};
        EXPECT_EQ(Ini(), IniText(module, way.stores ? changed : fileValues));
    }
}

TEST_F(ConfigDialog, ResetTakesEffectAtOnceAndCancelKeepsIt)
{
    struct ResetCase {
        int module;
        Shown shown;
        Stored saved;
    };
    // The window size goes back to 640 x 480, its position stays.
    constexpr std::array<ResetCase, 3> cases = {{
        {0, {77, 500, 10000, 0, false, false}, {100, 120, 640, 480, 0, 77, 500, 10000, 0, 0}},
        {1, {47, 1150, 19000, 10, false, false}, {100, 120, 640, 480, 0, 47, 1150, 19000, 10, 0}},
        {2, {77, 500, 10000, 0, false, false}, {100, 120, 640, 480, 0, 77, 500, 10000, 0, 0}},
    }};
    for (const ResetCase& test : cases) {
        SCOPED_TRACE(sections[test.module]);
        WriteIni(IniText(test.module, fileValues));
        HWND dialog = Open(test.module);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_RESET);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
        ExpectShown(dialog, test.module, test.shown);
        Click(dialog, IDCANCEL);
        ASSERT_TRUE(WaitForConfig());
        EXPECT_EQ(Ini(), IniText(test.module, test.saved));
    }
}

// The box dialogs' reset leaves the Spheres-only settings in the shared record.
TEST_F(ConfigDialog, BoxResetLeavesTheSphereSettings)
{
    WriteIni(IniText(spheresModule, fileValues) + IniText(0, fileValues));
    HWND dialog = Open(spheresModule);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitForConfig());

    dialog = Open(0);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_RESET);
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitForConfig());

    // Without the keys in the file, the Spheres dialog shows the record's values.
    WritePrivateProfileStringA(sections[spheresModule], "detail", nullptr, IniPath().c_str());
    WritePrivateProfileStringA(sections[spheresModule], "lines", nullptr, IniPath().c_str());
    dialog = Open(spheresModule);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Position(dialog, IDC_DETAIL), 17);
    EXPECT_TRUE(Checked(dialog, IDC_WIREFRAME));
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitForConfig());
}

TEST_F(ConfigDialog, CommandsAreToldApartByIdentifierOnly)
{
    WriteIni(IniText(0, fileValues));
    HWND dialog = Open(0);
    ASSERT_NE(dialog, nullptr);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_DOUBLECLICKED), 0);
    ExpectShown(dialog, 0, {77, 500, 10000, 0, false, false});
    // A radio button's notice alone changes nothing; nor does an unknown command.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SPECTRUM, BN_CLICKED), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(4242, 0), 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    ExpectShown(dialog, 0, {77, 500, 10000, 0, false, false});
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0x7777), 0);
    ASSERT_TRUE(WaitForConfig());
    EXPECT_EQ(Ini(), IniText(0, {100, 120, 640, 480, 0, 77, 500, 10000, 0, 0}));
}

TEST_F(ConfigDialog, RadioPairsAreIndependent)
{
    struct RadioStep {
        int click;
        bool spectrum, waveform, wireframe, solid;
    };
    constexpr std::array<RadioStep, 4> steps = {{
        {IDC_SOLID, true, false, false, true},
        {IDC_WAVEFORM, false, true, false, true},
        {IDC_WIREFRAME, false, true, true, false},
        {IDC_SOLID, false, true, false, true},
    }};
    WriteIni(IniText(spheresModule, fileValues));
    HWND dialog = Open(spheresModule);
    ASSERT_NE(dialog, nullptr);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const RadioStep& step = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i << ", clicked " << step.click);
        Click(dialog, step.click);
        EXPECT_EQ(Checked(dialog, IDC_SPECTRUM), step.spectrum);
        EXPECT_EQ(Checked(dialog, IDC_WAVEFORM), step.waveform);
        EXPECT_EQ(Checked(dialog, IDC_WIREFRAME), step.wireframe);
        EXPECT_EQ(Checked(dialog, IDC_SOLID), step.solid);
    }
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitForConfig());
    EXPECT_EQ(Ini(), IniText(spheresModule, {100, 120, 800, 600, 0, 300, 1234, 20000, 17, 0}));
}

TEST_F(ConfigDialog, NeedsNoRunningModuleAndOpensNoWindow)
{
    WNDCLASSA hostClass = {};
    hostClass.lpfnWndProc = DefWindowProcA;
    hostClass.hInstance = GetModuleHandleA(nullptr);
    hostClass.lpszClassName = "BrimwaveTestHost";
    RegisterClassA(&hostClass);
    hostWindow = CreateWindowA("BrimwaveTestHost", "Player", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                               hostClass.hInstance, nullptr);
    ASSERT_NE(hostWindow, nullptr);

    WriteIni(IniText(2, fileValues));
    HWND dialog = Open(2);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), hostWindow);
    EXPECT_FALSE(IsWindowEnabled(hostWindow)) << "modal to the player's window";
    WNDCLASSA visClass;
    EXPECT_FALSE(GetClassInfoA(library, "Brimwave", &visClass));
    EXPECT_EQ(FindWindowA("Brimwave", nullptr), nullptr);
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitForConfig());
    EXPECT_TRUE(IsWindowEnabled(hostWindow));
    EXPECT_EQ(FindWindowA("Brimwave", nullptr), nullptr);
    EXPECT_EQ(Ini(), IniText(2, fileValues));
}

// What each procedure sends to its controls, message by message.
TEST_F(ConfigDialog, ControlMessagesFollowTheTrackbarTable)
{
    constexpr std::array<ControlMessage, 7> boxInit = {{
        {BM_SETCHECK, IDC_SPECTRUM, 1, 0},
        {TBM_SETRANGE, IDC_FALLOFF, 1, Range(10, 700)},
        {TBM_SETPOS, IDC_FALLOFF, 1, 300},
        {TBM_SETRANGE, IDC_SCALE_SPECTRUM, 1, Range(1, 5000)},
        {TBM_SETPOS, IDC_SCALE_SPECTRUM, 1, 1234},  // 5
        {TBM_SETRANGE, IDC_SCALE_WAVEFORM, 1, Range(3000, 30000)},
        {TBM_SETPOS, IDC_SCALE_WAVEFORM, 1, 20000},
    }};
    constexpr std::array<ControlMessage, 8> boxReset = {{
        {BM_SETCHECK, IDC_SPECTRUM, 0, 0},
        {BM_SETCHECK, IDC_WAVEFORM, 1, 0},
        {TBM_SETRANGE, IDC_FALLOFF, 1, Range(10, 700)},
        {TBM_SETPOS, IDC_FALLOFF, 1, 77},
        {TBM_SETRANGE, IDC_SCALE_SPECTRUM, 1, Range(1, 5000)},  // 5
        {TBM_SETPOS, IDC_SCALE_SPECTRUM, 1, 500},
        {TBM_SETRANGE, IDC_SCALE_WAVEFORM, 1, Range(3000, 30000)},
        {TBM_SETPOS, IDC_SCALE_WAVEFORM, 1, 10000},
    }};
    constexpr std::array<ControlMessage, 5> boxOk = {{
        {BM_GETCHECK, IDC_SPECTRUM, 0, 0},
        {BM_GETCHECK, IDC_WAVEFORM, 0, 0},
        {TBM_GETPOS, IDC_FALLOFF, 0, 0},
        {TBM_GETPOS, IDC_SCALE_SPECTRUM, 0, 0},
        {TBM_GETPOS, IDC_SCALE_WAVEFORM, 0, 0},  // 5
    }};
    constexpr std::array<ControlMessage, 10> sphereInit = {{
        {BM_SETCHECK, IDC_WAVEFORM, 1, 0},
        {BM_SETCHECK, IDC_WIREFRAME, 1, 0},
        {TBM_SETRANGE, IDC_FALLOFF, 1, Range(10, 700)},
        {TBM_SETPOS, IDC_FALLOFF, 1, 300},
        {TBM_SETRANGE, IDC_SCALE_SPECTRUM, 1, Range(1, 5000)},  // 5
        {TBM_SETPOS, IDC_SCALE_SPECTRUM, 1, 1234},
        {TBM_SETRANGE, IDC_SCALE_WAVEFORM, 1, Range(3000, 30000)},
        {TBM_SETPOS, IDC_SCALE_WAVEFORM, 1, 20000},
        {TBM_SETRANGE, IDC_DETAIL, 1, Range(2, 30)},
        {TBM_SETPOS, IDC_DETAIL, 1, 17},  // 10
    }};
    constexpr std::array<ControlMessage, 12> sphereReset = {{
        {BM_SETCHECK, IDC_WIREFRAME, 0, 0},
        {BM_SETCHECK, IDC_SOLID, 1, 0},
        {BM_SETCHECK, IDC_SPECTRUM, 0, 0},
        {BM_SETCHECK, IDC_WAVEFORM, 1, 0},
        {TBM_SETRANGE, IDC_FALLOFF, 1, Range(10, 700)},  // 5
        {TBM_SETPOS, IDC_FALLOFF, 1, 47},
        {TBM_SETRANGE, IDC_SCALE_SPECTRUM, 1, Range(1, 5000)},
        {TBM_SETPOS, IDC_SCALE_SPECTRUM, 1, 1150},
        {TBM_SETRANGE, IDC_SCALE_WAVEFORM, 1, Range(3000, 30000)},
        {TBM_SETPOS, IDC_SCALE_WAVEFORM, 1, 19000},  // 10
        {TBM_SETRANGE, IDC_DETAIL, 1, Range(2, 30)},
        {TBM_SETPOS, IDC_DETAIL, 1, 10},
    }};
    constexpr std::array<ControlMessage, 8> sphereOk = {{
        {BM_GETCHECK, IDC_SPECTRUM, 0, 0},
        {BM_GETCHECK, IDC_WAVEFORM, 0, 0},
        {BM_GETCHECK, IDC_WIREFRAME, 0, 0},
        {BM_GETCHECK, IDC_SOLID, 0, 0},
        {TBM_GETPOS, IDC_FALLOFF, 0, 0},  // 5
        {TBM_GETPOS, IDC_SCALE_SPECTRUM, 0, 0},
        {TBM_GETPOS, IDC_SCALE_WAVEFORM, 0, 0},
        {TBM_GETPOS, IDC_DETAIL, 0, 0},
    }};

    WriteIni(IniText(0, fileValues));
    HWND dialog = Open(0, true);
    ASSERT_NE(dialog, nullptr);
    ExpectSequence(TakeRecorded(), boxInit, "box WM_INITDIALOG");
    Click(dialog, IDC_RESET);
    ExpectSequence(TakeRecorded(), boxReset, "box reset");
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitForConfig());
    ExpectSequence(TakeRecorded(), boxOk, "box OK");
    StopRecording();

    WriteIni(IniText(spheresModule, {100, 120, 800, 600, 0, 300, 1234, 20000, 17, 1}));
    dialog = Open(spheresModule, true);
    ASSERT_NE(dialog, nullptr);
    ExpectSequence(TakeRecorded(), sphereInit, "sphere WM_INITDIALOG");
    Click(dialog, IDC_RESET);
    ExpectSequence(TakeRecorded(), sphereReset, "sphere reset");
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitForConfig());
    ExpectSequence(TakeRecorded(), sphereOk, "sphere OK");
}

// The procedures' results, through the copy linked into this program and a
// modeless dialog of this thread: the platform's modal loop hides them.
TEST(DialogProcedures, ReturnOneForWhatTheyHandle)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HMODULE library = LoadLibraryA(PluginPath().c_str());
    ASSERT_NE(library, nullptr);
    const std::array<std::pair<int, DLGPROC>, 2> procedures = {{{101, BoxDlgProc}, {103, SphereDlgProc}}};
    for (const auto& [templateId, procedure] : procedures) {
        SCOPED_TRACE(templateId);
        settings = initialSettings;
        HWND dialog = CreateDialogParamA(library, MAKEINTRESOURCEA(templateId), nullptr, procedure, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(procedure(dialog, WM_INITDIALOG, 0, 0), 1);
        for (WPARAM command : {WPARAM(IDC_RESET), WPARAM(IDC_SPECTRUM), MAKEWPARAM(4242, BN_CLICKED),
                               MAKEWPARAM(IDCANCEL, 0), MAKEWPARAM(IDOK, 0)})
            EXPECT_EQ(procedure(dialog, WM_COMMAND, command, 0), 1) << command;
        EXPECT_EQ(procedure(dialog, WM_CLOSE, 0, 0), 1);
        for (UINT message : {WM_NULL, WM_PAINT, WM_TIMER, WM_LBUTTONDOWN, WM_HSCROLL, WM_NOTIFY})
            EXPECT_EQ(procedure(dialog, message, 0, 0), 0) << message;
        DestroyWindow(dialog);
    }
    FreeLibrary(library);
}

}  // namespace
