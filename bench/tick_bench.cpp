// tick_bench: how long one flight tick takes, with the real sensor library behind ReadTiltSample: its live
// sources (keys, mouse, gamepad polled on every sample) and then a tilt script. Prints the median and the
// 99th percentile in microseconds. A tick is due every 100 ms.
#include "sensor/sensor.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace {

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// Ticks a round that never lands: the altitude is put back high before each tick, so every tick reads a
// sample, steers, clamps and falls, the longest path short of a touchdown.
void Measure(const char* source, HWND window) {
    const int kTicks = 20000;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    NewRound();
    for (int i = -200; i < kTicks; ++i) {
        g_state.altitude = 100000;
        g_state.speed = 0.0;
        g_state.fuel = 300;
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        FlightTick(window);
        QueryPerformanceCounter(&end);
        if (i >= 0) {
            micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart);
        }
    }
    ValidateRect(window, nullptr);
    std::sort(micros.begin(), micros.end());
    printf("FlightTick, %s: median %.1f us, p99 %.1f us over %d ticks\n", source, micros[micros.size() / 2],
           micros[micros.size() * 99 / 100], kTicks);
}

} // namespace

int main() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tickBench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"tickBench", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 480, 640, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    g_state.mainWindow = window;

    // The live sources first; the script, when CRATERDIP_TILT_SCRIPT is set, replaces them.
    const char* script = getenv("CRATERDIP_TILT_SCRIPT");
    LoadSensorSdk();
    Measure(script ? "scripted tilt" : "live tilt sources", window);
    CloseSensor();
    return 0;
}
