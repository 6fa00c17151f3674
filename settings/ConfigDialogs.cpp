#include "settings/ConfigDialogs.h"

#include "settings/Settings.h"

#include <commctrl.h>

#include <array>
#include <cstddef>

namespace {

struct Trackbar {
    int control;
    int minimum;
    int maximum;
    int Settings::*setting;
};

// In the order every dialog sets them; the last one is in the Spheres dialog only.
constexpr std::array<Trackbar, 4> trackbars = {{
    {IDC_FALLOFF, 10, 700, &Settings::fallspeed},
    {IDC_SCALE_SPECTRUM, 1, 5000, &Settings::scales},
    {IDC_SCALE_WAVEFORM, 3000, 30000, &Settings::scalew},
    {IDC_DETAIL, 2, 30, &Settings::detail},
}};

// What tells the two procedures apart.
struct DialogKind {
    bool spheres;        // the detail trackbar and the wireframe/solid pair
    int resetScales;
    int resetScalew;
    int resetFallspeed;
};

constexpr DialogKind boxDialog = {false, 500, 10000, 77};
constexpr DialogKind sphereDialog = {true, 1150, 19000, 47};

LRESULT SendToControl(HWND dialog, int control, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(GetDlgItem(dialog, control), message, wParam, lParam);
}

void SetCheck(HWND dialog, int control, bool checked)
{
    SendToControl(dialog, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int control)
{
    return SendToControl(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::size_t TrackbarCount(const DialogKind& kind)
{
    return kind.spheres ? trackbars.size() : trackbars.size() - 1;
}

// Range first, so that the position lands within the new range.
void ShowTrackbars(HWND dialog, const DialogKind& kind)
{
    for (std::size_t i = 0; i < TrackbarCount(kind); ++i) {
        const Trackbar& trackbar = trackbars[i];
        SendToControl(dialog, trackbar.control, TBM_SETRANGE, TRUE, MAKELPARAM(trackbar.minimum, trackbar.maximum));
        SendToControl(dialog, trackbar.control, TBM_SETPOS, TRUE, settings.*trackbar.setting);
    }
}

void ShowSettings(HWND dialog, const DialogKind& kind)
{
    SetCheck(dialog, settings.vistype != 0 ? IDC_SPECTRUM : IDC_WAVEFORM, true);
    if (kind.spheres)
        SetCheck(dialog, settings.lines != 0 ? IDC_WIREFRAME : IDC_SOLID, true);
    ShowTrackbars(dialog, kind);
}

// With neither button of a pair checked the setting keeps its value.
void StoreSettings(HWND dialog, const DialogKind& kind)
{
    if (IsChecked(dialog, IDC_SPECTRUM))
        settings.vistype = 1;
    if (IsChecked(dialog, IDC_WAVEFORM))
        settings.vistype = 0;
    if (kind.spheres) {
        if (IsChecked(dialog, IDC_WIREFRAME))
            settings.lines = 1;
        if (IsChecked(dialog, IDC_SOLID))
            settings.lines = 0;
    }
    for (std::size_t i = 0; i < TrackbarCount(kind); ++i)
        settings.*trackbars[i].setting = static_cast<int>(SendToControl(dialog, trackbars[i].control, TBM_GETPOS, 0, 0));
}

// The record takes the defaults at once, so Cancel afterwards keeps them.
void ResetSettings(HWND dialog, const DialogKind& kind)
{
    settings.scales = kind.resetScales;
    settings.scalew = kind.resetScalew;
    settings.fallspeed = kind.resetFallspeed;
    settings.vistype = 0;
    settings.screen_h = 480;
    settings.screen_w = 640;
    if (kind.spheres) {
        settings.detail = 10;
        settings.lines = 0;
        SetCheck(dialog, IDC_WIREFRAME, false);
        SetCheck(dialog, IDC_SOLID, true);
    }
    SetCheck(dialog, IDC_SPECTRUM, false);
    SetCheck(dialog, IDC_WAVEFORM, true);
    ShowTrackbars(dialog, kind);
}

void HandleCommand(HWND dialog, int control, const DialogKind& kind)
{
    switch (control) {
    case IDOK:
        StoreSettings(dialog, kind);
        EndDialog(dialog, 1);
        break;
    case IDCANCEL:
        EndDialog(dialog, 1);
        break;
    case IDC_RESET:
        ResetSettings(dialog, kind);
        break;
    }
}

INT_PTR ConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, const DialogKind& kind)
{
    switch (message) {
    case WM_INITDIALOG:
        ShowSettings(dialog, kind);
        return TRUE;
    case WM_COMMAND:
        HandleCommand(dialog, LOWORD(wParam), kind);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK BoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return ConfigDlgProc(dialog, message, wParam, boxDialog);
}

INT_PTR CALLBACK SphereDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    return ConfigDlgProc(dialog, message, wParam, sphereDialog);
}
