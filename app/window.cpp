// The main window's procedure, the menu bar's creation, the timers, keep-awake and the shutdown.
#include "app.h"

#include "core/game.h"
#include "render/render.h"
#include "res/resource.h"
#include "sensor/sensor.h"
#include "settings.h"

namespace {

// WM_CREATE: the menu bar from the program's resources. Without it the game runs on, without commands.
void OnCreate(HWND window) {
    SHMENUBARINFO request;
    ZeroMemory(&request, sizeof request);
    request.cbSize = sizeof request;
    request.hwndParent = window;
    request.dwFlags = 0;
    request.nToolBarId = IDR_MENU;
    request.hInstRes = g_state.appInstance;
    request.nBmpId = 0;
    request.cBmpImages = 0;
    request.clrBk = 0;
    g_state.menuBar = SHCreateMenuBar(&request) ? request.hwndMB : nullptr;
}

// WM_DESTROY: the menu bar, the pictures, the difficulty, then the end of the message loop. The timers end
// with the window.
void OnDestroy() {
    DestroyWindow(g_state.menuBar);
    ReleaseSprites();
    SaveLevel();
    PostQuitMessage(0);
}

void OnTimer(HWND window, WPARAM timerId) {
    switch (timerId) {
    case IDT_GAME:
        FlightTick(window);
        break;
    case IDT_KEEPAWAKE:
        KeepAwake();
        break;
    default: // not ours
        break;
    }
}

} // namespace

void KeepAwake() {
    SystemIdleTimerReset();
    // A silent press and release of key 0: user activity without a key click.
    keybd_event(0, 0, KEYEVENTF_SILENT, 0);
    keybd_event(0, 0, KEYEVENTF_SILENT | KEYEVENTF_KEYUP, 0);
    SHIdleTimerReset();
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        DrawScene(window);
        return 0;
    case WM_ERASEBKGND:
        // Never erased: every frame covers the whole window from the back buffer, so erasing would flicker.
        return -1;
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_TIMER:
        OnTimer(window, wParam);
        return 0;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup();
        return 0;
    case WM_SENSORCHANGED:
        OnSensorChanged(window, wParam, lParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
