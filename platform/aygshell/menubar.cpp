// The phone's soft-key bar: a dark strip across the bottom of the screen with two text buttons, built
// from the program's menu-bar definition (RCDATA), its button captions (strings) and its menu template.
// The left button sends its command to the program's window; the right one opens its pop-up of the menu,
// owned by that window, so the window prepares the pop-up (WM_INITMENUPOPUP) and receives the chosen
// command. F1 and F2 are the left and right soft keys.
#include "aygshell.h"

#include <mutex>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const wchar_t kBarClassName[] = L"craterDipMenuBar";

// Posted to the bar by the key hook: wParam is the index of the soft key's button.
const UINT WM_SOFTKEY = WM_APP + 1;

// Heights of the bar: screens whose shorter side is under 480 pixels, and VGA-class screens.
const int kBarHeight = 26;
const int kVgaBarHeight = 52;

const int kMaxButtons = 2; // a left and a right soft key
const int kWordsPerButton = 7;
const int kCaptionLength = 64;

const COLORREF kBarColour = RGB(18, 20, 26);
const COLORREF kEdgeColour = RGB(78, 84, 98);
const COLORREF kPressedColour = RGB(58, 64, 80);
const COLORREF kTextColour = RGB(255, 255, 255);
const COLORREF kDisabledTextColour = RGB(120, 120, 120);

struct Button {
    UINT command = 0;
    bool enabled = false;
    UINT popupIndex = NOMENU; // its pop-up in the menu template, NOMENU for a plain command
    wchar_t caption[kCaptionLength] = {};
};

struct Bar {
    HWND window = nullptr;
    HWND owner = nullptr; // the program's window: receives the commands and owns the pop-ups
    DWORD thread = 0;
    HMENU menu = nullptr; // loaded once; SHCMBM_GETSUBMENU hands out its pop-ups
    Button buttons[kMaxButtons];
    int buttonCount = 0;
    int pressed = -1; // button drawn pressed while the mouse holds it or its pop-up is open
    bool tracking = false;
    HFONT font = nullptr;
};

// The soft keys reach the program's window, whose procedure passes them on to the default handling, so
// every thread with a bar gets a keyboard hook that hands them to its newest bar.
struct ThreadHook {
    DWORD thread;
    HHOOK hook;
};
std::mutex g_lock;
std::vector<Bar*> g_bars;
std::vector<ThreadHook> g_hooks;

HINSTANCE ThisModule() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

Bar* NewestBarOfThread(DWORD thread) {
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto it = g_bars.rbegin(); it != g_bars.rend(); ++it) {
        if ((*it)->thread == thread) {
            return *it;
        }
    }
    return nullptr;
}

LRESULT CALLBACK SoftKeyHook(int code, WPARAM key, LPARAM flags) {
    if (code == HC_ACTION && (key == VK_F1 || key == VK_F2)) {
        Bar* bar = NewestBarOfThread(GetCurrentThreadId());
        // While a dialog of the program is up its window is disabled, and the soft keys are not its.
        if (bar != nullptr && IsWindowEnabled(bar->owner)) {
            const bool down = (flags & 0x80000000) == 0;
            const bool repeat = (flags & 0x40000000) != 0;
            const int index = key == VK_F1 ? 0 : 1;
            if (down && !repeat && index < bar->buttonCount) {
                PhoneTrace("soft key %d%s", index + 1, bar->tracking ? ", closing the pop-up" : "");
                if (bar->tracking) {
                    EndMenu(); // a second press of the key closes the open pop-up
                } else {
                    PostMessageW(bar->window, WM_SOFTKEY, index, 0);
                }
            }
            return 1; // the soft keys are the bar's, not the window's
        }
    }
    return CallNextHookEx(nullptr, code, key, flags);
}

void AddBar(Bar* bar) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_bars.push_back(bar);
    for (const ThreadHook& hook : g_hooks) {
        if (hook.thread == bar->thread) {
            return;
        }
    }
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD, SoftKeyHook, nullptr, bar->thread);
    if (hook != nullptr) {
        g_hooks.push_back({bar->thread, hook});
    }
}

void RemoveBar(Bar* bar) {
    std::lock_guard<std::mutex> hold(g_lock);
    bool threadHasOthers = false;
    for (auto it = g_bars.begin(); it != g_bars.end();) {
        if (*it == bar) {
            it = g_bars.erase(it);
        } else {
            threadHasOthers = threadHasOthers || (*it)->thread == bar->thread;
            ++it;
        }
    }
    if (threadHasOthers) {
        return;
    }
    for (auto it = g_hooks.begin(); it != g_hooks.end(); ++it) {
        if (it->thread == bar->thread) {
            UnhookWindowsHookEx(it->hook);
            g_hooks.erase(it);
            return;
        }
    }
}

// The button under a point of the bar's client area: the left and right halves.
int ButtonAt(const Bar& bar, int x) {
    RECT client;
    GetClientRect(bar.window, &client);
    const int index = bar.buttonCount == 1 || x < client.right / 2 ? 0 : 1;
    return index < bar.buttonCount ? index : -1;
}

void Press(Bar& bar, int index) {
    if (index < 0 || index >= bar.buttonCount || !bar.buttons[index].enabled || bar.tracking) {
        return;
    }
    const Button& button = bar.buttons[index];
    if (button.popupIndex == NOMENU) {
        SendMessageW(bar.owner, WM_COMMAND, MAKEWPARAM(button.command, 0), 0);
        return;
    }
    HMENU popup = GetSubMenu(bar.menu, static_cast<int>(button.popupIndex));
    if (popup == nullptr) {
        return;
    }
    RECT where;
    GetWindowRect(bar.window, &where);
    bar.pressed = index;
    bar.tracking = true;
    InvalidateRect(bar.window, nullptr, FALSE);
    UpdateWindow(bar.window);
    // The owner must be in front for the pop-up to close when the player clicks elsewhere; the pop-up's
    // command arrives as the owner's WM_COMMAND.
    SetForegroundWindow(bar.owner);
    const UINT align = index == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(popup, align | TPM_BOTTOMALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                       index == 0 ? where.left : where.right, where.top, 0, bar.owner, nullptr));
    PhoneTrace("pop-up closed, command %u", chosen);
    // Posted as the pop-up itself would post it; 0 is no choice.
    if (chosen != 0) {
        PostMessageW(bar.owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    }
    PostMessageW(bar.owner, WM_NULL, 0, 0);
    if (IsWindow(bar.window)) { // a command chosen from the pop-up may have ended the program's window
        bar.tracking = false;
        bar.pressed = -1;
        InvalidateRect(bar.window, nullptr, FALSE);
    }
}

void Paint(Bar& bar) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar.window, &paint);
    RECT client;
    GetClientRect(bar.window, &client);

    HBRUSH background = CreateSolidBrush(kBarColour);
    FillRect(dc, &client, background);
    DeleteObject(background);
    if (bar.pressed >= 0 && bar.buttonCount > 0) {
        RECT half = client;
        if (bar.buttonCount == 2) {
            (bar.pressed == 0 ? half.right : half.left) = client.right / 2;
        }
        HBRUSH pressed = CreateSolidBrush(kPressedColour);
        FillRect(dc, &half, pressed);
        DeleteObject(pressed);
    }
    RECT edge = {client.left, client.top, client.right, client.top + 1};
    HBRUSH edgeBrush = CreateSolidBrush(kEdgeColour);
    FillRect(dc, &edge, edgeBrush);
    DeleteObject(edgeBrush);

    HGDIOBJ oldFont = SelectObject(dc, bar.font);
    SetBkMode(dc, TRANSPARENT);
    const int margin = (client.bottom - client.top) / 2;
    for (int i = 0; i < bar.buttonCount; ++i) {
        RECT text = {client.left + margin, client.top, client.right - margin, client.bottom};
        SetTextColor(dc, bar.buttons[i].enabled ? kTextColour : kDisabledTextColour);
        const UINT align = i == 0 ? DT_LEFT : DT_RIGHT;
        DrawTextW(dc, bar.buttons[i].caption, -1, &text, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(bar.window, &paint);
}

LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        Bar* created = static_cast<Bar*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    Bar* bar = reinterpret_cast<Bar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (bar == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case SHCMBM_GETSUBMENU:
        // lParam names a button by its command; the answer is the pop-up that button opens.
        for (int i = 0; i < bar->buttonCount; ++i) {
            if (bar->buttons[i].command == static_cast<UINT>(lParam) &&
                bar->buttons[i].popupIndex != NOMENU) {
                return reinterpret_cast<LRESULT>(
                    GetSubMenu(bar->menu, static_cast<int>(bar->buttons[i].popupIndex)));
            }
        }
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE; // the program's window keeps the focus
    case WM_LBUTTONDOWN:
        bar->pressed = ButtonAt(*bar, static_cast<short>(LOWORD(lParam)));
        SetCapture(window);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        const int released = ButtonAt(*bar, static_cast<short>(LOWORD(lParam)));
        const int pressed = bar->pressed;
        ReleaseCapture();
        bar->pressed = -1;
        InvalidateRect(window, nullptr, FALSE);
        if (pressed >= 0 && pressed == released) {
            Press(*bar, pressed);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (!bar->tracking) {
            bar->pressed = -1;
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_SOFTKEY:
        Press(*bar, static_cast<int>(wParam));
        return 0;
    case WM_PAINT:
        Paint(*bar);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_NCDESTROY:
        RemoveBar(bar);
        DestroyMenu(bar->menu);
        DeleteObject(bar->font);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete bar;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterBarClass() {
    WNDCLASSW existing;
    if (GetClassInfoW(ThisModule(), kBarClassName, &existing)) {
        return true;
    }
    WNDCLASSW barClass = {};
    barClass.lpfnWndProc = BarProc;
    barClass.hInstance = ThisModule();
    barClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    barClass.lpszClassName = kBarClassName;
    return RegisterClassW(&barClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Reads the menu-bar definition: the menu template's id, the number of buttons, seven words per button.
bool ReadDefinition(HINSTANCE resources, UINT id, Bar& bar, UINT& menuId) {
    HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (found == nullptr) {
        return false;
    }
    const DWORD size = SizeofResource(resources, found);
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(resources, found)));
    if (words == nullptr || size < 2 * sizeof(WORD)) {
        return false;
    }
    menuId = words[0];
    const DWORD count = words[1];
    if (size < (2 + count * kWordsPerButton) * sizeof(WORD)) {
        return false; // fewer buttons than it claims
    }
    bar.buttonCount = count < static_cast<DWORD>(kMaxButtons) ? static_cast<int>(count) : kMaxButtons;
    for (int i = 0; i < bar.buttonCount; ++i) {
        const WORD* fields = words + 2 + i * kWordsPerButton;
        Button& button = bar.buttons[i];
        // fields: image, command, state, style, caption string, reserved, pop-up index
        button.command = fields[1];
        button.enabled = (fields[2] & 4) != 0; // TBSTATE_ENABLED
        button.popupIndex = fields[6];
        LoadStringW(resources, fields[4], button.caption, kCaptionLength);
    }
    return true;
}

} // namespace

extern "C" BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info) {
    if (info == nullptr || info->cbSize != sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hwndMB = nullptr;
    Bar* bar = new Bar;
    bar->owner = info->hwndParent;
    bar->thread = GetWindowThreadProcessId(info->hwndParent, nullptr);
    UINT menuId = 0;
    if (!ReadDefinition(info->hInstRes, info->nToolBarId, *bar, menuId) ||
        (bar->menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(menuId))) == nullptr || !RegisterBarClass()) {
        DestroyMenu(bar->menu);
        delete bar;
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }

    // Across the bottom of the work area (the screen below the phone's taskbar).
    RECT area;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int shorterSide = screenWidth < screenHeight ? screenWidth : screenHeight;
    const int height = shorterSide < 480 ? kBarHeight : kVgaBarHeight;
    bar->font =
        CreateFontW(-(height / 2), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");

    // Not owned by the program's window: the window destroys it itself when it goes. Topmost, so the
    // program's full-screen window never covers it; never activated, so the program keeps the keyboard.
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kBarClassName, L"",
                                  WS_POPUP, area.left, area.bottom - height, area.right - area.left, height,
                                  nullptr, nullptr, ThisModule(), bar);
    if (window == nullptr) {
        if (bar->window == nullptr) { // otherwise WM_NCDESTROY has already released it
            DestroyMenu(bar->menu);
            DeleteObject(bar->font);
            delete bar;
        }
        return FALSE;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE); // WS_VISIBLE at creation would activate it under Wine
    AddBar(bar);
    info->hwndMB = window;
    return TRUE;
}
