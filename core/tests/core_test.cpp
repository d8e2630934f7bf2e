// The round rules on a real hidden window, so that its rectangle and timers are the platform's own. Whole
// recorded rounds pin the arithmetic of a round from start to touchdown (an empty tank included); the tables
// pin what a round's end does not show: pads where the precision rules show, the tick's band edges, wraps and
// clamps, the touchdown edges, stored values out of range, restarts, the explosion-and-timer contract with
// the paint, and Trunc's saturation.
#include "game.h"

#include "arithmetic.h"
#include "feedback/feedback.h"
#include "sensor/sensor.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

using std::make_tuple;

// Link seams: the tilt reads take `tilts` in turn and then read 0 0, Random() always answers `random`, and
// each feedback call is noted as (crash, score, roundOver) as they stood.
struct Seams {
    std::vector<TiltSample> tilts;
    int samplesRead = 0, randomCalls = 0;
    DWORD random = 0;
    std::vector<std::tuple<bool, int, int>> fed;
} g_seams;

void ReadTiltSample(TiltSample* sample) {
    const size_t next = g_seams.samplesRead++;
    *sample = next < g_seams.tilts.size() ? g_seams.tilts[next] : TiltSample{};
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

// A fresh record and seams on a window of the screen's size at the left edge, as on the phone, with the
// scales start-up computes. The previous test's window goes first.
void Screen(int width, int height) {
    DestroyWindow(g_state.mainWindow);
    g_state = GameState();
    g_seams = Seams();
    g_state.mainWindow = CreateTestWindow(0, 0, width, height);
    g_state.scaleX = static_cast<float>(width * (1.0 / 480));
    g_state.scaleY = static_cast<float>(height * (1.0 / 640));
}

void AddTilt(int tiltX, int tiltY) {
    g_seams.tilts.push_back({static_cast<int16_t>(tiltX), static_cast<int16_t>(tiltY), {}});
}

// The worked examples' round (Medium, draw 5: pad 220 to 320 at 480 pixels) with its timer running, then the
// state just before the tick under test; a level set here counts as one chosen during the round.
void Before(int width, int level, int altitude, double speed, int fuel, int landerX) {
    Screen(width, 640);
    g_seams.random = 5;
    NewRound();
    std::tie(g_state.level, g_state.altitude, g_state.speed, g_state.fuel, g_state.landerX) =
        make_tuple(level, altitude, speed, fuel, landerX);
}

void Tick(int tiltX, int tiltY) {
    AddTilt(tiltX, tiltY);
    FlightTick(g_state.mainWindow);
}

// Each record: name draw level WxH restX restY | outcome score fuel speed ticks, worked out from the tilt log
// by an independent model of the rules. The round is stepped as the game steps it, until touchdown.
TEST(Core, RecordedRoundsEndAsRecorded) {
    std::ifstream records(REPLAY_DIR "/records.txt");
    int rounds = 0;
    for (std::string line; std::getline(records, line);) {
        char name[64], outcome[16];
        int draw, level, width, height, restX, restY, score, fuel, ticks, tiltX, tiltY;
        double speed;
        if (sscanf(line.c_str(), "%63s %d %d %dx%d %d %d | %15s %d %d %lf %d", name, &draw, &level, &width,
                   &height, &restX, &restY, outcome, &score, &fuel, &speed, &ticks) != 12) {
            continue; // a comment line
        }
        SCOPED_TRACE(name);
        Screen(width, height);
        std::ifstream log(REPLAY_DIR "/" + std::string(name) + ".tilt");
        for (std::string sample; std::getline(log, sample);) {
            if (sscanf(sample.c_str(), "%d %d", &tiltX, &tiltY) == 2) { // not a comment or blank line
                AddTilt(tiltX, tiltY);
            }
        }
        g_seams.random = draw;
        std::tie(g_state.level, g_state.calibTiltX, g_state.calibTiltY) = make_tuple(level, restX, restY);
        NewRound();
        int tick = 0;
        for (; !g_state.roundOver && tick < 100000; ++tick) {
            FlightTick(g_state.mainWindow);
        }
        const char* end = g_state.crashed ? "crash" : g_state.roundOver ? "landing" : "flying";
        EXPECT_EQ(make_tuple(std::string(outcome), score, fuel, speed, ticks),
                  make_tuple(end, g_state.score, g_state.fuel, g_state.speed, tick));
        ++rounds;
    }
    EXPECT_EQ(18, rounds);
}

// Round starts from a crash's explosion with the timer running (77) or stopped (0). Each difficulty on a
// 432-pixel screen, where the single-precision scale shows: Easy's right end is a single-precision product
// (288, not 287), Medium's right end adds to the truncated left end, Hard's offset 40 is not scaled, Expert's
// pad not at all, and a level outside 0 to 3 plays as Expert. The draw is reduced modulo 10 as an unsigned
// number (2^32 - 7 gives 9). The lander starts at half the window's right edge. The outcome is cleared and
// the explosion rewound; a running timer is neither restarted nor replaced, a stopped one starts again, and
// where SetTimer fails (the window is gone) the round stands still.
TEST(Core, NewRoundPadsFuelStartValuesAndTimer) {
    const struct {
        int width, level;
        DWORD draw;
        UINT_PTR timer;
        bool windowGone;
        int fuel, padLeft, padRight, landerX;
        UINT_PTR timerAfter;
    } rounds[] = {
        {432, Easy, 7, 0, false, 300, 143, 288, 216, IDT_GAME},
        {432, Medium, 15, 0, false, 240, 197, 286, 216, IDT_GAME},
        {432, Hard, 4294967289u, 0, false, 200, 363, 430, 216, IDT_GAME},
        {432, Expert, 19, 0, false, 170, 400, 465, 216, IDT_GAME},
        {432, INT32_MIN, 0, 0, false, 170, 40, 105, 216, IDT_GAME},
        {481, Expert, 0, 77, false, 170, 40, 105, 240, 77},
        {480, Easy, 3, 0, false, 300, 160, 320, 240, IDT_GAME},
        {480, Easy, 3, 0, true, 300, 160, 320, 0, 0},
    };
    for (const auto& r : rounds) {
        SCOPED_TRACE(testing::Message() << r.width << " wide, level " << r.level << ", draw " << r.draw);
        Screen(r.width, 800);
        std::tie(g_state.level, g_seams.random, g_state.gameTimer, g_state.roundOver, g_state.crashed,
                 g_state.score, g_state.explosionFramesLeft) =
            make_tuple(r.level, r.draw, r.timer, 1, 1, -9, 4);
        if (r.windowGone) {
            DestroyWindow(g_state.mainWindow);
        }
        NewRound();
        const GameState& s = g_state;
        EXPECT_EQ(make_tuple(r.padLeft, r.padRight, r.fuel, 562, r.landerX, 10, 0, 0, 0, r.timerAfter),
                  make_tuple(s.padLeft, s.padRight, s.fuel, s.altitude, s.landerX, s.explosionFramesLeft,
                             s.score, s.roundOver, s.crashed, s.gameTimer));
        EXPECT_EQ(1, g_seams.randomCalls) << "one draw per round on every difficulty, Easy included";
    }
    // Without stored settings these stand: Medium, and rest values of 0.
    EXPECT_EQ(make_tuple(Medium, 0, 0),
              make_tuple(GameState().level, GameState().calibTiltX, GameState().calibTiltY));
}

// Touchdown from altitude 1 at centre 240 unless moved; pad 220 to 320, so centres 240 to 308 land.
TEST(Core, TouchdownJudgementAndScore) {
    const struct {
        const char* name;
        int level;
        double speed;
        int fuel, landerX, tiltY, landed, score;
    } cases[] = {
        {"exactly 8.0 lands", Medium, 4.0, 200, 240, 0, 1, 400},
        {"Easy judges 12.0 as 8.0", Easy, 8.0, 100, 240, 0, 1, 150},
        {"Easy 13.0 crashes, scored from the stored speed", Easy, 9.0, 100, 240, 0, 0, -275},
        {"left foot on the pad's end", Medium, 0.0, 200, 240, 0, 1, 600},
        {"one pixel left of it", Medium, 0.0, 200, 239, 0, 0, 0},
        {"a crash beside the pad scores 20", Medium, 0.0, 240, 239, 0, 0, 20},
        {"right foot on the pad's end", Medium, 0.0, 200, 308, 0, 1, 600},
        {"one pixel right of it", Medium, 0.0, 200, 309, 0, 0, 0},
        {"touchdown from the truncated mean", Medium, 0.0, 100, 240, -90, 1, 646},
        {"the last unit of fuel fires the full thrust", Medium, 4.0, 1, 240, -180, 1, 500},
        // 173 x 2^31 and 173 x (2^31 + 1), in 32-bit two's complement.
        {"level INT_MAX wraps", INT32_MAX, 6.0, 100, 240, -95, 1, INT32_MIN},
        {"level INT_MIN wraps", INT32_MIN, 6.0, 100, 240, -95, 1, INT32_MIN + 173},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Before(480, c.level, 1, c.speed, c.fuel, c.landerX);
        Tick(0, c.tiltY);
        EXPECT_EQ(make_tuple(0, 1, 1 - c.landed, c.score),
                  make_tuple(g_state.altitude, g_state.roundOver, g_state.crashed, g_state.score));
        // The outcome and score are stored before the feedback is asked for.
        EXPECT_EQ((std::vector<std::tuple<bool, int, int>>{make_tuple(!c.landed, c.score, 1)}), g_seams.fed);
    }
}

// Thrust and sideways step from the tilt less its rest value (the same on both axes here), wrapped to 16 bits
// (rest values anywhere in 32 bits), at the band edges and inside each band, on a window wide enough that no
// clamp interferes; and the clamps, at trunc(30 x scaleX) from either edge: 15 on a 240-pixel screen (a step
// to 230 ends at 225), 49 on an 800-pixel one, whose single-precision scale falls short of 50.
TEST(Core, ThrustAndStepBandsAndClamps) {
    const int cases[][6] = {
        // width, tiltX, tiltY, rest, landerX, thrust
        {5000, 60, -29, 0, 2500, 0},          {5000, -60, -30, 0, 2500, 1},
        {5000, -61, -60, 0, 2499, 2},         {5000, 250, -179, 0, 2506, 5},
        {5000, 251, -180, 0, 2508, 6},        {5000, 500, -32768, 0, 2516, 6},
        {5000, 501, 100, 0, 2525, 0},         {5000, 240, -90, 0, 2506, 3},
        {5000, -300, -150, 0, 2490, 5},       {5000, -501, 30000, -10000, 2974, 6},
        {5000, 30000, 0, -10000, 1224, 0},    {5000, -32768, -200, INT32_MIN, 862, 6},
        {5000, 600, -31, INT32_MAX, 2530, 1}, {800, -32768, 0, 0, 49, 0},
        {240, -32768, 0, 0, 15, 0},           {240, 2200, 0, 0, 225, 0},
    };
    for (const auto& [width, tiltX, tiltY, rest, landerX, thrust] : cases) {
        SCOPED_TRACE(testing::Message()
                     << width << " wide, tilt " << tiltX << " " << tiltY << ", rest " << rest);
        Before(width, Medium, 400, 10.0, 100, width / 2);
        std::tie(g_state.calibTiltX, g_state.calibTiltY) = make_tuple(rest, rest);
        Tick(tiltX, tiltY);
        EXPECT_EQ(make_tuple(landerX, thrust, thrust > 0),
                  make_tuple(g_state.landerX, 100 - g_state.fuel, g_state.thrusting == 1));
    }
}

// A tick that leaves 1 pixel of altitude and 1 unit of fuel, then the touchdown: after a crash the paints
// count the explosion down and the tenth tick after the touchdown stops the timer; after a landing it runs
// on. A finished round reads no tilt, changes nothing but asks for a paint, and gives its feedback once.
TEST(Core, AfterTouchdownTheExplosionAndTimerContract) {
    for (const int crash : {1, 0}) {
        SCOPED_TRACE(crash ? "crash" : "landing");
        Before(480, Medium, 3, 0.0, 4, crash ? 239 : 240);
        Tick(0, 0);
        ASSERT_EQ(make_tuple(1, 4.0, 0), make_tuple(g_state.altitude, g_state.speed, g_state.roundOver));
        Tick(0, -95);
        ASSERT_EQ(make_tuple(crash, 1, 1), make_tuple(g_state.crashed, g_state.thrusting, g_state.fuel));
        for (int tick = 1; tick <= 10; ++tick) {
            g_state.explosionFramesLeft -= crash; // the paint after the previous tick
            ValidateRect(g_state.mainWindow, nullptr);
            Tick(0, -180);
            EXPECT_EQ(crash && tick == 10 ? 0u : UINT_PTR(IDT_GAME), g_state.gameTimer) << "tick " << tick;
            EXPECT_TRUE(GetUpdateRect(g_state.mainWindow, nullptr, FALSE))
                << "tick " << tick << " asks no paint";
        }
        EXPECT_EQ(!crash, KillTimer(g_state.mainWindow, IDT_GAME)) << "the window's timer itself";
        EXPECT_EQ(make_tuple(2, 0, 1, 0, crash ? -125 : 350, size_t(1)),
                  make_tuple(g_seams.samplesRead, g_state.thrusting, g_state.fuel, g_state.altitude,
                             g_state.score, g_seams.fed.size()));
    }
}

// Trunc saturates where a plain conversion would be undefined: NaN gives 0, and values beyond the 32-bit
// range the nearest end; within it, toward zero.
TEST(Core, TruncSaturatesOutsideThe32BitRange) {
    const std::pair<double, int> cases[] = {
        {NAN, 0},  {-1e300, INT32_MIN},       {-2147483649.0, INT32_MIN}, {-2147483648.9, INT32_MIN},
        {-0.9, 0}, {2147483647.9, INT32_MAX}, {2147483648.0, INT32_MAX},  {1e300, INT32_MAX},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(expected, Trunc(value)) << value;
    }
}

} // namespace
