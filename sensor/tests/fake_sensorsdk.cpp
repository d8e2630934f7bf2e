// Stand-ins for the sensor library, built in three forms: FAKE_GOOD (all entry points, counting calls),
// FAKE_NOCLOSE (lacks only "HTCSensorClose") and FAKE_NULLOPEN (HTCSensorOpen gives no handle).
// FakeSensorCalls lets the test see every call.
#include "HTCSensorSDK.h"

#include "fake_sensor_calls.h"

#define FAKE_API extern "C" __declspec(dllexport)

namespace {

FakeSensorCallCounts g_calls;
[[maybe_unused]] int g_sensorToken; // the address handed out as the handle

} // namespace

FAKE_API FakeSensorCallCounts* FakeSensorCalls() {
    return &g_calls;
}

FAKE_API HANDLE WINAPI HTCSensorOpen(DWORD sensor) {
    ++g_calls.opens;
    g_calls.lastOpenArgument = sensor;
#ifdef FAKE_NULLOPEN
    return nullptr;
#else
    return &g_sensorToken;
#endif
}

#ifndef FAKE_NOCLOSE
FAKE_API DWORD WINAPI HTCSensorClose(HANDLE sensor) {
    ++g_calls.closes;
    g_calls.lastClosed = sensor;
    return 0;
}
#endif

// Writes the two tilt values only, so a caller that does not clear the record would show the rest.
FAKE_API DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample) {
    ++g_calls.reads;
    g_calls.lastRead = sensor;
    sample->tiltX = g_calls.tiltX;
    sample->tiltY = g_calls.tiltY;
    return 0;
}
