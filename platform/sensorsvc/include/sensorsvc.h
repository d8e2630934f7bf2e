// sensorsvc.h: the phone maker's sensor service, hosted by the phone shell.
//
// The service keeps the named event "HTC_GSENSOR_SERVICESTART" (manual reset) that programs signal to wake
// it. Once woken it follows the tilt the sensor library publishes (tilt_shared.h) and writes the phone's
// orientation to HKLM "Software\HTC\HTCSensor\GSensor" "EventChanged" (a REG_DWORD, see SensorOrientation)
// whenever it changes; programs watch that value for change notifications.
#pragma once

#include <stdint.h>

// Orientations as stored in "EventChanged". Derived from the tilt: near flat is face up, otherwise the axis
// tipped further decides between portrait (the forward axis) and landscape (the sideways axis).
enum SensorOrientation {
    kOrientationPortrait = 0,
    kOrientationLandscape = 1,
    kOrientationFaceUp = 2,
    kOrientationFaceDown = 3,
};

// The orientation of a phone whose tilt reads tiltX and tiltY. The tilt sources never turn the phone over,
// so face down is not derived from them.
SensorOrientation OrientationOf(int16_t tiltX, int16_t tiltY);

// StartSensorService: creates the start event and the service's worker thread. True when the service runs
// (also when it already ran). Called by the phone shell at start.
bool StartSensorService();

// StopSensorService: ends the worker and releases the event. Called by the phone shell before it exits.
void StopSensorService();
