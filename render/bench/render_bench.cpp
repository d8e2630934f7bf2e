// render_bench: how long DrawScene takes per frame with the game's own pictures, in the game's window on
// 480x640, 240x320 and 800x480 screens.
//
//   render_bench [picture folder]     (default: render_assets beside the program)
//
// Prints the median and the 99th percentile over a few thousand frames that cycle through flying,
// thrusting, landed-with-score and explosion frames, then the same for fixed arithmetic as a measure of the
// machine's scheduling noise. A frame of the game is due every 100 ms.
#include "render.h"

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

namespace {

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void DefaultFolder(wchar_t (&folder)[kInstallDirLength]) {
    GetModuleFileNameW(nullptr, folder, kInstallDirLength);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (slash != nullptr) {
        *slash = L'\0';
    }
    wcsncat(folder, L"\\render_assets", kInstallDirLength - wcslen(folder) - 1);
}

// One screen size: fresh window, buffer and pictures, then timed frames. The window is the one the game
// has on that phone's screen: below the taskbar and above the menu bar, each 26 pixels high when the
// shorter side is under 480, else 52.
void Measure(const wchar_t* folder, int screenWidth, int screenHeight) {
    const int bar = std::min(screenWidth, screenHeight) < 480 ? 26 : 52;
    const int width = screenWidth;
    const int height = screenHeight - 2 * bar;
    HWND window = CreateWindowExW(0, L"renderBench", L"bench", WS_POPUP | WS_VISIBLE, 0, bar, width, height,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    g_state = GameState();
    g_state.mainWindow = window;
    g_state.scaleX = static_cast<float>(screenWidth * (1.0 / 480));
    g_state.scaleY = static_cast<float>(screenHeight * (1.0 / 640));
    wcsncpy(g_state.installDir, folder, kInstallDirLength - 1);
    RECT rect = {};
    GetWindowRect(window, &rect);
    LoadGraphics(rect);
    if (g_state.backgroundBitmap == nullptr || g_state.landerBitmap == nullptr) {
        wprintf(L"warning: pictures missing in %ls; timing the fallback shapes\n", folder);
    }

    g_state.landerX = width / 2;
    g_state.padLeft = width / 3;
    g_state.padRight = width / 3 + width / 5;
    g_state.fuel = 240;

    const int kFrames = 4000;
    std::vector<double> times;
    std::vector<double> byKind[4]; // flying, thrusting, landed, explosion
    const wchar_t* kKinds[4] = {L"flying", L"thrusting", L"landed", L"explosion"};
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = -100; i < kFrames; ++i) {
        // Cycle through the kinds of frame a round shows.
        const int phase = (i + 100) % 40;
        g_state.altitude = 300 - phase * 7;
        g_state.speed = 12.0 + phase * 0.3;
        g_state.thrusting = phase % 3 == 0;
        g_state.crashed = phase >= 30;
        g_state.roundOver = phase >= 25;
        g_state.score = phase >= 25 && phase < 30 ? 1234 : 0;
        if (phase == 30) {
            g_state.explosionFramesLeft = 10;
        }
        InvalidateRect(window, nullptr, FALSE);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        DrawScene(window);
        QueryPerformanceCounter(&end);
        if (i >= 0) {
            const double ms =
                static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
            times.push_back(ms);
            byKind[g_state.crashed ? 3 : g_state.roundOver ? 2 : g_state.thrusting ? 1 : 0].push_back(ms);
        }
    }
    std::sort(times.begin(), times.end());
    wprintf(L"DrawScene %dx%d (client %dx%d): median %.3f ms, p99 %.3f ms, max %.3f ms over %d frames\n",
            screenWidth, screenHeight, width, height, times[times.size() / 2], times[times.size() * 99 / 100],
            times.back(), kFrames);
    for (int k = 0; k < 4; ++k) {
        std::sort(byKind[k].begin(), byKind[k].end());
        wprintf(L"    %-10ls median %.3f ms, p99 %.3f ms\n", kKinds[k], byKind[k][byKind[k].size() / 2],
                byKind[k][byKind[k].size() * 99 / 100]);
    }

    ReleaseSprites();
    HGDIOBJ buffer = GetCurrentObject(g_state.backBuffer, OBJ_BITMAP);
    DeleteDC(g_state.backBuffer);
    DeleteObject(buffer);
    DestroyWindow(window);
}

// The same statistics for a fixed piece of arithmetic: on a busy machine the scheduler alone lifts the
// 99th percentile by milliseconds, and this line shows by how much.
void MeasureMachine() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    volatile double sink = 0;
    for (int i = 0; i < 4000; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int k = 0; k < 100000; ++k) {
            sink = sink + k * 0.5;
        }
        QueryPerformanceCounter(&end);
        times.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    std::sort(times.begin(), times.end());
    wprintf(L"fixed arithmetic (scheduler noise): median %.3f ms, p99 %.3f ms\n", times[times.size() / 2],
            times[times.size() * 99 / 100]);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"renderBench";
    RegisterClassW(&wc);

    wchar_t folder[kInstallDirLength] = {};
    if (argc > 1) {
        wcsncpy(folder, argv[1], kInstallDirLength - 1);
    } else {
        DefaultFolder(folder);
    }
    Measure(folder, 480, 640);
    Measure(folder, 240, 320);
    Measure(folder, 800, 480);
    MeasureMachine();
    return 0;
}
