// app.h: the application shell: start-up, the main window and its messages, keep-awake, the menu bar's
// commands and the About dialog. Everything here runs on the user-interface thread.
#pragma once

#include "game.h"

// Single-instance identity: a running copy is found by this class and title.
extern const wchar_t kWindowClassName[]; // "craterDipClass"
extern const wchar_t kWindowTitle[];     // "craterDip"

// InitInstance: the start-up sequence, from the single-instance check to the first frame on screen.
// True when the window is up and the game runs; false when the program is to end at once (another copy
// runs, or the class or the window could not be made). Called by WinMain after LoadSensorSdk.
bool InitInstance(HINSTANCE instance, int showCommand);

// RegisterMainWindowClass: registers the main window's class; the low 16 bits of the atom, 0 on failure.
// Called by InitInstance.
ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);

// SetScaleFactors: scaleX and scaleY for a screen of the given size in physical pixels (each size times the
// double nearest to 1/480 or 1/640, rounded to float). Called by InitInstance once, with the screen metrics.
void SetScaleFactors(int screenWidth, int screenHeight);

// MainWndProc: the main window's procedure; hands each message to the area that handles it.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// KeepAwake: resets the system's and the shell's idle timers and makes a silent key press and release, so
// the phone neither dims nor suspends while the game runs. Called by MainWndProc for IDT_KEEPAWAKE.
void KeepAwake();

// OnCommand: WM_COMMAND from the menu bar; looks at the low 16 bits of wParam only. Returns the message's
// result. Called by MainWndProc.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);

// OnInitMenuPopup: marks the current difficulty in the "Options" pop-up before it shows.
// Called by MainWndProc for every WM_INITMENUPOPUP.
void OnInitMenuPopup();

// AboutDialogProc: the About dialog's procedure; only the OK button ends it.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
