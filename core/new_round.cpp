// NewRound: setting up a round.
#include "game.h"

#include "arithmetic.h"

namespace {

// Fuel and pad for the level the round starts with; r is the round's random draw, 0 to 9.
void PlaceFuelAndPad(unsigned r) {
    GameState& s = g_state;
    const double scaleX = s.scaleX;
    const double draw = r;
    switch (s.level) {
    case Easy:
        s.fuel = 300;
        s.padLeft = Trunc(scaleX * 160.0);
        // Formed in single precision: on a 432-pixel screen this gives 288 where double would give 287.
        s.padRight = Trunc(s.scaleX * 320.0f);
        break;
    case Medium:
        s.fuel = 240;
        s.padLeft = Trunc((scaleX * 24.0) * draw + scaleX * 100.0);
        s.padRight = Trunc(s.padLeft + scaleX * 100.0);
        break;
    case Hard:
        s.fuel = 200;
        s.padLeft = Trunc((scaleX * 40.0) * draw + 40.0); // the 40 added is not scaled
        s.padRight = Trunc(scaleX * 75.0 + s.padLeft);
        break;
    default: // Expert, and any stored level outside 0 to 3
        s.fuel = 170;
        s.padLeft = 40 * static_cast<int>(r + 1);
        s.padRight = 40 * static_cast<int>(r + 1) + 65;
        break;
    }
}

} // namespace

void NewRound() {
    GameState& s = g_state;

    RECT window = {};
    GetWindowRect(s.mainWindow, &window);
    s.landerX = window.right / 2;

    // Drawn on every difficulty, Easy included: one value per round.
    const unsigned r = Random() % 10;
    PlaceFuelAndPad(r);

    s.altitude = Trunc(static_cast<double>(s.scaleY) * 450.0);
    s.speed = 12.0;
    s.explosionFramesLeft = 10;
    s.score = 0;
    s.roundOver = 0;
    s.crashed = 0;

    // A running game timer keeps its rhythm; a stopped (or failed) one is started.
    if (s.gameTimer == 0) {
        s.gameTimer = SetTimer(s.mainWindow, IDT_GAME, kGameTimerPeriodMs, nullptr);
    }
}
