// The phone's taskbar: a dark strip across the top of the screen with the program's title, a tilt level and
// the time, and the work area below it. When the sensor library reads a real phone, a small phone left of the
// level shows its link: filled green while it sends samples, an outline while connecting, struck through in
// red when it is lost, and amber when it answers but gives no tilt (filled for the wrong experiment, with a
// pause sign while it is not measuring), the title then giving way to what the player should do. While the
// vibrator runs, a buzzing phone shows right of the level, for as long as each pulse lasts.
#include "phone.h"
#include "tilt_shared.h"

#include <math.h>
#include <wchar.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 100; // the game's own tick: the level shows every sample the game reads

const COLORREF kBarColour = RGB(24, 26, 32);
const COLORREF kTextColour = RGB(230, 230, 230);
const COLORREF kLevelRing = RGB(140, 150, 160);
const COLORREF kBubbleIdle = RGB(120, 220, 120);
const COLORREF kBubbleThrust = RGB(255, 150, 40);
const COLORREF kPhoneLostColour = RGB(230, 70, 60);
const COLORREF kPhoneIdleColour = RGB(245, 180, 40);
const COLORREF kVibratorColour = RGB(255, 210, 60);

// A reading this far past rest puts the bubble on the ring: sideways the top band of steps begins past 500,
// and the engine gives full thrust from 180 below rest.
const double kFullTiltX = 600.0;
const double kFullTiltY = 200.0;
const int kThrustFrom = -30; // the first thrust band, relative to a rest of 0

struct Taskbar {
    HANDLE mapping = nullptr;
    TiltShared* tilt = nullptr;
    LONG shownSequence = -1;
    wchar_t shownClock[16] = L"";
    int16_t tiltX = 0;
    int16_t tiltY = 0;
    LONG phoneLink = kPhoneOff;
    bool vibrating = false;
};
Taskbar g_taskbar;

// The shared record is created by whichever process comes first; the shell is usually first.
void AttachTilt() {
    if (!g_taskbar.tilt) {
        g_taskbar.tilt = OpenTiltShared(&g_taskbar.mapping);
    }
}

// The phone's link, an upright rounded box as tall as the level, ending at `right`.
void DrawPhoneMark(HDC dc, int right, int cy, int radius) {
    const LONG link = g_taskbar.phoneLink;
    if (link == kPhoneOff) {
        return;
    }
    const bool idle = link == kPhoneWrongExperiment || link == kPhoneNotMeasuring;
    const COLORREF colour = link == kPhoneConnected ? kBubbleIdle
                            : link == kPhoneLost    ? kPhoneLostColour
                            : idle                  ? kPhoneIdleColour
                                                    : kLevelRing;
    const bool filled = link == kPhoneConnected || link == kPhoneWrongExperiment;
    HPEN pen = CreatePen(PS_SOLID, radius / 8 + 1, colour);
    HBRUSH fill = CreateSolidBrush(colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, filled ? fill : GetStockObject(NULL_BRUSH));
    const int left = right - radius, top = cy - radius, bottom = cy + radius + 1;
    RoundRect(dc, left, top, right, bottom, radius / 2, radius / 2);
    if (link == kPhoneLost) {
        MoveToEx(dc, left - radius / 4, bottom, nullptr);
        LineTo(dc, right + radius / 4, top);
    } else if (link == kPhoneNotMeasuring) { // a pause sign: two bars
        const int bars[] = {left + radius / 3, right - radius / 3 - 1};
        for (int x : bars) {
            MoveToEx(dc, x, cy - radius / 3, nullptr);
            LineTo(dc, x, cy + radius / 3 + 1);
        }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
    DeleteObject(pen);
}

// The vibrator running: a phone between two zigzags, about as wide as the level, starting at `left` (the
// phone's link mirrored on the level's other side).
void DrawVibratorMark(HDC dc, int left, int cy, int radius) {
    if (!g_taskbar.vibrating) {
        return;
    }
    HPEN pen = CreatePen(PS_SOLID, radius / 8 + 1, kVibratorColour);
    HBRUSH fill = CreateSolidBrush(kVibratorColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    const int half = radius / 3, top = cy - radius * 3 / 4, bottom = cy + radius * 3 / 4;
    const int cx = left + half + radius / 2 + 1;
    RoundRect(dc, cx - half, top, cx + half + 1, bottom + 1, half, half);
    for (int side = -1; side <= 1; side += 2) {
        const int inner = cx + side * (half + radius / 4), outer = inner + side * (radius / 4 + 1);
        POINT zigzag[5];
        for (int i = 0; i < 5; ++i) {
            zigzag[i] = {i % 2 ? outer : inner, top + (bottom - top) * i / 4};
        }
        Polyline(dc, zigzag, 5);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
    DeleteObject(pen);
}

// What the player should do about a phone that answers but gives no tilt; null for the other links.
const wchar_t* PhoneAdvice(LONG link) {
    return link == kPhoneWrongExperiment ? L"open Acceleration with g"
           : link == kPhoneNotMeasuring  ? L"phyphox: press play"
                                         : nullptr;
}

// The level's ring on a bar: right of the middle, clear of the title.
int LevelRadius(const RECT& bar) {
    return (bar.bottom - bar.top) / 2 - (bar.bottom - bar.top) / 8;
}
int LevelCentre(const RECT& bar) {
    return (bar.right - bar.left) / 2 + (bar.bottom - bar.top);
}

// The bar's text in Tahoma of the given pixel height.
HFONT BarFont(int pixels) {
    return CreateFontW(-pixels, 0, 0, 0, FW_SEMIBOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"Tahoma");
}

void DrawLevel(HDC dc, const RECT& bar) {
    const int height = bar.bottom - bar.top;
    const int radius = LevelRadius(bar);
    const int cx = LevelCentre(bar);
    const int cy = height / 2;

    HPEN ring = CreatePen(PS_SOLID, 1, kLevelRing);
    HGDIOBJ oldPen = SelectObject(dc, ring);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1);
    MoveToEx(dc, cx - radius, cy, nullptr);
    LineTo(dc, cx + radius + 1, cy);
    MoveToEx(dc, cx, cy - radius, nullptr);
    LineTo(dc, cx, cy + radius + 1);

    const int bubble = radius / 3 > 2 ? radius / 3 : 2;
    POINT offset = LevelBubbleOffset(g_taskbar.tiltX, g_taskbar.tiltY, radius - bubble);
    HBRUSH fill = CreateSolidBrush(g_taskbar.tiltY <= kThrustFrom ? kBubbleThrust : kBubbleIdle);
    SelectObject(dc, fill);
    SelectObject(dc, GetStockObject(NULL_PEN));
    const int bx = cx + offset.x;
    const int by = cy + offset.y;
    Ellipse(dc, bx - bubble, by - bubble, bx + bubble + 1, by + bubble + 1);

    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(fill);
    DeleteObject(ring);
    DrawPhoneMark(dc, cx - radius - radius / 2, cy, radius);
    DrawVibratorMark(dc, cx + radius + radius / 2, cy, radius);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    RECT bar;
    GetClientRect(window, &bar);

    // Composed off-screen so that the 10-per-second refresh of the level never flickers.
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, bar.right, bar.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

    HBRUSH background = CreateSolidBrush(kBarColour);
    FillRect(dc, &bar, background);
    DeleteObject(background);

    const int height = bar.bottom - bar.top;
    HFONT font = BarFont(height * 9 / 16);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColour);
    RECT text = bar;
    text.left += height / 4;
    text.right -= height / 4;
    const wchar_t* reason = PhoneAdvice(g_taskbar.phoneLink);
    if (reason == nullptr) {
        DrawTextW(dc, L"craterDip", -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    DrawTextW(dc, g_taskbar.shownClock, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    if (reason != nullptr) { // in a smaller type, ending before the phone mark
        HFONT small = BarFont(height * 5 / 16);
        oldFont = SelectObject(dc, small);
        SetTextColor(dc, kPhoneIdleColour);
        const int radius = LevelRadius(bar);
        text.right = LevelCentre(bar) - radius * 3 - radius / 2 - height / 4;
        RECT lines = text; // on two lines where one is too short, centred on the bar
        DrawTextW(dc, reason, -1, &lines, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        text.top = (height - (lines.bottom - lines.top)) / 2;
        DrawTextW(dc, reason, -1, &text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, oldFont);
        DeleteObject(small);
    }

    DrawLevel(dc, bar);

    BitBlt(screen, 0, 0, bar.right, bar.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window, &paint);
}

// Repaints only when the clock or the tilt changed.
void Refresh(HWND window) {
    AttachTilt();
    int16_t x, y;
    LONG sequence;
    bool changed = false;
    if (g_taskbar.tilt && ReadTiltShared(g_taskbar.tilt, &x, &y, &sequence) &&
        sequence != g_taskbar.shownSequence) {
        g_taskbar.shownSequence = sequence;
        changed = x != g_taskbar.tiltX || y != g_taskbar.tiltY;
        g_taskbar.tiltX = x;
        g_taskbar.tiltY = y;
    }
    if (g_taskbar.tilt && ReadPhoneLink(g_taskbar.tilt) != g_taskbar.phoneLink) {
        g_taskbar.phoneLink = ReadPhoneLink(g_taskbar.tilt);
        changed = true;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t clock[16];
    FormatClock(now, clock, 16);
    if (wcscmp(clock, g_taskbar.shownClock) != 0) {
        wcscpy(g_taskbar.shownClock, clock);
        changed = true;
    }
    if (changed) {
        InvalidateRect(window, nullptr, FALSE);
    }
}

// The vibrator shows at once, not at the next refresh: a pulse is shorter than a refresh.
void ShowVibrator(HWND window, bool on) {
    g_taskbar.vibrating = on;
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    PhoneTrace("taskbar vibrator %s", on ? "shown" : "hidden");
}

LRESULT CALLBACK TaskbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT vibratorMessage = RegisterWindowMessageW(PHONE_VIBRATOR_MESSAGE);
    if (message == vibratorMessage) {
        ShowVibrator(window, wParam != 0);
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        Refresh(window);
        SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
        return 0;
    case WM_TIMER:
        Refresh(window);
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DESTROY:
        CloseTiltShared(g_taskbar.tilt, g_taskbar.mapping);
        g_taskbar.tilt = nullptr;
        g_taskbar.mapping = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int TaskbarHeight(int screenWidth, int screenHeight) {
    const int shorter = screenWidth < screenHeight ? screenWidth : screenHeight;
    return shorter < 480 ? 26 : 52;
}

POINT LevelBubbleOffset(int tiltX, int tiltY, int radius) {
    double x = tiltX / kFullTiltX;
    double y = tiltY / kFullTiltY;
    const double length = sqrt(x * x + y * y);
    if (length > 1.0) {
        x /= length;
        y /= length;
    }
    // Engine thrust is tiltY below rest, so a negative tiltY lifts the bubble.
    POINT offset = {static_cast<LONG>(lround(x * radius)), static_cast<LONG>(lround(y * radius))};
    return offset;
}

void FormatClock(const SYSTEMTIME& time, wchar_t* text, size_t size) {
    swprintf(text, size, L"%u:%02u", static_cast<unsigned>(time.wHour), static_cast<unsigned>(time.wMinute));
}

HWND CreateTaskbar(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TaskbarProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = PHONE_TASKBAR_CLASS;
    if (!RegisterClassW(&windowClass)) {
        return nullptr;
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int barHeight = TaskbarHeight(width, height);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, PHONE_TASKBAR_CLASS,
                                  L"craterDip", WS_POPUP | WS_DISABLED, 0, 0, width, barHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) {
        return nullptr;
    }
    // Disabled and shown without activation, so it is never the active window: when the active window goes,
    // Wine activates the next visible, enabled window, even one marked WS_EX_NOACTIVATE, and a taskbar that
    // once had the focus could keep the X keyboard focus after the game's window is activated (the player's
    // keys would then reach the taskbar). It takes no input of its own.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    // Programs of this process see the work area directly; the game, in a process of its own, finds the
    // taskbar window (Wine keeps the work area per process).
    RECT workArea = {0, barHeight, width, height};
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &workArea, 0);
    return window;
}
