// phone.h: the phone shell, our stand-in for the phone's own screen around the game.
//
// phone.exe runs inside a Wine virtual desktop of the phone's screen size. It draws the taskbar across the
// top (title, time and a tilt level), keeps the work area below it, hosts the sensor service and starts the
// game, ending when the game ends. The pieces that need no window are here so that tests can reach them.
#pragma once

#include "coredll.h"

// Window class of the taskbar. Programs that place windows in the work area find the taskbar by it.
#define PHONE_TASKBAR_CLASS L"craterDipTaskbar"

// What the command line asks of the shell.
struct PhoneOptions {
    int exitAfterSeconds = -1;    // --exit-after S: close the game after S seconds; -1 never
    bool startGame = true;        // --no-game: only the taskbar and the service (tests start the game)
    bool hostService = true;      // --no-service: run without the sensor service
    wchar_t game[MAX_PATH] = L""; // --game PATH: the program to start; empty means craterDip.exe beside us
};

// Reads the arguments after the program name. Returns false, with a one-line reason in `error`, for an
// unknown option or a bad value. Called by wWinMain.
bool ParsePhoneOptions(int argc, const wchar_t* const* argv, PhoneOptions* options, wchar_t* error,
                       size_t errorSize);

// The taskbar's height: the menu bar's height on the same screen, 26 pixels when the shorter side is under
// 480, 52 on VGA-class screens.
int TaskbarHeight(int screenWidth, int screenHeight);

// Where the level's bubble sits, as an offset from the level's centre, for a tilt reading; the bubble
// follows the lander's response (right for positive tiltX, up for negative tiltY) and stays inside a circle
// of the given radius.
POINT LevelBubbleOffset(int tiltX, int tiltY, int radius);

// Formats the taskbar clock, "H:MM" in 24-hour time.
void FormatClock(const SYSTEMTIME& time, wchar_t* text, size_t size);

// Creates the taskbar window across the top of the screen and sets the work area below it.
// Returns the window, or null. Called once by wWinMain before the game starts.
HWND CreateTaskbar(HINSTANCE instance);
