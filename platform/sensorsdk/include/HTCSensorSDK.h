// HTCSensorSDK.h: the phone maker's tilt sensor library, as its callers see it.
//
// The game loads "HTCSensorSDK.dll" at run time and binds the three entry points by name.
#pragma once

#include "coredll.h"

// One reading. The library fills all 20 bytes; callers use the two leading signed 16-bit values only.
typedef struct TiltSample {
    int16_t tiltX; // sideways tilt: positive when the phone's right edge is lowered
    int16_t tiltY; // forward tilt: negative when the phone's top edge is tipped away from the player
    uint8_t reserved[16];
} TiltSample;

#ifdef __cplusplus
static_assert(sizeof(TiltSample) == 20, "TiltSample is the phone's 20-byte record");
#endif

// The argument of HTCSensorOpen that selects the tilt (gravity) sensor.
#define HTC_SENSOR_TILT 1

// HTCSensorOpen(sensor): a handle for the sensor, or null.
typedef HANDLE(WINAPI* HTCSensorOpenProc)(DWORD sensor);
// HTCSensorClose(handle): releases the handle.
typedef DWORD(WINAPI* HTCSensorCloseProc)(HANDLE sensor);
// HTCSensorGetDataOutput(handle, sample): fills the sample with the current reading.
typedef DWORD(WINAPI* HTCSensorGetDataOutputProc)(HANDLE sensor, TiltSample* sample);
