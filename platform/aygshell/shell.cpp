// The shell's start-up and idle-timer entries.
#include "aygshell.h"

#include <commctrl.h>

extern "C" BOOL WINAPI SHInitExtraControls(void) {
    // The menu bar draws its own buttons; the common controls are registered for anything else that asks.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    return TRUE;
}

extern "C" void WINAPI SHIdleTimerReset(void) {
    SetThreadExecutionState(ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
}
