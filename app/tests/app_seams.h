// Link seams of the shell's in-process tests. The sensor's side is replaced (no sensor service runs in a
// test, and its failure boxes would wait for a click), and so are the core library's idle-timer calls, so
// that keep-awake can be seen. Pictures, settings, the tick and the feedback are the real ones.
#pragma once

#include "game.h"

#include <vector>

struct AppSeams {
    int notificationsStarted = 0;
    HWND notifiedWindow = nullptr;
    int calibrations = 0;
    int sensorChanges = 0;
    int idleResets = 0;
    std::vector<DWORD> keyEventFlags; // flags of each keybd_event, in order
};
extern AppSeams g_appSeams;
