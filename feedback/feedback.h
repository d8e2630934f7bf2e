// feedback.h: the sounds and the vibration at the end of a round.
//
// Called by FlightTick on the tick that judges the touchdown, after the outcome and the score are stored.
// Neither call waits: the sound plays asynchronously and the vibration runs on a thread of its own.
#pragma once

#include "game.h"

// PlayLandingFeedback: plays "cheer.wav" from the installation folder; no vibration.
void PlayLandingFeedback();

// PlayCrashFeedback: plays "destroyed.wav", then starts VibrateThread.
void PlayCrashFeedback();

// VibrateThread: three pulses of notification LED 1, each 70 ms on and 3 ms off, ending off.
// Started by PlayCrashFeedback; its parameter is unused.
DWORD WINAPI VibrateThread(LPVOID parameter);
