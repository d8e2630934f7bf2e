// sensor.h: the game's contact with the tilt sensor and the sensor service.
//
// All of it runs on the user-interface thread. Without the sensor library, or with a sensor that does not
// open, every sample reads 0 and 0 and the game plays on.
#pragma once

#include "game.h"

// LoadSensorSdk: loads "HTCSensorSDK.dll", binds its three entry points and opens the tilt sensor; shows
// "Unable to load Sensor DLL" or "Unable to find entry point" on failure and returns false then.
// Called by WinMain first, once per run, before any window exists.
bool LoadSensorSdk();

// ReadTiltSample: clears all 20 bytes of the sample and has the sensor fill it when there is one.
// Called by FlightTick (while the round runs and fuel is left) and by CalibrateTilt.
void ReadTiltSample(TiltSample* sample);

// CalibrateTilt: takes the current tilt as the rest position and saves it. Called for IDM_CALIBRATE.
void CalibrateTilt();

// StartSensorNotifications: wakes the sensor service and subscribes the window to its change notification.
// Called by InitInstance right after the main window is created.
bool StartSensorNotifications(HWND window);

// StopSensorNotifications: wakes the sensor service and ends the subscription.
// Called by WinMain after the message loop, right after CloseSensor.
bool StopSensorNotifications();

// CloseSensor: closes the sensor if one is open; always true. Called by WinMain after the message loop.
bool CloseSensor();

// OnSensorChanged: WM_SENSORCHANGED; repaints the whole window when lParam is the registration's user data.
// Called by MainWndProc, which then returns 0.
void OnSensorChanged(HWND window, WPARAM wParam, LPARAM lParam);

// The late-bound shell-library entries, loaded from "aygshell.dll" on first use and retried after a failure.
// Each returns 0 without calling anything when the library or the entry cannot be had.
HRESULT RegistryNotifyWindow(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND window, UINT message,
                             DWORD userData, NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify);
HRESULT RegistryCloseNotification(HREGNOTIFY notify);
