#include "plugin/Lifecycle.h"

#include "frame/FrameStep.h"
#include "plugin/PluginEntry.h"
#include "scenes/FramePresenter.h"
#include "settings/ConfigDialogs.h"
#include "settings/Modules.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "window/RenderContext.h"
#include "window/VisWindow.h"

#include <commctrl.h>

#include <array>

namespace {

struct ConfigDialog {
    int templateId;
    DLGPROC procedure;
};

// Indexed by activeModule.
const std::array<ConfigDialog, moduleCount> configDialogs = {{
    {IDD_RECTANGLE_CONFIG, BoxDlgProc},
    {IDD_SPHERE_CONFIG, SphereDlgProc},
    {IDD_TEXTURE_CONFIG, BoxDlgProc},
}};

void ShowConfigDialog(const VisModule& record, int index, HWND owner)
{
    // The dialogs' trackbars need the common controls' class, which a host
    // may never have registered.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const ConfigDialog& dialog = configDialogs[index];
    DialogBoxParamA(record.instance, MAKEINTRESOURCEA(dialog.templateId), owner, dialog.procedure, 0);
}

void ShowInitError(const VisModule& module, const char* text)
{
    MessageBoxA(module.hostWindow, text, "Error", MB_OK);
}

// What Init loaded, for Quit to save: the record and module of that Init,
// whatever module the getter handed out since. Nothing before an Init.
bool settingsHeld = false;
VisModule* heldRecord = nullptr;
int heldModule = 0;

// A frame on a thread the context is not current on: it borrows the context
// for the frame, or only measures when there is none to be had.
void RenderElsewhere(const VisModule& module)
{
    if (HasFramePresenter() && BorrowRenderContext()) {
        StepFrame(module, windowModule);
        EndBorrowedFrame();
    } else {
        MeasureFrame(module, windowModule);
    }
}

// Every record's Render draws the module whose window is open: another
// module's scene would lack its GL state.
int RenderOpenModule(const VisModule& module)
{
    if (ContextIsCurrentHere())
        StepFrame(module, windowModule);
    else
        RenderElsewhere(module);
    return 0;
}

}  // namespace

void ConfigModule(VisModule* module)
{
    // The running module's dialog edits the record it draws from: the file
    // may hold an older place of its window.
    const bool running = visWindow != nullptr && settingsHeld;
    if (running && activeModule == heldModule) {
        ShowConfigDialog(*heldRecord, heldModule, module->hostWindow);
        SaveSettings(heldRecord, heldModule);
        return;
    }
    // Another module's dialog shows that module's settings; the running
    // one's come back afterwards, so that it neither draws with them nor
    // saves them as its own.
    const Settings runningSettings = settings;
    LoadSettings(module, activeModule);
    ShowConfigDialog(*module, activeModule, module->hostWindow);
    SaveSettings(module, activeModule);
    if (running)
        settings = runningSettings;
}

int InitModule(VisModule* module)
{
    // A window still open: the host started again without Quit. The running
    // module goes on; a box here would block the host.
    if (visWindow)
        return 1;
    LoadSettings(module, activeModule);
    settingsHeld = true;
    heldRecord = module;
    heldModule = activeModule;
    if (!RegisterVisWindowClass(module->instance)) {
        ShowInitError(*module, "Error registering window class");
        return 1;
    }
    bool contextFailed = false;
    visWindow = CreateVisWindow(*module, activeModule, contextFailed);
    if (!visWindow) {
        // A failed GL set-up was reported already; leave nothing behind
        // so that a later start can try again.
        if (contextFailed)
            UnregisterVisWindowClass(module->instance);
        else
            ShowInitError(*module, "Error creating window");
        return 1;
    }
    SetWindowLongPtrA(visWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(module));
    ShowWindow(visWindow, SW_SHOWNORMAL);
    UpdateWindow(visWindow);
    return 0;
}

int RenderRectangles(VisModule* module)
{
    return RenderOpenModule(*module);
}

int RenderSpheres(VisModule* module)
{
    return RenderOpenModule(*module);
}

int RenderTexture(VisModule* module)
{
    return RenderOpenModule(*module);
}

// Acts for the module Init started, whichever record the call carries.
void QuitModule(VisModule* module)
{
    const VisModule* record = settingsHeld ? heldRecord : module;
    if (settingsHeld)
        SaveSettings(record, heldModule);
    settingsHeld = false;
    if (visWindow)
        CloseVisWindow();
    UnregisterVisWindowClass(record->instance);
}
