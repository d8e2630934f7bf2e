// Round setup: pads, fuel and altitude worked by hand for screens where the precision rules show, the one
// random draw per round on every difficulty, and the game timer's start rule.
#include "seams.h"

#include <gtest/gtest.h>

namespace {

struct PadCase {
    int screenWidth;
    int level;
    DWORD draw; // Random() value; the round uses it modulo 10
    int padLeft, padRight, fuel;
};

// Worked from the rules: Easy's right end is a single-precision product, Hard's offset 40 is not scaled,
// Expert is not scaled at all.
const PadCase kPads[] = {
    {480, Easy, 7, 160, 320, 300},
    {480, Medium, 10, 100, 200, 240},
    {480, Medium, 9, 316, 416, 240},
    {480, Hard, 0, 40, 115, 200},
    {480, Hard, 4294967289u, 400, 475, 200}, // 2^32-7: r = 9
    {480, Expert, 0, 40, 105, 170},
    {480, Expert, 19, 400, 465, 170},
    {240, Easy, 3, 80, 160, 300},
    {240, Medium, 0, 50, 100, 240},
    {240, Medium, 9, 158, 208, 240},
    {240, Hard, 9, 220, 257, 200},
    {240, Expert, 9, 400, 465, 170},
    {383, Easy, 0, 127, 255, 300},
    {383, Medium, 9, 252, 331, 240},
    {383, Hard, 9, 327, 386, 200},
    {432, Easy, 0, 143, 288, 300},
    {432, Medium, 0, 89, 178, 240},
    {432, Hard, 0, 40, 107, 200},
    {432, Hard, 9, 363, 430, 200},
    {800, Easy, 0, 266, 533, 300},
    {800, Medium, 0, 166, 332, 240},
    {800, Medium, 9, 526, 692, 240},
    {800, Hard, 9, 639, 763, 200},
    {800, Expert, 9, 400, 465, 170},
    {480, 7, 5, 240, 305, 170},
    {480, -1, 5, 240, 305, 170},
    {480, INT32_MAX, 0, 40, 105, 170},
    {480, INT32_MIN, 9, 400, 465, 170},
};

TEST_F(OnScreen, NewRoundPadsFuelAndStartValues) {
    for (const PadCase& c : kPads) {
        SCOPED_TRACE(testing::Message()
                     << "screen " << c.screenWidth << " level " << c.level << " draw " << c.draw);
        Screen(c.screenWidth, 640);
        g_state.level = c.level;
        g_state.score = 99;
        g_state.roundOver = g_state.crashed = g_state.thrusting = 1;
        g_seams.randoms = {c.draw};

        NewRound();

        EXPECT_EQ(c.padLeft, g_state.padLeft);
        EXPECT_EQ(c.padRight, g_state.padRight);
        EXPECT_EQ(c.fuel, g_state.fuel);
        EXPECT_EQ(c.screenWidth / 2, g_state.landerX);
        EXPECT_EQ(450, g_state.altitude);
        EXPECT_EQ(12.0, g_state.speed);
        EXPECT_EQ(10, g_state.explosionFramesLeft);
        EXPECT_EQ(0, g_state.score);
        EXPECT_EQ(0, g_state.roundOver);
        EXPECT_EQ(0, g_state.crashed);
        EXPECT_EQ(1, g_state.thrusting) << "NewRound leaves thrusting alone";
        EXPECT_EQ(c.level, g_state.level);
        EXPECT_EQ(1, g_seams.randomCalls) << "one draw per round";
        EXPECT_NE(0u, g_state.gameTimer);
    }
}

TEST_F(OnScreen, NewRoundAltitudeAndCentreFollowTheScreen) {
    const struct {
        int width, height, landerX, altitude;
    } cases[] = {{240, 320, 120, 225}, {480, 640, 240, 450}, {481, 640, 240, 450}, {480, 800, 240, 562}};
    for (const auto& c : cases) {
        Screen(c.width, c.height);
        NewRound();
        EXPECT_EQ(c.landerX, g_state.landerX) << c.width;
        EXPECT_EQ(c.altitude, g_state.altitude) << c.height;
    }
}

TEST_F(OnScreen, NewRoundStartsTheGameTimerOnlyWhenNoneRuns) {
    Screen(480, 640);
    NewRound();
    ASSERT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);

    // A running timer is neither restarted nor replaced.
    g_state.gameTimer = 77;
    NewRound();
    EXPECT_EQ(77u, g_state.gameTimer);
    KillTimer(window_, IDT_GAME);

    // SetTimer fails on a window that no longer exists: the round stands still, the next round tries again.
    HWND gone = CreateTestWindow(0, 0, 480, 640);
    DestroyWindow(gone);
    g_state.mainWindow = gone;
    g_state.gameTimer = 0;
    NewRound();
    EXPECT_EQ(0u, g_state.gameTimer);
    g_state.mainWindow = window_;
    NewRound();
    EXPECT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);
}

} // namespace
