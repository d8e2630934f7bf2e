// Stand-ins for the sensor library, one build per form; each build defines the four FAKE_ macros as 0 or 1:
// FAKE_NOOPEN, FAKE_NODATA and FAKE_NOCLOSE each lack that entry point, FAKE_NULLOPEN opens to no handle,
// and a build with none of them is a good sensor. Each logs its calls in the exported "fakeCalls", with a '?'
// after a call given a handle it did not hand out. Built as "aygshell.dll" it is a shell library without the
// registry notification entries.
#include "HTCSensorSDK.h"

#include <string.h>

extern "C" {

__declspec(dllexport) char fakeCalls[64];
static int g_sensorToken; // its address is the handle handed out

#if !FAKE_NOOPEN
__declspec(dllexport) HANDLE WINAPI HTCSensorOpen(DWORD sensor) {
    strcat(fakeCalls, sensor == HTC_SENSOR_TILT ? "open tilt;" : "open other;");
    return FAKE_NULLOPEN ? nullptr : &g_sensorToken;
}
#endif

#if !FAKE_NOCLOSE
__declspec(dllexport) DWORD WINAPI HTCSensorClose(HANDLE sensor) {
    strcat(fakeCalls, sensor == &g_sensorToken ? "close;" : "close?;");
    return 0;
}
#endif

#if !FAKE_NODATA
// Writes the two tilt values only, so a caller that does not clear the record would show the rest.
__declspec(dllexport) DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample) {
    sample->tiltX = -120, sample->tiltY = 35;
    strcat(fakeCalls, sensor == &g_sensorToken ? "read;" : "read?;");
    return 0;
}
#endif
}
