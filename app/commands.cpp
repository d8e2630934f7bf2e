// The menu bar's commands, the difficulty's radio mark in the "Options" pop-up, and the About dialog.
#include "app.h"

#include "core/arithmetic.h"
#include "res/resource.h"
#include "sensor/sensor.h"

namespace {

// Runs the About dialog from its template and returns when it has been closed.
void ShowAboutDialog() {
    HRSRC found = FindResourceW(g_state.appInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
    HGLOBAL loaded = LoadResource(g_state.appInstance, found);
    DialogBoxIndirectParamW(g_state.appInstance, static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)),
                            g_state.mainWindow, AboutDialogProc, 0);
}

} // namespace

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    // The high word (the notification code) does not matter.
    switch (LOWORD(wParam)) {
    case IDM_OK:
    case IDM_EXIT:
        // Handled before SendMessageW returns: the default handling destroys the window.
        SendMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case IDM_RESTART:
        NewRound();
        return 0;
    case IDM_ABOUT:
        ShowAboutDialog();
        return 1;
    case IDM_CALIBRATE:
        CalibrateTilt();
        return 0;
    // A difficulty only changes level: the round in progress is judged by it at touchdown, its fuel and
    // pad apply from the next round, and it is saved when the window is destroyed.
    case IDM_EASY:
        g_state.level = Easy;
        return 0;
    case IDM_MEDIUM:
        g_state.level = Medium;
        return 0;
    case IDM_HARD:
        g_state.level = Hard;
        return 0;
    case IDM_EXPERT:
        g_state.level = Expert;
        return 0;
    default: // IDM_OPTIONS (the button that opens the pop-up) and anything else
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

void OnInitMenuPopup() {
    HMENU popup =
        reinterpret_cast<HMENU>(SendMessageW(g_state.menuBar, SHCMBM_GETSUBMENU, IDM_OPTIONS, IDM_OPTIONS));
    // A stored level outside 0..3 names an id outside the group, so no difficulty is marked; the sum wraps
    // like the phone's 32-bit arithmetic instead of overflowing for a level near INT_MAX.
    const int marked = WrapAdd(IDM_EASY, g_state.level);
    CheckMenuRadioItem(popup, IDM_EASY, IDM_EXPERT, static_cast<UINT>(marked), MF_BYCOMMAND);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE; // the platform focuses the first tab stop, the OK button
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE; // IDCANCEL included: the dialog stays open
    default:
        return FALSE;
    }
}
