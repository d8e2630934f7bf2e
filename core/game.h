// game.h: the game's one record and the round rules.
//
// All state of the program lives in GameState, a single record with static lifetime, used by the
// user-interface thread only. Each area owns a group of fields, marked below.
#pragma once

#include "coredll.h"
#include "aygshell.h"
#include "HTCSensorSDK.h"

// The difficulty, held in GameState::level. Nothing limits level to these four values: a stored value is
// played as it stands (any value other than Easy, Medium and Hard gets Expert's fuel and pad).
enum Difficulty { Easy = 0, Medium = 1, Hard = 2, Expert = 3 };

// Timers of the main window.
enum { IDT_GAME = 1, IDT_KEEPAWAKE = 2 };
const UINT kGameTimerPeriodMs = 100;
const UINT kKeepAwakePeriodMs = 5000;

// The sensor service's change notification, posted to the main window.
const UINT WM_SENSORCHANGED = WM_USER + 1;

const int kInstallDirLength = 260; // UTF-16 units, terminating zero included

struct GameState {
    // ---- Round (NewRound, FlightTick; shown by DrawScene) ----
    int level = Medium;
    float scaleX = 1.0f; // screen width / 480, set once at start-up
    float scaleY = 1.0f; // screen height / 640
    int fuel = 150;
    int altitude = 450;
    double speed = 50.0; // pixels per tick, downward; negative while climbing
    int explosionFramesLeft = 9;
    int landerX = 0; // x of the lander's horizontal centre
    int padLeft = 0;
    int padRight = 0;
    int score = 0;
    int calibTiltX = 0; // rest position of the tilt sensor
    int calibTiltY = 0;
    UINT_PTR gameTimer = 0; // 0 while no game timer runs
    int roundOver = 0;
    int crashed = 0;
    int thrusting = 0;

    // ---- Back buffer and pictures (LoadGraphics, DrawScene, ReleaseSprites) ----
    HDC backBuffer = nullptr;
    HBITMAP backgroundBitmap = nullptr;
    HBITMAP landerBitmap = nullptr;
    HBITMAP flameBitmap = nullptr;
    HBITMAP explosionBitmap = nullptr;

    // ---- Sensor binding (sensor/) ----
    HTCSensorOpenProc sensorOpenFn = nullptr;
    HTCSensorCloseProc sensorCloseFn = nullptr;
    HTCSensorGetDataOutputProc sensorGetDataFn = nullptr;
    HANDLE sensorHandle = nullptr;
    HMODULE aygshellModule = nullptr;
    RegistryNotifyWindowProc notifyWindowFn = nullptr;
    RegistryCloseNotificationProc closeNotificationFn = nullptr;
    HREGNOTIFY notifyHandle = nullptr;

    // ---- Window and instance (app/) ----
    HINSTANCE appInstance = nullptr;
    HWND mainWindow = nullptr;
    HWND menuBar = nullptr;

    // ---- Installation folder (settings store) ----
    wchar_t installDir[kInstallDirLength] = {};
};

extern GameState g_state;

// NewRound: starts a round for the current level on the current screen: centres the lander, places the pad,
// fills the tank, sets altitude and speed, clears the outcome and starts the game timer if none runs.
// Called by InitInstance once (after the settings are loaded) and by the Restart command.
void NewRound();

// FlightTick: one 100 ms step of the round: tilt to thrust and sideways step, gravity, descent, touchdown
// judgement, score and feedback; always invalidates the window; stops the game timer once a crash's
// explosion has been shown. Called by MainWndProc for WM_TIMER with IDT_GAME.
void FlightTick(HWND window);
