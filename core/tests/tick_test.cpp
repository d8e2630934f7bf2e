// The flight tick: the worked rounds, the bands of thrust and step, the 16-bit wrap, the clamps, the
// touchdown edges, stored values out of range, and the explosion-and-timer contract with the paint.
#include "seams.h"

#include <gtest/gtest.h>

namespace {

class Tick : public OnScreen {
  protected:
    void SetUp() override { Screen(480, 640); }
    // The state just before a tick, as the worked examples give it (pad 220 to 320 unless set).
    void Before(int level, int altitude, double speed, int fuel, int landerX, int padLeft = 220,
                int padRight = 320) {
        g_state.level = level;
        g_state.altitude = altitude;
        g_state.speed = speed;
        g_state.fuel = fuel;
        g_state.landerX = landerX;
        g_state.padLeft = padLeft;
        g_state.padRight = padRight;
        g_state.roundOver = g_state.crashed = 0;
        g_state.explosionFramesLeft = 10;
        g_state.gameTimer = SetTimer(window_, IDT_GAME, 100, nullptr); // replaces a running one
    }
    void TickWith(int tiltX, int tiltY) {
        g_seams.samples.push_back({tiltX, tiltY});
        FlightTick(window_);
    }
};

// The worked rounds, tick by tick where it matters.
TEST_F(Tick, FreeFallFromAMediumRoundCrashesOnTickThirteen) {
    g_seams.randoms = {5};
    NewRound();
    ASSERT_EQ(220, g_state.padLeft);
    ASSERT_EQ(320, g_state.padRight);
    const struct {
        double speed;
        int altitude;
    } expected[] = {{16, 436}, {20, 418}, {24, 396}, {28, 370}, {32, 340}, {36, 306},
                    {40, 268}, {44, 226}, {48, 180}, {52, 130}, {56, 76},  {60, 18}};
    for (const auto& e : expected) {
        FlightTick(window_);
        EXPECT_EQ(e.speed, g_state.speed);
        EXPECT_EQ(e.altitude, g_state.altitude);
        EXPECT_EQ(0, g_state.roundOver);
    }
    FlightTick(window_);
    EXPECT_EQ(64.0, g_state.speed);
    EXPECT_EQ(0, g_state.altitude);
    EXPECT_EQ(1, g_state.crashed);
    EXPECT_EQ(-1480, g_state.score);
    EXPECT_EQ(240, g_state.fuel);
    EXPECT_EQ(1, g_seams.crashes);
    EXPECT_EQ(0, g_seams.landings);
}

struct TouchdownCase {
    const char* name;
    int level, altitude;
    double speed;
    int fuel, landerX, padLeft, padRight, tiltY;
    // expected
    double newSpeed;
    int newFuel;
    bool landed;
    int score;
};

const TouchdownCase kTouchdowns[] = {
    {"landing with thrust 3", Medium, 5, 6.0, 100, 240, 220, 320, -95, 7.0, 97, true, 346},
    {"crash too fast", Medium, 5, 9.0, 100, 240, 220, 320, 0, 13.0, 100, false, -275},
    {"crash score truncates toward zero", Medium, 3, 4.5, 200, 240, 220, 320, 0, 8.5, 200, false, -112},
    {"exactly 8.0 lands", Medium, 3, 4.0, 200, 240, 220, 320, 0, 8.0, 200, true, 400},
    {"Easy judges 4.0 slower", Easy, 5, 8.0, 100, 240, 160, 320, 0, 12.0, 100, true, 150},
    {"Easy beside the pad scores the stored speed", Easy, 5, 8.0, 100, 150, 160, 320, 0, 12.0, 100, false,
     -250},
    {"Easy 12.1 crashes", Easy, 5, 8.1, 100, 240, 160, 320, 0, 12.1, 100, false, -252},
    {"left foot on the pad's end", Medium, 1, 0.0, 200, 240, 220, 320, 0, 4.0, 200, true, 600},
    {"one pixel left of it", Medium, 1, 0.0, 200, 239, 220, 320, 0, 4.0, 200, false, 0},
    {"right foot on the pad's end", Medium, 1, 0.0, 200, 308, 220, 320, 0, 4.0, 200, true, 600},
    {"one pixel right of it", Medium, 1, 0.0, 200, 309, 220, 320, 0, 4.0, 200, false, 0},
    {"a crash beside the pad can score", Medium, 1, 0.0, 240, 100, 220, 320, 0, 4.0, 240, false, 20},
    {"touchdown from the truncated mean", Medium, 1, 0.0, 100, 240, 220, 320, -90, 1.0, 97, true, 646},
    {"level 7 multiplies by 8", 7, 5, 6.0, 100, 240, 220, 320, -95, 7.0, 97, true, 1384},
    {"level -1 multiplies by 0", -1, 5, 6.0, 100, 240, 220, 320, -95, 7.0, 97, true, 0},
    // 173 x 2^31 and 173 x (2^31 + 1), in 32-bit two's complement.
    {"level INT_MAX wraps", INT32_MAX, 5, 6.0, 100, 240, 220, 320, -95, 7.0, 97, true, INT32_MIN},
    {"level INT_MIN wraps", INT32_MIN, 5, 6.0, 100, 240, 220, 320, -95, 7.0, 97, true, INT32_MIN + 173},
};

TEST_F(Tick, TouchdownJudgementAndScore) {
    for (const TouchdownCase& c : kTouchdowns) {
        SCOPED_TRACE(c.name);
        g_seams = Seams();
        Before(c.level, c.altitude, c.speed, c.fuel, c.landerX, c.padLeft, c.padRight);
        TickWith(0, c.tiltY);
        EXPECT_EQ(c.newSpeed, g_state.speed);
        EXPECT_EQ(c.newFuel, g_state.fuel);
        EXPECT_EQ(0, g_state.altitude);
        EXPECT_EQ(1, g_state.roundOver);
        EXPECT_EQ(c.landed ? 0 : 1, g_state.crashed);
        EXPECT_EQ(c.score, g_state.score);
        EXPECT_EQ(c.landed ? 1 : 0, g_seams.landings);
        EXPECT_EQ(c.landed ? 0 : 1, g_seams.crashes);
        EXPECT_EQ(c.score, g_seams.scoreAtFeedback) << "the score is stored before the feedback";
        EXPECT_EQ(1, g_seams.roundOverAtFeedback);
    }
}

// Thrust bands and the 16-bit wrap, seen in the fuel burnt and the speed.
TEST_F(Tick, ThrustBands) {
    const struct {
        int tiltY, calibTiltY, thrust;
    } cases[] = {{-29, 0, 0},         {-30, 0, 1},       {-59, 0, 1},          {-60, 0, 2},
                 {-179, 0, 5},        {-180, 0, 6},      {-32768, 0, 6},       {100, 0, 0},
                 {30000, -10000, 6},  {0, 90, 3},        {-200, INT32_MIN, 6}, {0, INT32_MAX, 0},
                 {-30, INT32_MIN, 1}, {32767, -32768, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tiltY " << c.tiltY << " rest " << c.calibTiltY);
        Before(Medium, 400, 10.0, 100, 240);
        g_state.calibTiltY = c.calibTiltY;
        TickWith(0, c.tiltY);
        EXPECT_EQ(100 - c.thrust, g_state.fuel);
        EXPECT_EQ(10.0 - c.thrust + 4.0, g_state.speed);
        EXPECT_EQ(c.thrust > 0 ? 1 : 0, g_state.thrusting);
    }
}

// Sideways steps, on a window wide enough that no clamp interferes.
TEST_F(Tick, StepBands) {
    Screen(5000, 640);
    g_state.scaleX = 1.0f;
    const struct {
        int tiltX, calibTiltX, step;
    } cases[] = {
        {60, 0, 0},         {-60, 0, 0},  {61, 0, 1},           {-61, 0, -1},      {250, 0, 6},
        {251, 0, 8},        {500, 0, 16}, {501, 0, 25},         {-501, 0, -25},    {32767, 0, 1638},
        {-32768, 0, -1638}, {0, 120, -3}, {600, INT32_MAX, 30}, {0, INT32_MIN, 0}, {30000, -10000, -1276}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tiltX " << c.tiltX << " rest " << c.calibTiltX);
        Before(Medium, 400, 10.0, 100, 2500);
        g_state.calibTiltX = c.calibTiltX;
        TickWith(c.tiltX, 0);
        EXPECT_EQ(2500 + c.step, g_state.landerX);
    }
}

TEST_F(Tick, ClampsKeepTheCentreInsideTheMargins) {
    const struct { int width, low, high; } cases[] = {{480, 30, 450}, {240, 15, 225}, {800, 49, 751}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        Screen(c.width, 640);
        Before(Medium, 10000, -100.0, 100000, c.width / 2);
        for (int i = 0; i < 5; ++i) {
            TickWith(-32768, 0);
        }
        EXPECT_EQ(c.low, g_state.landerX);
        for (int i = 0; i < 5; ++i) {
            TickWith(32767, 0);
        }
        EXPECT_EQ(c.high, g_state.landerX);
    }
}

TEST_F(Tick, AnEmptyTankReadsNoSampleButStillFalls) {
    Before(Medium, 400, 10.0, 2, 240);
    TickWith(0, -180);
    EXPECT_EQ(0, g_state.fuel);
    EXPECT_EQ(8.0, g_state.speed) << "the full thrust of 6 is applied";
    EXPECT_EQ(1, g_state.thrusting);
    const int read = g_seams.samplesRead;

    g_state.landerX = 5; // not clamped while the tank is empty
    TickWith(32767, -180);
    EXPECT_EQ(read, g_seams.samplesRead);
    EXPECT_EQ(12.0, g_state.speed);
    EXPECT_EQ(0, g_state.thrusting);
    EXPECT_EQ(5, g_state.landerX);
}

TEST_F(Tick, ClimbingIsNotCapped) {
    Before(Medium, 600, 0.0, 300, 240);
    for (int i = 0; i < 10; ++i) {
        TickWith(0, -180);
    }
    EXPECT_EQ(-20.0, g_state.speed);
    EXPECT_EQ(700, g_state.altitude);
}

// Each tick asks for a repaint; after a crash the tenth tick (with one paint after each) stops the timer.
TEST_F(Tick, ExplosionAndTimerContract) {
    Before(Medium, 5, 9.0, 100, 240);
    ValidateRect(window_, nullptr);
    TickWith(0, 0);
    ASSERT_EQ(1, g_state.crashed);
    EXPECT_TRUE(GetUpdateRect(window_, nullptr, FALSE));
    EXPECT_EQ(10, g_state.explosionFramesLeft);

    const int samples = g_seams.samplesRead;
    for (int tick = 1; tick <= 10; ++tick) {
        --g_state.explosionFramesLeft; // the paint after the previous tick
        ValidateRect(window_, nullptr);
        FlightTick(window_);
        EXPECT_TRUE(GetUpdateRect(window_, nullptr, FALSE));
        EXPECT_EQ(tick < 10 ? UINT_PTR(IDT_GAME) : 0u, g_state.gameTimer) << "tick " << tick;
    }
    EXPECT_EQ(samples, g_seams.samplesRead) << "a finished round reads no tilt";
    EXPECT_EQ(1, g_seams.crashes) << "the feedback comes once";
    EXPECT_EQ(0, g_state.altitude);
}

TEST_F(Tick, AfterALandingTheTimerRunsOn) {
    Before(Medium, 5, 6.0, 100, 240);
    TickWith(0, -95);
    ASSERT_EQ(0, g_state.crashed);
    ASSERT_EQ(1, g_state.thrusting);
    for (int i = 0; i < 30; ++i) {
        TickWith(0, -180);
    }
    EXPECT_EQ(0, g_state.thrusting);
    EXPECT_EQ(97, g_state.fuel);
    EXPECT_EQ(346, g_state.score);
    EXPECT_EQ(10, g_state.explosionFramesLeft);
    EXPECT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);
    EXPECT_EQ(1, g_seams.landings);
}

} // namespace
