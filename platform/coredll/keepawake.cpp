// Keeping the phone awake: the CE idle-timer reset and the silent key event, which the desktop lacks.
#include "coredll.h"

#undef keybd_event

extern "C" void SystemIdleTimerReset(void) {
    // Counts as activity for both the display and the system idle timers, like a key press would.
    SetThreadExecutionState(ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
}

extern "C" void CeKeybdEvent(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo) {
    // CE's silent event only tells the system that the user is there; the desktop would read flag 4 as a
    // Unicode injection and type a character into whatever has the focus.
    if (flags & KEYEVENTF_SILENT) {
        SystemIdleTimerReset();
        return;
    }
    keybd_event(virtualKey, scanCode, flags, extraInfo);
}
