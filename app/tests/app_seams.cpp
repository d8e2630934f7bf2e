#include "app_seams.h"

#include "sensor/sensor.h"

#include <string.h>

AppSeams g_appSeams;

bool StartSensorNotifications(HWND window) {
    ++g_appSeams.notificationsStarted;
    g_appSeams.notifiedWindow = window;
    return true;
}

void CalibrateTilt() {
    ++g_appSeams.calibrations;
}

void OnSensorChanged(HWND, WPARAM, LPARAM) {
    ++g_appSeams.sensorChanges;
}

// The lander falls freely: no tilt.
void ReadTiltSample(TiltSample* sample) {
    memset(sample, 0, sizeof *sample);
}

extern "C" void SystemIdleTimerReset(void) {
    ++g_appSeams.idleResets;
}

extern "C" void CeKeybdEvent(BYTE, BYTE, DWORD flags, ULONG_PTR) {
    g_appSeams.keyEventFlags.push_back(flags);
}
