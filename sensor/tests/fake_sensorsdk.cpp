// Stand-ins for the sensor library, built in three forms: FAKE_GOOD (all entry points), FAKE_NOCLOSE (lacks
// only "HTCSensorClose") and FAKE_NULLOPEN (HTCSensorOpen gives no handle). Each logs its calls in the
// exported "fakeCalls"; a handle it did not give out is logged as '?'.
#include "HTCSensorSDK.h"

#include <stdio.h>
#include <string.h>

extern "C" {
__declspec(dllexport) char fakeCalls[64];
}

namespace {

int g_sensorToken; // its address is the handle handed out

DWORD Log(const char* call, HANDLE sensor) {
    snprintf(fakeCalls + strlen(fakeCalls), 16, "%s%s;", call, sensor == &g_sensorToken ? "" : "?");
    return 0;
}

} // namespace

extern "C" __declspec(dllexport) HANDLE WINAPI HTCSensorOpen(DWORD sensor) {
    Log(sensor == HTC_SENSOR_TILT ? "open tilt" : "open other", &g_sensorToken);
#ifdef FAKE_NULLOPEN
    return nullptr;
#else
    return &g_sensorToken;
#endif
}

#ifndef FAKE_NOCLOSE
extern "C" __declspec(dllexport) DWORD WINAPI HTCSensorClose(HANDLE sensor) {
    return Log("close", sensor);
}
#endif

// Writes the two tilt values only, so a caller that does not clear the record would show the rest.
extern "C" __declspec(dllexport) DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample) {
    sample->tiltX = -120;
    sample->tiltY = 35;
    return Log("read", sensor);
}
