#include "ui/dialog.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /* previous */, LPSTR /* command line */,
                   int /* show */) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    DialogBoxParamA(instance, "IDD_TMP", nullptr /* no owner */, dialog_proc, 0);
    return 0;
}
