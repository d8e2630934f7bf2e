#include "watcher.h"

#include "sensor/sensor.h"

#include <algorithm>

PaintCounts g_paintCounts;

namespace {

BOOL CALLBACK CollectBox(HWND window, LPARAM boxes) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK DescribeChild(HWND child, LPARAM parameter) {
    SeenBox* box = reinterpret_cast<SeenBox*>(parameter);
    wchar_t className[16] = {}, text[256] = {};
    GetClassNameW(child, className, 16);
    GetWindowTextW(child, text, 256);
    const bool isStatic = _wcsicmp(className, L"Static") == 0;
    if (!IsWindowVisible(child)) {
    } else if (_wcsicmp(className, L"Button") == 0) {
        ++box->buttons;
    } else if (isStatic && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        box->icon = box->icon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
    } else if (isStatic && text[0] != L'\0') {
        box->text = text;
    }
    return TRUE;
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        ++g_paintCounts.paints;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        ++g_paintCounts.erases;
        return 1;
    case WM_SENSORCHANGED:
        g_paintCounts.sensorChanges.push_back(lParam);
        OnSensorChanged(window, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::vector<SeenBox> BoxWatcher::Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<SeenBox> seen;
    seen.swap(seen_);
    return seen;
}

void BoxWatcher::Run() {
    for (; !stop_; Sleep(10)) {
        std::vector<HWND> boxes;
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
        std::lock_guard<std::mutex> hold(lock_);
        for (HWND window : boxes) {
            if (std::find(handled_.begin(), handled_.end(), window) != handled_.end()) {
                continue;
            }
            handled_.push_back(window);
            SeenBox box = {};
            wchar_t caption[64] = {};
            GetWindowTextW(window, caption, 64);
            box.caption = caption;
            box.topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            box.owner = GetWindow(window, GW_OWNER);
            EnumChildWindows(window, DescribeChild, reinterpret_cast<LPARAM>(&box));
            seen_.push_back(box);
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
}

HWND CreateCountingWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"sensorTestWindow";
    RegisterClassW(&wc); // fails harmlessly after the first time
    HWND window = CreateWindowExW(0, L"sensorTestWindow", L"sensor", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(window);
    g_paintCounts = PaintCounts();
    return window;
}

std::wstring BesideTest(const wchar_t* relative) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + relative;
}

void ResetSensorBinding() {
    for (int i = 0; i < 8 && GetModuleHandleW(L"HTCSensorSDK.dll") != nullptr; ++i) {
        FreeLibrary(GetModuleHandleW(L"HTCSensorSDK.dll"));
    }
    if (g_state.aygshellModule != nullptr) {
        FreeLibrary(g_state.aygshellModule);
    }
    g_state = GameState();
}
