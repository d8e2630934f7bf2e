// Start-up: the single-instance check, the window class, the main window fitted above the menu bar, the
// scale factors, and the first round.
#include "app.h"

#include "render/render.h"
#include "res/resource.h"
#include "sensor/sensor.h"
#include "settings.h"

const wchar_t kWindowClassName[] = L"craterDipClass";
const wchar_t kWindowTitle[] = L"craterDip";

namespace {

// The layout's design screen; the scale factors are the real screen over these.
const int kDesignWidth = 480;
const int kDesignHeight = 640;

// Lowers the window's bottom edge by the menu bar's height, so the bar does not cover the game. Returns the
// window's rectangle in screen coordinates, fitted or (without a menu bar) as it was.
RECT FitAboveMenuBar(HWND window) {
    RECT fitted;
    GetWindowRect(window, &fitted);
    if (g_state.menuBar != nullptr) {
        RECT bar;
        GetWindowRect(g_state.menuBar, &bar);
        fitted.bottom -= bar.bottom - bar.top;
        MoveWindow(window, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                   FALSE);
    }
    return fitted;
}

} // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className) {
    WNDCLASSW windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    return static_cast<ATOM>(RegisterClassW(&windowClass) & 0xFFFF);
}

void SetScaleFactors(int screenWidth, int screenHeight) {
    // A multiplication by the reciprocal, as the layout's figures were worked out with.
    g_state.scaleX = static_cast<float>(static_cast<double>(screenWidth) * (1.0 / kDesignWidth));
    g_state.scaleY = static_cast<float>(static_cast<double>(screenHeight) * (1.0 / kDesignHeight));
}

bool InitInstance(HINSTANCE instance, int showCommand) {
    g_state.appInstance = instance;
    SHInitExtraControls();

    // A running copy comes to the front, with the windows it owns (the low bit asks for those too).
    HWND running = FindWindowW(kWindowClassName, kWindowTitle);
    if (running != nullptr) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(running) | 1));
        return false;
    }

    if (RegisterMainWindowClass(instance, kWindowClassName) == 0) {
        return false;
    }
    // WM_CREATE creates the menu bar inside this call.
    HWND window = CreateWindowExW(0, kWindowClassName, kWindowTitle, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    g_state.mainWindow = window;

    StartSensorNotifications(window);

    const RECT fitted = FitAboveMenuBar(window);

    LoadInstallDir();

    // The program is marked high-resolution aware, so the metrics are the screen's physical pixels.
    SetScaleFactors(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));

    // The back buffer spans the fitted rectangle's right and bottom edges (screen coordinates).
    LoadGraphics(fitted);
    LoadSettings();
    NewRound();

    // NewRound has just started the game timer; setting it again with the same id and period keeps one.
    g_state.gameTimer = SetTimer(window, IDT_GAME, kGameTimerPeriodMs, nullptr);
    SetTimer(window, IDT_KEEPAWAKE, kKeepAwakePeriodMs, nullptr);

    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}
