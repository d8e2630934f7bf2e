#include "watcher.h"

#include "sensor/sensor.h"

PaintCounts g_paintCounts;

BoxWatcher::BoxWatcher() : thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxWatcher::Seen() {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<SeenBox> seen;
    seen.swap(seen_);
    return seen;
}

namespace {

struct Search {
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM parameter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (process == GetCurrentProcessId() && wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<Search*>(parameter)->boxes.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK DescribeChild(HWND child, LPARAM parameter) {
    SeenBox* box = reinterpret_cast<SeenBox*>(parameter);
    if (!IsWindowVisible(child)) {
        return TRUE;
    }
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(className, L"Button") == 0) {
        ++box->buttons;
        wchar_t text[64] = {};
        GetWindowTextW(child, text, 64);
        box->buttonText = text;
    } else if (_wcsicmp(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
               SendMessageW(child, STM_GETICON, 0, 0) != 0) {
        box->icon = true;
    } else if (_wcsicmp(className, L"Static") == 0) {
        wchar_t text[256] = {};
        GetWindowTextW(child, text, 256);
        if (text[0] != L'\0') {
            box->text = text;
        }
    }
    return TRUE;
}

} // namespace

void BoxWatcher::Run() {
    while (!stop_) {
        Search search;
        EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.boxes) {
            std::lock_guard<std::mutex> hold(lock_);
            bool known = false;
            for (HWND h : handled_) {
                known = known || h == window;
            }
            if (known) {
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
        Sleep(10);
    }
}

namespace {

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

HWND CreateCountingWindow() {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"sensorTestWindow";
        atom = RegisterClassW(&wc);
    }
    g_paintCounts = PaintCounts();
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
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + relative;
}

void ResetSensorBinding() {
    // Libraries the binding loaded stay loaded for a run; a new case is a new run, so they go.
    for (int i = 0; i < 8 && GetModuleHandleW(L"HTCSensorSDK.dll") != nullptr; ++i) {
        FreeLibrary(GetModuleHandleW(L"HTCSensorSDK.dll"));
    }
    if (g_state.aygshellModule != nullptr) {
        FreeLibrary(g_state.aygshellModule);
    }
    g_state = GameState();
}
