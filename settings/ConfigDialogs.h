// Dialog procedures of the three configuration dialogs.
#pragma once

#include <windows.h>

// Dialog templates and the controls the procedures use.
#include "resources/resource.h"

INT_PTR CALLBACK BoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SphereDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
