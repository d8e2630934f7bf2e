// tick_bench: how long one flight tick takes, with the real sensor library behind ReadTiltSample: its live
// sources (keys, mouse, gamepad polled on every sample, and a phone when CRATERDIP_PHONE names one) or,
// when CRATERDIP_TILT_SCRIPT is set, a tilt script. Then the tick's one window-system request alone:
// InvalidateRect, a round trip to the Wine server. Prints medians and 99th percentiles in microseconds. A
// tick is due every 100 ms.
#include "sensor/sensor.h"
#include "tilt_shared.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace {

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

typedef void (*Step)(HWND window);

void Report(const char* what, Step step, HWND window) {
    const int kRuns = 20000;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> micros;
    for (int i = -200; i < kRuns; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        step(window);
        QueryPerformanceCounter(&end);
        if (i >= 0) {
            micros.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart);
        }
    }
    ValidateRect(window, nullptr);
    std::sort(micros.begin(), micros.end());
    printf("%s: median %.1f us, p99 %.1f us over %d runs\n", what, micros[micros.size() / 2],
           micros[micros.size() * 99 / 100], kRuns);
}

// A round that never lands: the altitude is put back high before each tick, so every tick reads a sample,
// steers, clamps and falls, the longest path short of a touchdown.
void FlyingTick(HWND window) {
    g_state.altitude = 100000;
    g_state.speed = 0.0;
    g_state.fuel = 300;
    FlightTick(window);
}

void InvalidateOnly(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
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

    // The live sources, unless CRATERDIP_TILT_SCRIPT names a script: then only the script.
    const char* script = getenv("CRATERDIP_TILT_SCRIPT");
    const char* phone = getenv("CRATERDIP_PHONE");
    LoadSensorSdk();
    NewRound();
    // A phone is timed once it sends samples (its link is in the shared record).
    HANDLE mapping = nullptr;
    TiltShared* shared = OpenTiltShared(&mapping);
    for (int wait = 0; phone && !script && shared && ReadPhoneLink(shared) != kPhoneConnected && wait < 500;
         ++wait) {
        Sleep(10);
    }
    Report(script  ? "FlightTick, scripted tilt"
           : phone ? "FlightTick, live tilt sources and a phone"
                   : "FlightTick, live tilt sources",
           FlyingTick, window);
    Report("InvalidateRect alone", InvalidateOnly, window);
    CloseSensor();
    CloseTiltShared(shared, mapping);
    return 0;
}
