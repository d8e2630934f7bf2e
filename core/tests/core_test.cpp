// The round rules on a real hidden window, so that its rectangle, timers and invalidation are the platform's
// own: pads and fuel worked by hand where the precision rules show, the tick's bands, 16-bit wrap, clamps and
// touchdown edges, stored values out of range, and the explosion-and-timer contract with the paint.
#include "game.h"

#include "feedback/feedback.h"
#include "sensor/sensor.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <iterator>
#include <tuple>
#include <vector>

using std::make_tuple;

// Link seams: every tilt read gets one scripted sample, Random() always answers `random`, and each feedback
// call is noted as (crash, score, roundOver) as they stood.
struct Seams {
    int tiltX = 0, tiltY = 0, samplesRead = 0, randomCalls = 0;
    DWORD random = 0;
    std::vector<std::tuple<bool, int, int>> fed;
} g_seams;

void ReadTiltSample(TiltSample* sample) {
    *sample = TiltSample();
    sample->tiltX = static_cast<int16_t>(g_seams.tiltX);
    sample->tiltY = static_cast<int16_t>(g_seams.tiltY);
    ++g_seams.samplesRead;
}
void PlayLandingFeedback() {
    g_seams.fed.emplace_back(false, g_state.score, g_state.roundOver);
}
void PlayCrashFeedback() {
    g_seams.fed.emplace_back(true, g_state.score, g_state.roundOver);
}
extern "C" DWORD Random(void) {
    ++g_seams.randomCalls;
    return g_seams.random;
}

namespace {

class Core : public testing::Test {
  protected:
    void SetUp() override { Screen(480, 640); }
    void TearDown() override { DestroyWindow(window_); }
    // A window of the screen's size at the left edge, as on the phone, with the scales start-up computes.
    void Screen(int width, int height) {
        DestroyWindow(window_);
        window_ = CreateTestWindow(0, 0, width, height);
        g_state = GameState();
        g_state.mainWindow = window_;
        g_state.scaleX = static_cast<float>(width * (1.0 / 480));
        g_state.scaleY = static_cast<float>(height * (1.0 / 640));
        g_seams = Seams();
    }
    // The state just before a tick, as the worked examples give it: a running timer, pad 220 to 320.
    void Before(int level, int altitude, double speed, int fuel, int landerX) {
        std::tie(g_state.level, g_state.altitude, g_state.speed, g_state.fuel, g_state.landerX) =
            make_tuple(level, altitude, speed, fuel, landerX);
        std::tie(g_state.padLeft, g_state.padRight, g_state.roundOver, g_state.crashed) =
            make_tuple(220, 320, 0, 0);
        g_state.explosionFramesLeft = 10;
        g_state.gameTimer = SetTimer(window_, IDT_GAME, 100, nullptr);
    }
    // Every tick asks for a repaint, whatever state the round is in.
    void TickWith(int tiltX, int tiltY) {
        std::tie(g_seams.tiltX, g_seams.tiltY) = make_tuple(tiltX, tiltY);
        ValidateRect(window_, nullptr);
        FlightTick(window_);
        EXPECT_TRUE(GetUpdateRect(window_, nullptr, FALSE));
    }
    HWND window_ = nullptr;
};

// Each round on each screen where the precision rules show: a level, the draw Random() gives (the round uses
// it modulo 10, so 10 is 0 and 2^32-7 is 9) and the fuel. Any stored level outside 0 to 3 plays as Expert.
TEST_F(Core, NewRoundPadsFuelAndStartValues) {
    const struct {
        int level;
        DWORD draw;
        int fuel;
    } rounds[] = {{Easy, 7, 300},           {Medium, 10, 240},  {Medium, 9, 240}, {Hard, 0, 200},
                  {Hard, 4294967289u, 200}, {Expert, 19, 170},  {7, 5, 170},      {-1, 5, 170},
                  {INT32_MAX, 0, 170},      {INT32_MIN, 9, 170}};
    // The pads of those rounds, worked by hand: Easy's right end is a single-precision product (288 on 432
    // pixels), Hard's offset 40 is not scaled, Expert is not scaled at all. The altitude follows the height.
    const struct {
        int width, height, altitude;
        int pads[20]; // left and right end for each round
    } screens[] = {
        {240, 320, 225, {80,  160, 50,  100, 158, 208, 40, 77,  220, 257,
                         400, 465, 240, 305, 240, 305, 40, 105, 400, 465}},
        {383, 640, 450, {127, 255, 79,  158, 252, 331, 40, 99,  327, 386,
                         400, 465, 240, 305, 240, 305, 40, 105, 400, 465}},
        {432, 800, 562, {143, 288, 89,  178, 284, 373, 40, 107, 363, 430,
                         400, 465, 240, 305, 240, 305, 40, 105, 400, 465}},
        {480, 640, 450, {160, 320, 100, 200, 316, 416, 40, 115, 400, 475,
                         400, 465, 240, 305, 240, 305, 40, 105, 400, 465}},
        {800, 480, 337, {266, 533, 166, 332, 526, 692, 40, 164, 639, 763,
                         400, 465, 240, 305, 240, 305, 40, 105, 400, 465}},
    };
    for (const auto& s : screens) {
        for (size_t i = 0; i < std::size(rounds); ++i) {
            const auto& r = rounds[i];
            SCOPED_TRACE(testing::Message()
                         << s.width << "x" << s.height << " level " << r.level << " draw " << r.draw);
            Screen(s.width, s.height);
            g_state.level = r.level;
            g_state.score = 99;
            g_state.roundOver = g_state.crashed = g_state.thrusting = 1;
            g_seams.random = r.draw;
            NewRound();
            EXPECT_EQ(make_tuple(s.pads[2 * i], s.pads[2 * i + 1], r.fuel, s.altitude, s.width / 2),
                      make_tuple(g_state.padLeft, g_state.padRight, g_state.fuel, g_state.altitude,
                                 g_state.landerX));
            // One draw per round on every difficulty; thrusting is left alone.
            EXPECT_EQ(make_tuple(12.0, 10, 0, 0, 0, 1, r.level, 1),
                      make_tuple(g_state.speed, g_state.explosionFramesLeft, g_state.score, g_state.roundOver,
                                 g_state.crashed, g_state.thrusting, g_state.level, g_seams.randomCalls));
            EXPECT_NE(0u, g_state.gameTimer);
        }
    }
}

// A running timer is neither restarted nor replaced. SetTimer fails on a window that no longer exists: the
// round stands still and the next round tries again.
TEST_F(Core, NewRoundStartsTheGameTimerOnlyWhenNoneRuns) {
    NewRound();
    ASSERT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);
    g_state.gameTimer = 77;
    NewRound();
    EXPECT_EQ(77u, g_state.gameTimer);
    g_state.mainWindow = CreateTestWindow(0, 0, 480, 640);
    DestroyWindow(g_state.mainWindow);
    g_state.gameTimer = 0;
    NewRound();
    EXPECT_EQ(0u, g_state.gameTimer);
    g_state.mainWindow = window_;
    NewRound();
    EXPECT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);
}

// Touchdown from altitude 1 at centre 240 unless moved; pad 220 to 320, so centres 240 to 308 land.
TEST_F(Core, TouchdownJudgementAndScore) {
    const struct {
        const char* name;
        int level;
        double speed;
        int fuel, landerX, tiltY;
        double newSpeed;
        int newFuel, landed, score;
    } cases[] = {
        {"landing with thrust 3", Medium, 6.0, 100, 240, -95, 7.0, 97, 1, 346},
        {"crash too fast", Medium, 9.0, 100, 240, 0, 13.0, 100, 0, -275},
        {"crash score truncates toward zero", Medium, 4.5, 200, 240, 0, 8.5, 200, 0, -112},
        {"exactly 8.0 lands", Medium, 4.0, 200, 240, 0, 8.0, 200, 1, 400},
        {"Easy judges 4.0 slower", Easy, 8.0, 100, 240, 0, 12.0, 100, 1, 150},
        {"Easy beside the pad scores the stored speed", Easy, 8.0, 100, 150, 0, 12.0, 100, 0, -250},
        {"Easy 12.1 crashes", Easy, 8.1, 100, 240, 0, 12.1, 100, 0, -252},
        {"left foot on the pad's end", Medium, 0.0, 200, 240, 0, 4.0, 200, 1, 600},
        {"one pixel left of it", Medium, 0.0, 200, 239, 0, 4.0, 200, 0, 0},
        {"right foot on the pad's end", Medium, 0.0, 200, 308, 0, 4.0, 200, 1, 600},
        {"one pixel right of it", Medium, 0.0, 200, 309, 0, 4.0, 200, 0, 0},
        {"a crash beside the pad can score", Medium, 0.0, 240, 100, 0, 4.0, 240, 0, 20},
        {"touchdown from the truncated mean", Medium, 0.0, 100, 240, -90, 1.0, 97, 1, 646},
        {"level 7 multiplies by 8", 7, 6.0, 100, 240, -95, 7.0, 97, 1, 1384},
        {"level -1 multiplies by 0", -1, 6.0, 100, 240, -95, 7.0, 97, 1, 0},
        // 173 x 2^31 and 173 x (2^31 + 1), in 32-bit two's complement.
        {"level INT_MAX wraps", INT32_MAX, 6.0, 100, 240, -95, 7.0, 97, 1, INT32_MIN},
        {"level INT_MIN wraps", INT32_MIN, 6.0, 100, 240, -95, 7.0, 97, 1, INT32_MIN + 173},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_seams = Seams();
        Before(c.level, 1, c.speed, c.fuel, c.landerX);
        TickWith(0, c.tiltY);
        EXPECT_EQ(make_tuple(c.newSpeed, c.newFuel, 0, 1, 1 - c.landed, c.score),
                  make_tuple(g_state.speed, g_state.fuel, g_state.altitude, g_state.roundOver,
                             g_state.crashed, g_state.score));
        // The outcome and score are stored before the feedback is asked for.
        EXPECT_EQ((std::vector<std::tuple<bool, int, int>>{make_tuple(!c.landed, c.score, 1)}), g_seams.fed);
    }
}

// Thrust and sideways step from the tilt less its rest value, wrapped to 16 bits, on a window wide enough
// that no clamp interferes; and the clamps that keep the centre inside the margins of three screens.
TEST_F(Core, ThrustAndStepBandsAndClamps) {
    const struct {
        int width, tiltX, tiltY, restX, restY, landerX, thrust;
    } cases[] = {
        {5000, 60, -29, 0, 0, 2500, 0},
        {5000, -60, -30, 0, 0, 2500, 1},
        {5000, 61, -59, 0, 0, 2501, 1},
        {5000, -61, -60, 0, 0, 2499, 2},
        {5000, 250, -179, 0, 0, 2506, 5},
        {5000, 251, -180, 0, 0, 2508, 6},
        {5000, 500, -32768, 0, 0, 2516, 6},
        {5000, 501, 100, 0, 0, 2525, 0},
        {5000, -501, 30000, 0, -10000, 2475, 6},
        {5000, 32767, 0, 0, 90, 4138, 3},
        {5000, -32768, -200, 0, INT32_MIN, 862, 6},
        {5000, 0, 0, 120, INT32_MAX, 2497, 0},
        {5000, 600, -30, INT32_MAX, INT32_MIN, 2530, 1},
        {5000, 0, 32767, INT32_MIN, -32768, 2500, 0},
        {5000, 30000, 0, -10000, 0, 1224, 0},
        {480, -32768, 0, 0, 0, 30, 0},
        {480, 32767, 0, 0, 0, 450, 0},
        {240, -32768, 0, 0, 0, 15, 0},
        {240, 32767, 0, 0, 0, 225, 0},
        {800, -32768, 0, 0, 0, 49, 0},
        {800, 32767, 0, 0, 0, 751, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " wide, tilt " << c.tiltX << " " << c.tiltY << " rest "
                                        << c.restX << " " << c.restY);
        Screen(c.width, 640);
        Before(Medium, 400, 10.0, 100, c.width / 2);
        std::tie(g_state.calibTiltX, g_state.calibTiltY) = make_tuple(c.restX, c.restY);
        TickWith(c.tiltX, c.tiltY);
        EXPECT_EQ(make_tuple(c.landerX, 100 - c.thrust, 14.0 - c.thrust, c.thrust > 0 ? 1 : 0),
                  make_tuple(g_state.landerX, g_state.fuel, g_state.speed, g_state.thrusting));
    }
}

// Climbing is not capped. An empty tank still takes the full thrust once; after that no sample is read, the
// lander falls and is neither steered nor clamped.
TEST_F(Core, ClimbUntilTheTankIsEmpty) {
    Before(Medium, 600, 0.0, 62, 240);
    for (int i = 0; i < 11; ++i) {
        TickWith(0, -180);
    }
    EXPECT_EQ(make_tuple(0, -22.0, 721, 1),
              make_tuple(g_state.fuel, g_state.speed, g_state.altitude, g_state.thrusting));
    const int read = g_seams.samplesRead;
    g_state.landerX = 5;
    TickWith(32767, -180);
    EXPECT_EQ(make_tuple(read, -18.0, 5, 0),
              make_tuple(g_seams.samplesRead, g_state.speed, g_state.landerX, g_state.thrusting));
}

// After a crash the paints count the explosion down and the tenth tick after the touchdown stops the timer;
// after a landing it runs on. A finished round reads no tilt, changes nothing and gives its feedback once.
TEST_F(Core, AfterTouchdownTheExplosionAndTimerContract) {
    for (const int crash : {1, 0}) {
        SCOPED_TRACE(crash ? "crash" : "landing");
        Screen(480, 640);
        Before(Medium, 5, crash ? 9.0 : 6.0, 100, 240);
        TickWith(0, -95);
        ASSERT_EQ(make_tuple(crash, 1), make_tuple(g_state.crashed, g_state.thrusting));
        const int read = g_seams.samplesRead;
        for (int tick = 1; tick <= 10; ++tick) {
            g_state.explosionFramesLeft -= crash; // the paint after the previous tick
            TickWith(0, -180);
            EXPECT_EQ(crash && tick == 10 ? 0u : UINT_PTR(IDT_GAME), g_state.gameTimer) << "tick " << tick;
        }
        EXPECT_EQ(make_tuple(read, 0, 97, 0, crash ? -202 : 346, size_t(1)),
                  make_tuple(g_seams.samplesRead, g_state.thrusting, g_state.fuel, g_state.altitude,
                             g_state.score, g_seams.fed.size()));
    }
}

} // namespace
