#include "plugin/Lifecycle.h"

#include "frame/FrameStep.h"
#include "plugin/PluginEntry.h"
#include "settings/ConfigDialogs.h"
#include "settings/Modules.h"
#include "settings/SettingsStore.h"
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

void ShowInitError(const VisModule& module, const char* text)
{
    MessageBoxA(module.hostWindow, text, "Error", MB_OK);
}


}  // namespace

void ConfigModule(VisModule* module)
{
    LoadSettings(module, activeModule);
    // The dialogs' trackbars need the common controls' class, which a host
    // may never have registered.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const ConfigDialog& dialog = configDialogs[activeModule];
    DialogBoxParamA(module->instance, MAKEINTRESOURCEA(dialog.templateId), module->hostWindow, dialog.procedure, 0);
    SaveSettings(module, activeModule);
}

int InitModule(VisModule* module)
{
    LoadSettings(module, activeModule);
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
    StepFrame(*module, rectanglesModule);
    return 0;
}

int RenderSpheres(VisModule* module)
{
    StepFrame(*module, spheresModule);
    return 0;
}

int RenderTexture(VisModule* module)
{
    StepFrame(*module, textureModule);
    return 0;
}

void QuitModule(VisModule* module)
{
    SaveSettings(module, activeModule);
    if (visWindow)
        DestroyWindow(visWindow);
    visWindow = nullptr;
    UnregisterVisWindowClass(module->instance);
}
