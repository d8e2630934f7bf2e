// FlightTick: one 100 ms step of a round.
#include "game.h"

#include "arithmetic.h"
#include "feedback/feedback.h"
#include "sensor/sensor.h"

#include <stdlib.h>

namespace {

const double kGravity = 4.0;       // pixels per tick, added to the speed every tick
const double kSafeSpeed = 8.0;     // the fastest judged speed that still lands
const double kEasyAllowance = 4.0; // Easy judges the touchdown this much slower
const int kMaxThrust = 6;

// Thrust from the forward tilt: one unit per 30 below the rest value, at most 6.
int ThrustFrom(int16_t dy) {
    int thrust = dy / -30;
    if (thrust >= kMaxThrust) {
        thrust = kMaxThrust;
    }
    return thrust > 0 ? thrust : 0;
}

// Sideways step from the sideways tilt: the further the tilt, the larger the step, signed like dx.
int StepFrom(int16_t dx) {
    const int magnitude = abs(static_cast<int>(dx));
    if (magnitude > 500) {
        return dx / 20;
    }
    if (magnitude > 250) {
        return dx / 30;
    }
    if (magnitude > 60) {
        return dx / 40;
    }
    return 0;
}

// Reads the tilt and steers: returns the thrust and moves the lander sideways within the margins.
int Steer(HWND window) {
    GameState& s = g_state;

    TiltSample sample;
    ReadTiltSample(&sample);

    const int thrust = ThrustFrom(Difference16(sample.tiltY, s.calibTiltY));
    if (thrust > 0) {
        s.thrusting = 1;
    }
    s.landerX += StepFrom(Difference16(sample.tiltX, s.calibTiltX));

    RECT client = {};
    GetClientRect(window, &client);
    const int margin = Trunc(s.scaleX * 30.0);
    if (s.landerX < margin) {
        s.landerX = margin;
    }
    if (s.landerX > client.right - margin) {
        s.landerX = client.right - margin;
    }
    return thrust;
}

// Judges the touchdown, scores it and asks for its feedback.
void Touchdown(int newFuel, double newSpeed) {
    GameState& s = g_state;
    s.roundOver = 1;

    // The level is read now, so a difficulty chosen during the round already counts here.
    const double judgedSpeed = s.level == Easy ? newSpeed - kEasyAllowance : newSpeed;
    const bool crash = judgedSpeed > kSafeSpeed || s.landerX - Trunc(s.scaleX * 20.0) < s.padLeft ||
                       s.landerX + Trunc(s.scaleX * 12.0) > s.padRight;
    if (!crash) {
        // A stored level is used as it stands, so the product may pass 32 bits: it wraps.
        const int base = newFuel / 2 + 25 * (12 - Trunc(judgedSpeed));
        s.score = WrapMul(base, WrapAdd(s.level, 1));
        PlayLandingFeedback();
    } else {
        s.crashed = 1;
        // Scored from the stored speed, without Easy's allowance.
        s.score = Trunc((newFuel / 2) - newSpeed * 25.0);
        PlayCrashFeedback();
    }
}

} // namespace

void FlightTick(HWND window) {
    GameState& s = g_state;
    s.thrusting = 0;

    if (!s.roundOver) {
        // An empty tank reads no sample: no thrust, no sideways step, no clamp.
        const int thrust = s.fuel > 0 ? Steer(window) : 0;

        const double newSpeed = (s.speed - thrust) + kGravity;
        int newFuel = s.fuel - thrust; // a thrust larger than the fuel left is applied in full
        if (newFuel <= 0) {
            newFuel = 0;
        }
        s.fuel = newFuel;
        int newAltitude = Trunc(s.altitude - (s.speed + newSpeed) * 0.5);
        if (newAltitude <= 0) {
            newAltitude = 0;
        }
        s.speed = newSpeed;
        s.altitude = newAltitude;

        if (newAltitude <= 0) {
            Touchdown(newFuel, newSpeed);
        }
    }

    InvalidateRect(window, nullptr, TRUE);

    // The paints count the explosion down; once it has been shown the round stands still.
    if (s.roundOver && s.explosionFramesLeft < 1) {
        KillTimer(window, s.gameTimer);
        s.gameTimer = 0;
    }
}
