// replay_run LEVEL WxH REST_X REST_Y: plays the first round of a run on a window of the phone's size with the
// real sensor library (scripted through CRATERDIP_TILT_SCRIPT) and Random (seeded through CRATERDIP_SEED),
// one flight tick after another, and prints the end-of-round record: outcome score fuel speed ticks.
#include "feedback/feedback.h"
#include "sensor/sensor.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

LRESULT CALLBACK ReplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreatePhoneWindow(int width, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReplayWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"replayWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"replayWindow", L"replay", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0;
    if (argc != 5 || sscanf(argv[2], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        fprintf(stderr, "usage: replay_run LEVEL WxH REST_X REST_Y\n");
        return 2;
    }
    LoadSensorSdk();

    g_state.mainWindow = CreatePhoneWindow(width, height);
    g_state.scaleX = static_cast<float>(width * (1.0 / 480));
    g_state.scaleY = static_cast<float>(height * (1.0 / 640));
    g_state.level = atoi(argv[1]);
    g_state.calibTiltX = atoi(argv[3]);
    g_state.calibTiltY = atoi(argv[4]);

    NewRound();
    int ticks = 0;
    while (!g_state.roundOver && ticks < 100000) {
        FlightTick(g_state.mainWindow);
        ++ticks;
    }
    printf("%s %d %d %.17g %d\n", g_state.crashed ? "crash" : (g_state.roundOver ? "landing" : "flying"),
           g_state.score, g_state.fuel, g_state.speed, ticks);
    fflush(stdout);
    CloseSensor();
    // The crash feedback's vibration thread may still run; it ends with the process.
    ExitProcess(0);
}
