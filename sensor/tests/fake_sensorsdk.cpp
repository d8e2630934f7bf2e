// Stand-ins for the sensor library, one build per form: FAKE_NOOPEN, FAKE_NODATA and FAKE_NOCLOSE each lack
// that entry point, FAKE_NULLOPEN opens to no handle, and a build with none of these is a good sensor. Each
// logs its calls in the exported "fakeCalls"; a handle it did not give out is logged as '?'. Built as
// "aygshell.dll" it is a shell library without the registry notification entries.
#include "HTCSensorSDK.h"

#include <stdio.h>
#include <string.h>

extern "C" __declspec(dllexport) char fakeCalls[64];
char fakeCalls[64];

static int g_sensorToken; // its address is the handle handed out

static DWORD Log(const char* call, HANDLE sensor) {
    snprintf(fakeCalls + strlen(fakeCalls), 16, "%s%s;", call, sensor == &g_sensorToken ? "" : "?");
    return 0;
}

#ifndef FAKE_NOOPEN
extern "C" __declspec(dllexport) HANDLE WINAPI HTCSensorOpen(DWORD sensor) {
    Log(sensor == HTC_SENSOR_TILT ? "open tilt" : "open other", &g_sensorToken);
#ifdef FAKE_NULLOPEN
    return nullptr;
#else
    return &g_sensorToken;
#endif
}
#endif

#ifndef FAKE_NOCLOSE
extern "C" __declspec(dllexport) DWORD WINAPI HTCSensorClose(HANDLE sensor) {
    return Log("close", sensor);
}
#endif

#ifndef FAKE_NODATA
// Writes the two tilt values only, so a caller that does not clear the record would show the rest.
extern "C" __declspec(dllexport) DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample) {
    sample->tiltX = -120;
    sample->tiltY = 35;
    return Log("read", sensor);
}
#endif
