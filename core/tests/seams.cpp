#include "seams.h"

#include "feedback/feedback.h"
#include "sensor/sensor.h"

#include <string.h>

Seams g_seams;

void ReadTiltSample(TiltSample* sample) {
    memset(sample, 0, sizeof *sample);
    ++g_seams.samplesRead;
    if (!g_seams.samples.empty()) {
        sample->tiltX = static_cast<int16_t>(g_seams.samples.front().first);
        sample->tiltY = static_cast<int16_t>(g_seams.samples.front().second);
        g_seams.samples.pop_front();
    }
}

void PlayLandingFeedback() {
    ++g_seams.landings;
    g_seams.scoreAtFeedback = g_state.score;
    g_seams.roundOverAtFeedback = g_state.roundOver;
}

void PlayCrashFeedback() {
    ++g_seams.crashes;
    g_seams.scoreAtFeedback = g_state.score;
    g_seams.roundOverAtFeedback = g_state.roundOver;
}

extern "C" DWORD Random(void) {
    ++g_seams.randomCalls;
    if (g_seams.randoms.empty()) {
        return 0;
    }
    DWORD value = g_seams.randoms.front();
    g_seams.randoms.pop_front();
    return value;
}

float ScaleFor(int pixels, int design) {
    return static_cast<float>(static_cast<double>(pixels) * (1.0 / design));
}

void ResetGame(HWND window, int screenWidth, int screenHeight) {
    if (g_state.gameTimer != 0 && g_state.mainWindow != nullptr) {
        KillTimer(g_state.mainWindow, g_state.gameTimer);
    }
    g_state = GameState();
    g_state.mainWindow = window;
    g_state.scaleX = ScaleFor(screenWidth, 480);
    g_state.scaleY = ScaleFor(screenHeight, 640);
    g_seams = Seams();
}
