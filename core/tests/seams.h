// Link seams of the core's tests: the tests supply the tilt read, the feedback and Random, and a real
// (hidden) window whose rectangle, timers and invalidation are the platform's own.
#pragma once

#include "game.h"

#include <deque>
#include <utility>

struct Seams {
    std::deque<std::pair<int, int>> samples; // (tiltX, tiltY) for the next ReadTiltSample calls; 0 0 after
    int samplesRead = 0;
    int landings = 0;
    int crashes = 0;
    std::deque<DWORD> randoms; // next Random() values; 0 after
    int randomCalls = 0;
    int scoreAtFeedback = 0;
    int roundOverAtFeedback = 0;
};
extern Seams g_seams;

// A window of the given client size at the screen's left edge (right edge = width), as on the phone.
HWND CreateGameWindow(int width, int height);

// Resets the record to its start-up values, with the scales of a screen of the given size and `window` as
// the main window, and clears the seams.
void ResetGame(HWND window, int screenWidth, int screenHeight);

// The scale factor start-up computes: the size times the double nearest to 1/design, rounded to float.
float ScaleFor(int pixels, int design);
