// The round rules on a real hidden window, so that its rectangle and timers are the platform's own. Whole
// recorded rounds pin the arithmetic of a round from start to touchdown (an empty tank included); the tables
// pin what a round's end does not show: pads where the precision rules show, the tick's band edges, wraps and
// clamps, the touchdown edges, stored values out of range, restarts, the explosion-and-timer contract with
// the paint, and Trunc's saturation.
#include "game.h"

#include "arithmetic.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using std::make_tuple;

// Link seams for the sensor, the feedback and the platform's random numbers: the tilt reads take `tilts` in
// turn and then read 0 0, Random() answers `random` and counts it up, so that it shows how many draws there
// were, and each feedback call notes crash (1 or 0), score and roundOver as they stood.
struct Seams {
    std::vector<TiltSample> tilts;
    int samplesRead = 0;
    DWORD random = 5; // the worked examples' draw
    std::vector<int> fed;
} g_seams;

void ReadTiltSample(TiltSample* sample) {
    const size_t next = g_seams.samplesRead++;
    *sample = next < g_seams.tilts.size() ? g_seams.tilts[next] : TiltSample{};
}
void PlayLandingFeedback() {
    g_seams.fed.insert(g_seams.fed.end(), {0, g_state.score, g_state.roundOver});
}
void PlayCrashFeedback() {
    g_seams.fed.insert(g_seams.fed.end(), {1, g_state.score, g_state.roundOver});
}
extern "C" DWORD Random(void) {
    return g_seams.random++;
}

namespace {

// A fresh record and seams on a window of the screen's size at the left edge, as on the phone, with the
// scales start-up computes. The previous test's window goes first.
void Screen(int width, int height) {
    DestroyWindow(g_state.mainWindow);
    g_state = GameState();
    g_seams = Seams();
    std::tie(g_state.mainWindow, g_state.scaleX, g_state.scaleY) = make_tuple(
        CreateTestWindow(0, 0, width, height), float(width * (1.0 / 480)), float(height * (1.0 / 640)));
}

void Tick(int tiltX, int tiltY) {
    g_seams.tilts.push_back({int16_t(tiltX), int16_t(tiltY), {}});
    FlightTick(g_state.mainWindow);
}

// The worked examples' round (Medium, draw 5: pad 220 to 320 at 480 pixels) with its timer running, then the
// state just before a tick (a level set here counts as one chosen during the round), and the tick.
void TickFrom(int width, int level, int alt, double speed, int fuel, int x, int tx, int ty, int rest = 0) {
    Screen(width, 640);
    NewRound();
    std::tie(g_state.level, g_state.altitude, g_state.speed, g_state.fuel, g_state.landerX,
             g_state.calibTiltX, g_state.calibTiltY) = make_tuple(level, alt, speed, fuel, x, rest, rest);
    Tick(tx, ty);
}

// Each record: name draw level WxH restX restY | outcome score fuel speed ticks, worked out from the tilt log
// by an independent model of the rules. The round is stepped as the game steps it, until touchdown; a round
// that never ends shows in its count of ticks.
TEST(Core, RecordedRoundsEndAsRecorded) {
    std::ifstream records(REPLAY_DIR "/records.txt");
    int rounds = 0;
    for (std::string line; std::getline(records, line);) {
        char name[64], outcome[16];
        int draw, level, width, height, restX, restY, score, fuel, ticks, tick = 0;
        double speed;
        if (sscanf(line.c_str(), "%63s %d %d %dx%d %d %d | %15s %d %d %lf %d", name, &draw, &level, &width,
                   &height, &restX, &restY, outcome, &score, &fuel, &speed, &ticks) == 12) { // not a comment
            SCOPED_TRACE(name);
            Screen(width, height);
            std::ifstream log(REPLAY_DIR "/" + std::string(name) + ".tilt");
            log.ignore(1000, '\n'); // the log's one heading line
            for (int16_t tiltX, tiltY; log >> tiltX >> tiltY;) {
                g_seams.tilts.push_back({tiltX, tiltY, {}});
            }
            std::tie(g_seams.random, g_state.level, g_state.calibTiltX, g_state.calibTiltY) =
                make_tuple(draw, level, restX, restY);
            NewRound();
            for (; !g_state.roundOver && tick < 100000; ++tick) {
                FlightTick(g_state.mainWindow);
            }
            EXPECT_EQ(make_tuple(std::string(outcome), score, fuel, speed, ticks),
                      make_tuple(g_state.crashed ? "crash" : "landing", g_state.score, g_state.fuel,
                                 g_state.speed, tick));
            ++rounds;
        }
    }
    EXPECT_EQ(19, rounds);
}

// Round starts from a crash's explosion with the timer running (77) or stopped (0). Each difficulty on a
// 432-pixel screen, where the single-precision scale shows: Easy's right end is a single-precision product
// (288, not 287), Medium's right end adds to the truncated left end, Hard's offset 40 is not scaled, Expert's
// pad not at all, and a level outside 0 to 3 plays as Expert. The draw is reduced modulo 10 as an unsigned
// number (2^32 - 7 gives 9); there is one draw per round, Easy's included. The lander starts at half the
// window's right edge. The outcome is cleared and the explosion rewound; a running timer is neither restarted
// nor replaced, a stopped one starts again, and where SetTimer fails (the window is gone) the round stands
// still.
TEST(Core, NewRoundPadsFuelStartValuesAndTimer) {
    const int rounds[][10] = {
        // width, level, draw, timer, window gone | fuel, padLeft, padRight, landerX, timer
        {432, Easy, 7, 0, 1, 300, 143, 288, 0, 0},
        {432, Medium, 15, 0, 0, 240, 197, 286, 216, IDT_GAME},
        {432, Hard, -7, 0, 0, 200, 363, 430, 216, IDT_GAME},
        {432, Expert, 19, 0, 0, 170, 400, 465, 216, IDT_GAME},
        {481, INT32_MIN, 0, 77, 0, 170, 40, 105, 240, 77},
    };
    for (const auto& [width, level, draw, timer, gone, fuel, left, right, landerX, after] : rounds) {
        SCOPED_TRACE(testing::Message() << width << " wide, level " << level << ", draw " << draw);
        Screen(width, 800);
        std::tie(g_state.level, g_seams.random, g_state.gameTimer, g_state.roundOver, g_state.crashed,
                 g_state.score, g_state.explosionFramesLeft) = make_tuple(level, draw, timer, 1, 1, -9, 4);
        DestroyWindow(gone ? g_state.mainWindow : nullptr);
        NewRound();
        const GameState& s = g_state;
        EXPECT_EQ(make_tuple(left, right, fuel, 562, landerX, 10, 0, 0, 0, UINT_PTR(after), DWORD(draw + 1)),
                  make_tuple(s.padLeft, s.padRight, s.fuel, s.altitude, s.landerX, s.explosionFramesLeft,
                             s.score, s.roundOver, s.crashed, s.gameTimer, g_seams.random));
    }
}

// Touchdown from altitude 1 at centre 240 unless moved; pad 220 to 320, so centres 240 to 308 land. The rows:
// exactly 8.0 lands; Easy judges 12.0 as 8.0; Easy's 13.0 crashes, scored from the stored speed; the left
// foot on the pad's end, and one pixel left of it (a crash that scores 20); the right foot on the pad's end,
// and one pixel right of it; levels INT_MAX and INT_MIN wrap (173 x 2^31 and 173 x (2^31 + 1) in 32-bit
// two's complement); a touchdown from the truncated mean; and the last unit of fuel fires the full thrust.
// Then ten more ticks, each after the paint that counts a crash's explosion down: the tenth stops the timer
// after a crash, and after a landing it runs on. A finished round reads no tilt and changes nothing, but
// each tick asks for a paint; the feedback comes once, after the outcome and the score are stored.
TEST(Core, TouchdownJudgementScoreAndTheTicksAfter) {
    const int cases[][7] = {
        // level, speed, fuel, landerX, tiltY | landed, score
        {Medium, 4, 200, 240, 0, 1, 400},   {Easy, 8, 100, 240, 0, 1, 150},
        {Easy, 9, 100, 240, 0, 0, -275},    {Medium, 0, 200, 240, 0, 1, 600},
        {Medium, 0, 240, 239, 0, 0, 20},    {Medium, 0, 200, 308, 0, 1, 600},
        {Medium, 0, 200, 309, 0, 0, 0},     {INT32_MAX, 6, 100, 240, -95, 1, INT32_MIN},
        {Medium, 0, 100, 240, -90, 1, 646}, {INT32_MIN, 6, 100, 240, -95, 1, INT32_MIN + 173},
        {Medium, 4, 1, 240, -180, 1, 500},
    };
    for (const auto& [level, speed, fuel, landerX, tiltY, landed, score] : cases) {
        SCOPED_TRACE(testing::Message() << "level " << level << ", speed " << speed << ", x " << landerX);
        TickFrom(480, level, 1, speed, fuel, landerX, 0, tiltY);
        for (int tick = 1; tick <= 10; ++tick) {
            g_state.explosionFramesLeft -= !landed;
            ValidateRect(g_state.mainWindow, nullptr);
            Tick(0, -180);
            EXPECT_EQ(make_tuple(!landed && tick == 10 ? 0u : UINT_PTR(IDT_GAME), TRUE, 0),
                      make_tuple(g_state.gameTimer, GetUpdateRect(g_state.mainWindow, nullptr, FALSE),
                                 g_state.thrusting))
                << "tick " << tick << ": the timer, a paint asked for, the engine";
        }
        EXPECT_EQ(landed, KillTimer(g_state.mainWindow, IDT_GAME)) << "the window's timer itself";
        EXPECT_EQ(make_tuple(0, 1, 1 - landed, score, 1),
                  make_tuple(g_state.altitude, g_state.roundOver, g_state.crashed, g_state.score,
                             g_seams.samplesRead));
        EXPECT_EQ((std::vector<int>{!landed, score, 1}), g_seams.fed);
    }
}

// Thrust and sideways step from the tilt less its rest value (the same on both axes here), wrapped to 16 bits
// (rest values anywhere in 32 bits), at the band edges, on a window wide enough that no clamp interferes; and
// the clamps, at trunc(30 x scaleX) from either edge: 15 on a 240-pixel screen (a step to 230 ends at 225),
// 49 on an 800-pixel one, whose single-precision scale falls short of 50.
TEST(Core, ThrustAndStepBandsAndClamps) {
    const int cases[][6] = {
        // width, tiltX, tiltY, rest, landerX, thrust
        {5000, 60, -29, 0, 2500, 0},          {5000, -60, -30, 0, 2500, 1},
        {5000, -61, -60, 0, 2499, 2},         {5000, 250, -179, 0, 2506, 5},
        {5000, 251, -180, 0, 2508, 6},        {5000, 500, -32768, 0, 2516, 6},
        {5000, 501, 100, 0, 2525, 0},         {5000, -501, 30000, -10000, 2974, 6},
        {5000, 30000, 0, -10000, 1224, 0},    {5000, -32768, -200, INT32_MIN, 862, 6},
        {5000, 600, -31, INT32_MAX, 2530, 1}, {800, -32768, 0, 0, 49, 0},
        {240, -32768, 0, 0, 15, 0},           {240, 2200, 0, 0, 225, 0},
    };
    for (const auto& [width, tiltX, tiltY, rest, landerX, thrust] : cases) {
        SCOPED_TRACE(testing::Message()
                     << width << " wide, tilt " << tiltX << " " << tiltY << ", rest " << rest);
        TickFrom(width, Medium, 400, 10.0, 100, width / 2, tiltX, tiltY, rest);
        EXPECT_EQ(make_tuple(landerX, thrust, thrust > 0),
                  make_tuple(g_state.landerX, 100 - g_state.fuel, g_state.thrusting == 1));
    }
}

// Trunc saturates where a plain conversion would be undefined: NaN gives 0, and values beyond the 32-bit
// range the nearest end; within it, toward zero.
TEST(Core, TruncSaturatesOutsideThe32BitRange) {
    EXPECT_EQ(make_tuple(0, INT32_MIN, INT32_MIN, INT32_MIN, 0, INT32_MAX, INT32_MAX, INT32_MAX),
              make_tuple(Trunc(NAN), Trunc(-1e300), Trunc(-2147483649.0), Trunc(-2147483648.9), Trunc(-0.9),
                         Trunc(2147483647.9), Trunc(2147483648.0), Trunc(1e300)));
}

} // namespace
