// coredll.h: the phone's core library, as the game sees it.
//
// Every game source includes this header instead of <windows.h>. It brings in the desktop Win32 headers and
// then supplies what Windows CE has and the desktop lacks, or does differently, so that the game can call the
// platform by the names it uses on the phone. The replacements live in the static library `coredll_compat`,
// which every program of ours links.
//
// Nothing here changes the game's behaviour: each replacement gives the CE result the game relies on.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>
#include <mmsystem.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Pseudo-random numbers
// Random: uniform unsigned 32-bit values. Seeded on first use from the decimal value of the environment
// variable CRATERDIP_SEED when it is set (so that a run can be repeated), else from the clock. Called by
// NewRound, once per round.
DWORD Random(void);

// ---- Run-time binding
// GetProcAddressW: CE looks entry points up by a wide name. Called by the sensor binding.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);

// ---- Registry
// CE ignores the access argument; the desktop grants nothing for 0, so that queries and writes on the key
// then fail with ERROR_ACCESS_DENIED. These map an access of 0 to the rights the calls need. Called by the
// settings store.
LONG CeRegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG CeRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                       REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
#define RegOpenKeyExW CeRegOpenKeyExW
#define RegCreateKeyExW CeRegCreateKeyExW

// ---- Windows
// CE places a top-level WS_VISIBLE window created with CW_USEDEFAULT over the whole work area, without a
// caption. Called by start-up.
HWND CeCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                       int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
#define CreateWindowExW CeCreateWindowExW

// On CE the lowest bit of the handle asks for the window and the windows it owns to come to the front; on the
// desktop that bit makes the handle invalid. Called by start-up's single-instance check.
BOOL CeSetForegroundWindow(HWND window);
#define SetForegroundWindow CeSetForegroundWindow

// CE's MB_TOPMOST puts a message box above every other window; Wine ignores the flag. Called by the sensor
// binding's failure messages.
int CeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags);
#define MessageBoxW CeMessageBoxW

// ---- Keeping the phone awake
// Flag 4 is KEYEVENTF_SILENT on CE (a key event without a click); on the desktop it means a Unicode
// injection. A silent event only counts as user activity, so it resets the idle timers. Called by KeepAwake.
#define KEYEVENTF_SILENT 0x0004
void CeKeybdEvent(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo);
#define keybd_event CeKeybdEvent

// SystemIdleTimerReset: keeps the display and the system from idling off. Called by KeepAwake.
void SystemIdleTimerReset(void);

// ---- Notification LEDs
// NLedSetDevice with NLED_SETTINGS_INFO_ID switches a notification LED. LED 1 is the vibrator: each switch is
// written to the phone's event trace, rumbles an XInput pad when one is connected, and is posted to the phone
// shell's taskbar as PHONE_VIBRATOR_MESSAGE (wParam 1 on, 0 off) so that a player without a pad sees it.
// Called by the vibration thread.
#define PHONE_VIBRATOR_MESSAGE L"craterDipVibrator"
#define NLED_SETTINGS_INFO_ID 2
typedef struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
} NLED_SETTINGS_INFO;
BOOL NLedSetDevice(UINT deviceId, void* input);

// ---- Sounds
// PlaySoundW, with every request also written to the phone's event trace (a test machine has no speaker).
// Called by the landing and crash feedback.
BOOL CePlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);
#define PlaySoundW CePlaySoundW

// ---- The phone's event trace
// PhoneTrace appends one line, "<milliseconds> <text>", to the file named by CRATERDIP_TRACE, when that
// variable is set; several processes may append at once. Called by the platform pieces above and by the
// phone's own programs; the game itself never calls it.
void PhoneTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

#ifdef __cplusplus
}
#endif

// ---- Entry point
// CE hands WinMain a wide command line; mingw calls that entry wWinMain (linked with -municode).
#define WinMain wWinMain
