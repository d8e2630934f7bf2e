#include "watcher.h"

#include "sensor/sensor.h"

#include <gtest/gtest.h>

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
    HWND window = CreateTestWindow(0, 0, 240, 320, CountingProc);
    UpdateWindow(window);
    g_paintCounts = PaintCounts();
    return window;
}

void ExpectErrorBox(const SeenBox& box, const wchar_t* text, HWND owner) {
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_TRUE(box.topmost);
    EXPECT_FALSE(box.icon);
    EXPECT_EQ(1, box.buttons);
    EXPECT_EQ(owner, box.owner);
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
