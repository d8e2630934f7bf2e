// What the stand-in sensor libraries saw, and the tilt they report.
#pragma once

#include "coredll.h"

struct FakeSensorCallCounts {
    int opens;
    DWORD lastOpenArgument;
    int closes;
    HANDLE lastClosed;
    int reads;
    HANDLE lastRead;
    int16_t tiltX; // reported by every data request
    int16_t tiltY;
};

typedef FakeSensorCallCounts* (*FakeSensorCallsProc)();
