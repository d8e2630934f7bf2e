// Window behaviour of CE that the desktop does differently: default placement and bringing a window forward.
#include "coredll.h"
#include "keyboard.h"

#undef CreateWindowExW
#undef SetForegroundWindow

extern "C" HWND CeCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                  LPVOID param) {
    const bool topLevel = parent == nullptr && (style & WS_CHILD) == 0;
    if (topLevel && (style & WS_VISIBLE) && x == static_cast<int>(CW_USEDEFAULT)) {
        // CE: the window covers the work area (the screen below the taskbar) and has no caption. On the
        // desktop a style without WS_POPUP means an overlapped window with a caption, so ask for a popup.
        RECT workArea;
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
            SetRect(&workArea, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        }
        // Wine keeps the work area per process, so the phone shell's setting does not reach this one: leave
        // out the strip of the phone's taskbar window here.
        HWND taskbar = FindWindowW(L"craterDipTaskbar", nullptr);
        RECT bar;
        if (taskbar && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &bar) && bar.top <= workArea.top &&
            bar.bottom > workArea.top) {
            workArea.top = bar.bottom;
        }
        x = workArea.left;
        y = workArea.top;
        if (width == static_cast<int>(CW_USEDEFAULT)) {
            width = workArea.right - workArea.left;
        }
        if (height == static_cast<int>(CW_USEDEFAULT)) {
            height = workArea.bottom - workArea.top;
        }
        style = (style & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) | WS_POPUP;
    }
    if (topLevel) {
        KeepKeyboardWithActivation();
    }
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu, instance,
                           param);
}

namespace {

BOOL CALLBACK RaiseOwnedWindow(HWND window, LPARAM owner) {
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && IsWindowVisible(window)) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return TRUE;
}

} // namespace

extern "C" BOOL CeSetForegroundWindow(HWND window) {
    // CE: the lowest bit asks for the window and the windows it owns (a dialog, a menu) to come forward.
    const ULONG_PTR bits = reinterpret_cast<ULONG_PTR>(window);
    HWND target = reinterpret_cast<HWND>(bits & ~static_cast<ULONG_PTR>(1));
    BOOL brought = SetForegroundWindow(target);
    if (bits & 1) {
        EnumWindows(RaiseOwnedWindow, reinterpret_cast<LPARAM>(target));
    }
    return brought;
}
