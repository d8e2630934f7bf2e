// Broken sensor libraries for the fault matrix, one per build: FAULT_NOOPEN, FAULT_NODATA and FAULT_NOCLOSE
// each lack that entry point; FAULT_NULLOPEN has all three but opens to no handle.
#include "HTCSensorSDK.h"

#define FAULT_API extern "C" __declspec(dllexport)

namespace {
[[maybe_unused]] int g_sensorToken; // its address is the handle handed out
} // namespace

#ifndef FAULT_NOOPEN
FAULT_API HANDLE WINAPI HTCSensorOpen(DWORD) {
#ifdef FAULT_NULLOPEN
    return nullptr;
#else
    return &g_sensorToken;
#endif
}
#endif

#ifndef FAULT_NOCLOSE
FAULT_API DWORD WINAPI HTCSensorClose(HANDLE) {
    return 0;
}
#endif

#ifndef FAULT_NODATA
FAULT_API DWORD WINAPI HTCSensorGetDataOutput(HANDLE, TiltSample* sample) {
    sample->tiltX = 0;
    sample->tiltY = -200; // full thrust: a game that read it would never fall freely
    return 0;
}
#endif
