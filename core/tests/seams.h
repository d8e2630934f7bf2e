// Link seams of the core's tests: the tests supply the tilt read, the feedback and Random, and a real
// (hidden) window whose rectangle, timers and invalidation are the platform's own.
#pragma once

#include "game.h"
#include "testsupport.h"

#include <gtest/gtest.h>

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

// Resets the record to its start-up values, with the scales of a screen of the given size and `window` as
// the main window, and clears the seams.
void ResetGame(HWND window, int screenWidth, int screenHeight);

// The scale factor start-up computes: the size times the double nearest to 1/design, rounded to float.
float ScaleFor(int pixels, int design);

// Cases on a real window of a screen's size (at the left edge, as on the phone); the window, its timer
// and the record end with the case.
class OnScreen : public testing::Test {
  protected:
    void Screen(int width, int height) {
        TearDown();
        window_ = CreateTestWindow(0, 0, width, height);
        ResetGame(window_, width, height);
    }
    void TearDown() override {
        ResetGame(nullptr, 480, 640);
        DestroyWindow(window_);
        window_ = nullptr;
    }
    HWND window_ = nullptr;
};
