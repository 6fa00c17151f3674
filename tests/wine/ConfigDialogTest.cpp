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
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// Only a cap: under qemu a dialog can take many seconds to come up.
constexpr DWORD timeoutMs = 60000;
constexpr int spheresModule = 1;

constexpr std::array<const char*, 3> sections = {"Rectangles", "Spheres", "Rectangle/Texture(prelim)"};
constexpr std::array<const char*, 3> captions = {
    "Brimwave Rectangle Configuration", "Brimwave Sphere Configuration", "Rectangle/Texture Configuration"};

// ---------------------------------------------------------------------------
// Settings files.

struct Stored {
    int screen_x, screen_y, screen_w, screen_h, vistype, fallspeed, scales, scalew, detail, lines;
};

// In file order; the last two are the Spheres section's only.
constexpr std::array<std::pair<const char*, int Stored::*>, 10> storedKeys = {{
    {"screen_x", &Stored::screen_x}, {"screen_y", &Stored::screen_y}, {"screen_w", &Stored::screen_w},
    {"screen_h", &Stored::screen_h}, {"vistype", &Stored::vistype},   {"fallspeed", &Stored::fallspeed},
    {"scales", &Stored::scales},     {"scalew", &Stored::scalew},     {"detail", &Stored::detail},
    {"lines", &Stored::lines},
}};

std::size_t KeyCount(int module)
{
    return module == spheresModule ? storedKeys.size() : storedKeys.size() - 2;
}

// In range, and none of them a value that a reset or a fresh record holds.
constexpr Stored fileValues = {100, 120, 800, 600, 1, 300, 1234, 20000, 17, 1};

// The section as the store writes it.
std::string IniText(int module, const Stored& values)
{
    std::string text = std::string("[") + sections[module] + "]\r\n";
    for (std::size_t i = 0; i < KeyCount(module); ++i)
        text += storedKeys[i].first + ("=" + std::to_string(values.*storedKeys[i].second)) + "\r\n";
    return text;
}

// ---------------------------------------------------------------------------
// Controls, read and operated from the test thread.

int Position(HWND dialog, int control)
{
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, control), TBM_GETPOS, 0, 0));
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

// What a user changes in every module's dialog: the three sliders moved and
// the waveform chosen.
void ChangeCommonSettings(HWND dialog, int fallspeed, int scales, int scalew)
{
    MoveTo(dialog, IDC_FALLOFF, fallspeed);
    MoveTo(dialog, IDC_SCALE_SPECTRUM, scales);
    MoveTo(dialog, IDC_SCALE_WAVEFORM, scalew);
    Click(dialog, IDC_WAVEFORM);
}

// The sliders at these settings, each pair's buttons checked by them.
void ExpectShown(HWND dialog, int module, const Stored& shown)
{
    EXPECT_EQ(Position(dialog, IDC_FALLOFF), shown.fallspeed);
    EXPECT_EQ(Position(dialog, IDC_SCALE_SPECTRUM), shown.scales);
    EXPECT_EQ(Position(dialog, IDC_SCALE_WAVEFORM), shown.scalew);
    EXPECT_EQ(Checked(dialog, IDC_SPECTRUM), shown.vistype != 0);
    EXPECT_EQ(Checked(dialog, IDC_WAVEFORM), shown.vistype == 0);
    if (module == spheresModule) {
        EXPECT_EQ(Position(dialog, IDC_DETAIL), shown.detail);
        EXPECT_EQ(Checked(dialog, IDC_WIREFRAME), shown.lines != 0);
        EXPECT_EQ(Checked(dialog, IDC_SOLID), shown.lines == 0);
    }
}

// One child window of a live dialog, in the dialog's client coordinates.
struct Control {
    HWND window;
    int id;
    std::string className, text;
    DWORD style;
    RECT rect;
    RECT ink;  // what it draws: a label's or a radio button's text, else the whole window
};

bool IsButton(const Control& control, DWORD type)
{
    return lstrcmpiA(control.className.c_str(), "Button") == 0 && (control.style & BS_TYPEMASK) == type;
}

bool IsLabel(const Control& control)
{
    return lstrcmpiA(control.className.c_str(), "Static") == 0 && (control.style & SS_TYPEMASK) <= SS_RIGHT &&
           !control.text.empty();
}

// The text's size in the control's own font, broken into lines as it draws them.
SIZE TextSize(const Control& control, UINT format)
{
    HDC dc = GetDC(control.window);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control.window, WM_GETFONT, 0, 0)));
    RECT text = {0, 0, control.rect.right - control.rect.left, 0};
    DrawTextA(dc, control.text.c_str(), -1, &text, format | DT_CALCRECT);
    SelectObject(dc, font);
    ReleaseDC(control.window, dc);
    return {text.right, text.bottom};
}

RECT Ink(const Control& control)
{
    const RECT& r = control.rect;
    if (IsLabel(control)) {
        const SIZE size = TextSize(control, DT_WORDBREAK | DT_EXPANDTABS);
        const DWORD align = control.style & SS_TYPEMASK;
        const LONG left = align == SS_CENTER  ? (r.left + r.right - size.cx) / 2
                          : align == SS_RIGHT ? r.right - size.cx
                                              : r.left;
        const LONG top = control.style & SS_CENTERIMAGE ? (r.top + r.bottom - size.cy) / 2 : r.top;
        return {left, top, left + size.cx, top + size.cy};
    }
    if (IsButton(control, BS_AUTORADIOBUTTON)) {
        // The round box, a gap and the text on one line, centred from top to bottom.
        const SIZE size = TextSize(control, DT_SINGLELINE);
        const LONG box = GetSystemMetrics(SM_CXMENUCHECK);
        const LONG height = std::max(size.cy, box);
        const LONG top = (r.top + r.bottom - height) / 2;
        return {r.left, top, r.left + box + 4 + size.cx, top + height};
    }
    return r;
}

std::vector<Control> Controls(HWND dialog)
{
    std::vector<Control> controls;
    for (HWND window = GetWindow(dialog, GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
        Control control = {window, GetDlgCtrlID(window) & 0xFFFF};
        char text[256] = "";
        GetClassNameA(window, text, sizeof(text));
        control.className = text;
        GetWindowTextA(window, text, sizeof(text));
        control.text = text;
        control.style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        GetWindowRect(window, &control.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
        control.ink = Ink(control);
        controls.push_back(control);
    }
    return controls;
}

const Control* Find(const std::vector<Control>& controls, int id)
{
    const auto found = std::find_if(controls.begin(), controls.end(), [id](const Control& c) { return c.id == id; });
    return found == controls.end() ? nullptr : &*found;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// What the two draw overlaps; each draws inside its own window only.
bool DrawnOverlap(const Control& a, const Control& b)
{
    RECT drawnA, drawnB, common;
    IntersectRect(&drawnA, &a.ink, &a.rect);
    IntersectRect(&drawnB, &b.ink, &b.rect);
    return IntersectRect(&common, &drawnA, &drawnB) != FALSE;
}

// The innermost group box around the control, or null.
const Control* BoxOf(const std::vector<Control>& controls, const Control& control)
{
    const Control* box = nullptr;
    for (const Control& candidate : controls)
        if (&candidate != &control && IsButton(candidate, BS_GROUPBOX) && Inside(control.rect, candidate.rect) &&
            (!box || Inside(candidate.rect, box->rect)))
            box = &candidate;
    return box;
}

std::string Describe(const Control& c)
{
    return c.className + " " + std::to_string(c.id) + " \"" + c.text + "\" at (" + std::to_string(c.rect.left) + "," +
           std::to_string(c.rect.top) + ")-(" + std::to_string(c.rect.right) + "," + std::to_string(c.rect.bottom) +
           ")";
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
        ASSERT_TRUE(CopyFileA(PluginPath().c_str(), (directory + "vis_brim.dll").c_str(), FALSE)) << PluginPath();
        ASSERT_TRUE(LoadCopy());
    }

    void TearDown() override
    {
        if (configThread && WaitForSingleObject(configThread, 0) == WAIT_TIMEOUT) {
            for (int i = 0; i < 3; ++i)
                if (HWND dialog = FindDialog())
                    PostMessageA(dialog, WM_CLOSE, 0, 0);
            WaitForConfig();
        }
        // A Config call still running would lose its code under it.
        const bool finished = !configThread || WaitForSingleObject(configThread, 0) == WAIT_OBJECT_0;
        if (configThread)
            CloseHandle(configThread);
        if (library && finished)
            FreeLibrary(library);
        if (hostWindow)
            DestroyWindow(hostWindow);
        RemoveIni();
        DeleteFileA((directory + "vis_brim.dll").c_str());
        RemoveDirectoryA(directory.c_str());
    }

    // The library copy loaded afresh, its settings record as a player's first load finds it.
    bool LoadCopy()
    {
        if (library)
            FreeLibrary(library);
        library = LoadLibraryA((directory + "vis_brim.dll").c_str());
        auto getHeader = reinterpret_cast<VisHeader* (*)()>(GetProcAddress(library, "winampVisGetHeader"));
        header = getHeader ? getHeader() : nullptr;
        return header != nullptr;
    }

    std::string IniPath() const { return directory + "plugin.ini"; }
    std::string Ini() const { return ReadFileText(IniPath()); }

    void WriteIni(const std::string& text)
    {
        // Hand anything the profile cache holds to the file before replacing it.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, IniPath().c_str());
        WriteFileText(IniPath(), text);
    }

    void RemoveIni()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, IniPath().c_str());
        DeleteFileA(IniPath().c_str());
    }

    HWND FindDialog() const
    {
        HWND dialog = FindWindowA("#32770", captions[moduleIndex]);
        return dialog && GetWindowThreadProcessId(dialog, nullptr) == configThreadId ? dialog : nullptr;
    }

    // Calls Config with the DLL's own module record, filled in as the player
    // fills it, and returns its dialog once it is shown, or null.
    HWND Open(int index)
    {
        moduleIndex = index;
        VisModule* module = header->getModule(index);
        module->instance = library;
        module->hostWindow = hostWindow;
        if (configThread)
            CloseHandle(configThread);
        configThread = CreateThread(nullptr, 0, RunConfig, module, 0, &configThreadId);
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

    HWND OpenWith(int index, const Stored& values)
    {
        WriteIni(IniText(index, values));
        return Open(index);
    }

    // True when the Config call returned.
    bool WaitForConfig()
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            if (MsgWaitForMultipleObjects(1, &configThread, FALSE, timeoutMs, QS_ALLINPUT) == WAIT_OBJECT_0)
                return true;
            PumpMessages();
        }
        return false;
    }

    bool Close(HWND dialog, int button)
    {
        Click(dialog, button);
        return WaitForConfig();
    }

    // What Reset to Defaults should show and keep: what a first run saves (no
    // plugin.ini yet, the dialog cancelled) but for the window's place, which
    // stays, and the source, which goes to the waveform; the Spheres have
    // levels of their own (README's example section).
    Stored ResetDefaults(int module)
    {
        RemoveIni();
        EXPECT_TRUE(LoadCopy());
        EXPECT_TRUE(Close(Open(module), IDCANCEL));
        Stored defaults = fileValues;
        for (std::size_t i = 0; i < KeyCount(module); ++i)
            defaults.*storedKeys[i].second =
                static_cast<int>(GetPrivateProfileIntA(sections[module], storedKeys[i].first, -99, IniPath().c_str()));
        defaults.screen_x = fileValues.screen_x;
        defaults.screen_y = fileValues.screen_y;
        defaults.vistype = 0;
        if (module == spheresModule) {
            defaults.fallspeed = 47;
            defaults.scales = 1150;
            defaults.scalew = 19000;
        }
        return defaults;
    }

    HWND FocusedControl()
    {
        GUITHREADINFO info = {sizeof(info)};
        GetGUIThreadInfo(configThreadId, &info);
        return info.hwndFocus;
    }

    // A key as the dialog's message loop receives it: posted to the focus.
    void PressKey(HWND dialog, WPARAM key)
    {
        HWND focus = FocusedControl();
        PostMessageA(focus ? focus : dialog, WM_KEYDOWN, key, 1);
    }

    HMODULE library = nullptr;
    VisHeader* header = nullptr;
    std::string directory;
    HWND hostWindow = nullptr;
    HANDLE configThread = nullptr;
    DWORD configThreadId = 0;
    int moduleIndex = 0;
};

// ---------------------------------------------------------------------------
// Resources, read from the library file.

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

struct NeededControl {
    int id;
    const char* className;
    const char* text;  // null: whatever it says
};

// The first nine in every dialog, the rest in the Spheres dialog only.
constexpr std::array<NeededControl, 12> neededControls = {{
    {IDOK, "Button", "OK"},
    {IDCANCEL, "Button", "Cancel"},
    {IDC_RESET, "Button", "Reset to Defaults"},
    {IDC_SPECTRUM, "Button", nullptr},
    {IDC_WAVEFORM, "Button", nullptr},
    {IDC_SCALE_SPECTRUM, TRACKBAR_CLASSA, nullptr},
    {IDC_SCALE_WAVEFORM, TRACKBAR_CLASSA, nullptr},
    {IDC_FALLOFF, TRACKBAR_CLASSA, nullptr},
    {IDC_LOGO, "Static", nullptr},
    {IDC_DETAIL, TRACKBAR_CLASSA, nullptr},
    {IDC_WIREFRAME, "Button", "Wireframe"},
    {IDC_SOLID, "Button", "Solid"},
}};

TEST_F(ConfigDialog, ShowsEveryControlItNeedsClearOfTheOthers)
{
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        const bool spheres = module == spheresModule;
        HWND dialog = OpenWith(module, fileValues);
        ASSERT_NE(dialog, nullptr);
        RECT client, window;
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &window);
        MONITORINFO screen = {sizeof(screen)};
        GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &screen);
        EXPECT_TRUE(Inside(window, screen.rcWork)) << "the whole dialog on screen";
        const std::vector<Control> controls = Controls(dialog);

        for (std::size_t i = 0; i < neededControls.size(); ++i) {
            const NeededControl& needed = neededControls[i];
            const Control* control = Find(controls, needed.id);
            if (i >= 9 && !spheres) {
                EXPECT_EQ(control, nullptr) << "a Spheres control: " << needed.id;
            } else if (!control) {
                ADD_FAILURE() << "no control " << needed.id;
            } else {
                SCOPED_TRACE(Describe(*control));
                EXPECT_EQ(lstrcmpiA(control->className.c_str(), needed.className), 0);
                EXPECT_TRUE(!needed.text || control->text == needed.text);
                EXPECT_TRUE(IsWindowEnabled(control->window));
            }
        }
        if (const Control* logo = Find(controls, IDC_LOGO))
            EXPECT_NE(SendMessageA(logo->window, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the logo's picture";

        // Inside the dialog, nothing drawn over anything else, no control
        // across a group box's frame.
        for (std::size_t a = 0; a < controls.size(); ++a) {
            const Control& one = controls[a];
            SCOPED_TRACE(Describe(one));
            EXPECT_TRUE(IsWindowVisible(one.window));
            EXPECT_TRUE(Inside(one.rect, client)) << "inside the dialog";
            for (std::size_t b = a + 1; b < controls.size(); ++b) {
                const Control& other = controls[b];
                if (IsButton(one, BS_GROUPBOX) || IsButton(other, BS_GROUPBOX)) {
                    RECT common;
                    EXPECT_TRUE(Inside(one.rect, other.rect) || Inside(other.rect, one.rect) ||
                                !IntersectRect(&common, &one.rect, &other.rect))
                        << "across " << Describe(other);
                } else {
                    EXPECT_FALSE(DrawnOverlap(one, other)) << "over " << Describe(other);
                }
            }
        }

        // Each source's button in a captioned box with its scale, each other
        // setting in a captioned box of its own.
        std::vector<std::vector<int>> together = {
            {IDC_SPECTRUM, IDC_SCALE_SPECTRUM}, {IDC_WAVEFORM, IDC_SCALE_WAVEFORM}, {IDC_FALLOFF}};
        if (spheres) {
            together.push_back({IDC_DETAIL});
            together.push_back({IDC_WIREFRAME, IDC_SOLID});
        }
        std::vector<const Control*> boxes;
        for (const std::vector<int>& ids : together) {
            const Control* first = Find(controls, ids[0]);
            const Control* box = first ? BoxOf(controls, *first) : nullptr;
            ASSERT_NE(box, nullptr) << "no box around " << ids[0];
            EXPECT_FALSE(box->text.empty()) << Describe(*box);
            EXPECT_EQ(std::count(boxes.begin(), boxes.end(), box), 0) << Describe(*box) << " shared";
            boxes.push_back(box);
            for (int id : ids)
                EXPECT_TRUE(Find(controls, id) && BoxOf(controls, *Find(controls, id)) == box) << id;
        }

        // Each slider's ends named by one label under either end, in its box.
        for (int id : {IDC_FALLOFF, IDC_SCALE_SPECTRUM, IDC_SCALE_WAVEFORM, IDC_DETAIL}) {
            const Control* bar = Find(controls, id);
            if (!bar)
                continue;
            const LONG quarter = (bar->rect.right - bar->rect.left) / 4;
            int left = 0, right = 0;
            for (const Control& label : controls) {
                if (!IsLabel(label) || BoxOf(controls, label) != BoxOf(controls, *bar) ||
                    label.ink.top < bar->rect.bottom)
                    continue;
                const LONG centre = (label.ink.left + label.ink.right) / 2;
                left += centre < bar->rect.left + quarter;
                right += centre > bar->rect.right - quarter;
            }
            EXPECT_EQ(left, 1) << "labels under the left end of " << Describe(*bar);
            EXPECT_EQ(right, 1) << "labels under the right end of " << Describe(*bar);
        }

        // Every setting and button in reach of the Tab key, starting at OK.
        EXPECT_EQ(FocusedControl(), GetDlgItem(dialog, IDOK));
        std::vector<int> stops;
        HWND stop = GetDlgItem(dialog, IDOK);
        do {
            stops.push_back(GetDlgCtrlID(stop));
            stop = GetNextDlgTabItem(dialog, stop, FALSE);
        } while (stop && stop != GetDlgItem(dialog, IDOK) && stops.size() < 50);
        const auto reached = [&stops](int id) { return std::count(stops.begin(), stops.end(), id) == 1; };
        for (int id : {IDOK, IDCANCEL, IDC_RESET, IDC_FALLOFF, IDC_SCALE_SPECTRUM, IDC_SCALE_WAVEFORM})
            EXPECT_TRUE(reached(id)) << id;
        EXPECT_NE(reached(IDC_SPECTRUM), reached(IDC_WAVEFORM)) << "one stop for the source pair";
        if (spheres) {
            EXPECT_TRUE(reached(IDC_DETAIL));
            EXPECT_NE(reached(IDC_WIREFRAME), reached(IDC_SOLID)) << "one stop for the mode pair";
        }
        ASSERT_TRUE(Close(dialog, IDCANCEL));
    }
}

// A text too long for its control is cut off where the control ends.
TEST_F(ConfigDialog, LabelsShowTheirWholeText)
{
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        HWND dialog = OpenWith(module, fileValues);
        ASSERT_NE(dialog, nullptr);
        for (const Control& control : Controls(dialog))
            EXPECT_TRUE(Inside(control.ink, control.rect))
                << Describe(control) << " needs " << TextSize(control, DT_SINGLELINE).cx << " pixels on one line";
        ASSERT_TRUE(Close(dialog, IDCANCEL));
    }
}

TEST_F(ConfigDialog, ShowsTheLoadedValuesAtTheNearestBound)
{
    struct LoadCase {
        int module;
        Stored file;
        Stored shown;  // and what OK saves
    };
    const std::array<LoadCase, 5> cases = {{
        {0, fileValues, fileValues},
        // Below every range, waveform and solid.
        {1, {1, 2, 3, 4, 0, 5, 0, 100, 1, 0}, {1, 2, 3, 4, 0, 10, 1, 3000, 2, 0}},
        // Above every range; any non-zero source is the spectrum.
        {2, {1, 2, 3, 4, 2, 5000, 9000, 40000, 0, 0}, {1, 2, 3, 4, 1, 700, 5000, 30000, 0, 0}},
        {1, {1, 2, 3, 4, 2, 701, 5001, 30001, 31, 7}, {1, 2, 3, 4, 1, 700, 5000, 30000, 30, 1}},
        {0, {1, 2, 3, 4, -1, 9, -5, 2999, 0, 0}, {1, 2, 3, 4, 1, 10, 1, 3000, 0, 0}},
    }};
    for (const LoadCase& test : cases) {
        SCOPED_TRACE(testing::Message() << sections[test.module] << " fallspeed " << test.file.fallspeed);
        HWND dialog = OpenWith(test.module, test.file);
        ASSERT_NE(dialog, nullptr);
        ExpectShown(dialog, test.module, test.shown);
        ASSERT_TRUE(Close(dialog, IDCANCEL));
        EXPECT_EQ(Ini(), IniText(test.module, test.file)) << "Cancel keeps what was loaded";
        ASSERT_TRUE(Close(Open(test.module), IDOK));
        EXPECT_EQ(Ini(), IniText(test.module, test.shown)) << "OK stores what is shown";
    }
}

TEST_F(ConfigDialog, OkStoresPositionsAndRadioStates)
{
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        HWND dialog = OpenWith(module, fileValues);
        ASSERT_NE(dialog, nullptr);
        ChangeCommonSettings(dialog, 700, 4321, 3000);
        EXPECT_FALSE(Checked(dialog, IDC_SPECTRUM)) << "one pair";
        if (module == spheresModule) {
            MoveTo(dialog, IDC_DETAIL, 30);
            Click(dialog, IDC_SOLID);
            EXPECT_FALSE(Checked(dialog, IDC_WIREFRAME));
        }
        ASSERT_TRUE(Close(dialog, IDOK));
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
        HWND dialog = OpenWith(module, fileValues);
        ASSERT_NE(dialog, nullptr);
        ChangeCommonSettings(dialog, 650, 42, 29000);
        switch (way.way) {
        case okButton: Click(dialog, IDOK); break;
        case enterKey:
            // Away from the buttons, so that Enter has to find the default one.
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_FALLOFF)), TRUE);
            EXPECT_EQ(FocusedControl(), GetDlgItem(dialog, IDC_FALLOFF));
            PressKey(dialog, VK_RETURN);
            break;
        case cancelButton: Click(dialog, IDCANCEL); break;
        case escapeKey: PressKey(dialog, VK_ESCAPE); break;
        case closeBox: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case closeMessage: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
        }
        ASSERT_TRUE(WaitForConfig());
        const Stored changed = {100, 120, 800, 600, 0, 650, 42, 29000, 17, 1};
        EXPECT_EQ(Ini(), IniText(module, way.stores ? changed : fileValues));
    }
}

TEST_F(ConfigDialog, ResetTakesEffectAtOnceAndCancelKeepsIt)
{
    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE(sections[module]);
        const Stored defaults = ResetDefaults(module);
        HWND dialog = OpenWith(module, fileValues);
        ASSERT_NE(dialog, nullptr);
        Click(dialog, IDC_RESET);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
        ExpectShown(dialog, module, defaults);
        ASSERT_TRUE(Close(dialog, IDCANCEL));
        EXPECT_EQ(Ini(), IniText(module, defaults));
    }
}

// The box dialogs' reset leaves the Spheres-only settings in the shared record.
TEST_F(ConfigDialog, BoxResetLeavesTheSphereSettings)
{
    WriteIni(IniText(spheresModule, fileValues) + IniText(0, fileValues));
    ASSERT_TRUE(Close(Open(spheresModule), IDCANCEL));
    HWND dialog = Open(0);
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDC_RESET);
    ASSERT_TRUE(Close(dialog, IDOK));

    // Without the keys in the file, the Spheres dialog shows the record's values.
    WritePrivateProfileStringA(sections[spheresModule], "detail", nullptr, IniPath().c_str());
    WritePrivateProfileStringA(sections[spheresModule], "lines", nullptr, IniPath().c_str());
    dialog = Open(spheresModule);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Position(dialog, IDC_DETAIL), 17);
    EXPECT_TRUE(Checked(dialog, IDC_WIREFRAME));
    ASSERT_TRUE(Close(dialog, IDCANCEL));
}

TEST_F(ConfigDialog, CommandsAreToldApartByIdentifierOnly)
{
    const Stored defaults = ResetDefaults(0);
    HWND dialog = OpenWith(0, fileValues);
    ASSERT_NE(dialog, nullptr);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_DOUBLECLICKED), 0);
    ExpectShown(dialog, 0, defaults);
    // A radio button's notice alone changes nothing; nor does an unknown command.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SPECTRUM, BN_CLICKED), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(4242, 0), 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    ExpectShown(dialog, 0, defaults);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0x7777), 0);
    ASSERT_TRUE(WaitForConfig());
    EXPECT_EQ(Ini(), IniText(0, defaults));
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
    HWND dialog = OpenWith(spheresModule, fileValues);
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
    ASSERT_TRUE(Close(dialog, IDOK));
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

    HWND dialog = OpenWith(2, fileValues);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), hostWindow);
    EXPECT_FALSE(IsWindowEnabled(hostWindow)) << "modal to the player's window";
    WNDCLASSA visClass;
    EXPECT_FALSE(GetClassInfoA(library, "Brimwave", &visClass));
    EXPECT_EQ(FindWindowA("Brimwave", nullptr), nullptr);
    ASSERT_TRUE(Close(dialog, IDOK));
    EXPECT_TRUE(IsWindowEnabled(hostWindow));
    EXPECT_EQ(FindWindowA("Brimwave", nullptr), nullptr);
    EXPECT_EQ(Ini(), IniText(2, fileValues));
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
