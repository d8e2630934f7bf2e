// replay_run LEVEL WxH REST_X REST_Y: plays the first round of a run on a window of the phone's size with the
// real sensor library (scripted through CRATERDIP_TILT_SCRIPT) and Random (seeded through CRATERDIP_SEED),
// one flight tick after another, and prints the end-of-round record: outcome score fuel speed ticks.
#include "sensor/sensor.h"
#include "testsupport.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    int width = 0, height = 0;
    if (argc != 5 || sscanf(argv[2], "%dx%d", &width, &height) != 2) {
        fprintf(stderr, "usage: replay_run LEVEL WxH REST_X REST_Y\n");
        return 2;
    }
    LoadSensorSdk();
    g_state.mainWindow = CreateTestWindow(0, 0, width, height);
    g_state.scaleX = static_cast<float>(width * (1.0 / 480));
    g_state.scaleY = static_cast<float>(height * (1.0 / 640));
    g_state.level = atoi(argv[1]);
    g_state.calibTiltX = atoi(argv[3]);
    g_state.calibTiltY = atoi(argv[4]);
    NewRound();
    int ticks = 0;
    for (; !g_state.roundOver && ticks < 100000; ++ticks) {
        FlightTick(g_state.mainWindow);
    }
    printf("%s %d %d %.17g %d\n", g_state.crashed ? "crash" : (g_state.roundOver ? "landing" : "flying"),
           g_state.score, g_state.fuel, g_state.speed, ticks);
    fflush(stdout);
    CloseSensor();
    ExitProcess(0); // without waiting for a crash's vibration thread
}
