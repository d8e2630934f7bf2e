// The game's contact with the tilt sensor library and the sensor service.
//
// The library is bound once per run: its three entry points are looked up in a fixed order and all stored
// before any is tested, so a library that lacks one keeps the others bound but is never opened. The shell
// library's two notification entries are bound on first use and tried again after a failure.
#include "sensor.h"

#include "app/settings.h"

#include <string.h>

namespace {

const wchar_t kErrorCaption[] = L"Error";
const wchar_t kServiceStartEvent[] = L"HTC_GSENSOR_SERVICESTART";
const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";
const wchar_t kSensorValue[] = L"EventChanged";
const DWORD kNotifyUserData = 1; // lParam of WM_SENSORCHANGED that asks for a repaint

// An entry point found by name, as the type its caller knows it by.
template <typename Entry> Entry EntryPoint(HMODULE module, const wchar_t* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddressW(module, name)));
}

void ShowError(HWND owner, const wchar_t* text) {
    MessageBoxW(owner, text, kErrorCaption, MB_TOPMOST);
}

// Signals the sensor service's start event. The event must already exist (the service creates it); when it
// did not, the service is not running and the failure is shown, owned by `owner`.
bool WakeSensorService(HWND owner) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, kServiceStartEvent);
    if (event == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
        if (event != nullptr) {
            CloseHandle(event);
        }
        ShowError(owner, L"Unable to create Sensor Event");
        return false;
    }
    SetEvent(event);
    CloseHandle(event);
    return true;
}

// Loads "aygshell.dll" and looks up `name` into *entry unless both are already had. False when either is
// still missing; nothing is remembered of a failure, so the next call tries again.
template <typename Entry> bool BindShellEntry(Entry* entry, const wchar_t* name) {
    if (g_state.aygshellModule == nullptr) {
        g_state.aygshellModule = LoadLibraryW(L"aygshell.dll");
        if (g_state.aygshellModule == nullptr) {
            return false;
        }
    }
    if (*entry == nullptr) {
        *entry = EntryPoint<Entry>(g_state.aygshellModule, name);
    }
    return *entry != nullptr;
}

} // namespace

bool LoadSensorSdk() {
    HMODULE library = LoadLibraryW(L"HTCSensorSDK.dll");
    if (library == nullptr) {
        ShowError(nullptr, L"Unable to load Sensor DLL");
        return false;
    }
    g_state.sensorOpenFn = EntryPoint<HTCSensorOpenProc>(library, L"HTCSensorOpen");
    g_state.sensorCloseFn = EntryPoint<HTCSensorCloseProc>(library, L"HTCSensorClose");
    g_state.sensorGetDataFn = EntryPoint<HTCSensorGetDataOutputProc>(library, L"HTCSensorGetDataOutput");
    if (g_state.sensorOpenFn == nullptr || g_state.sensorCloseFn == nullptr ||
        g_state.sensorGetDataFn == nullptr) {
        ShowError(nullptr, L"Unable to find entry point");
        return false;
    }
    // A null handle is not reported: it leaves the game without a sensor, as every use tests the handle.
    g_state.sensorHandle = g_state.sensorOpenFn(HTC_SENSOR_TILT);
    return true;
}

void ReadTiltSample(TiltSample* sample) {
    memset(sample, 0, sizeof *sample);
    if (g_state.sensorGetDataFn != nullptr && g_state.sensorHandle != nullptr) {
        g_state.sensorGetDataFn(g_state.sensorHandle, sample);
    }
}

void CalibrateTilt() {
    TiltSample sample;
    ReadTiltSample(&sample);
    // The new rest position holds from the next tick, whether or not it can be saved.
    g_state.calibTiltX = sample.tiltX;
    g_state.calibTiltY = sample.tiltY;
    SaveCalibration();
}

bool StartSensorNotifications(HWND window) {
    if (!WakeSensorService(window)) {
        return false;
    }
    g_state.notifyHandle = nullptr;
    RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, kSensorValue, window, WM_SENSORCHANGED,
                         kNotifyUserData, nullptr, &g_state.notifyHandle);
    return true;
}

bool StopSensorNotifications() {
    // The main window is gone by now, so a failure message has no owner.
    if (!WakeSensorService(nullptr)) {
        return false;
    }
    RegistryCloseNotification(g_state.notifyHandle);
    return true;
}

bool CloseSensor() {
    if (g_state.sensorCloseFn != nullptr && g_state.sensorHandle != nullptr) {
        g_state.sensorCloseFn(g_state.sensorHandle);
    }
    return true;
}

void OnSensorChanged(HWND window, WPARAM, LPARAM lParam) {
    if (lParam == static_cast<LPARAM>(kNotifyUserData)) {
        InvalidateRect(window, nullptr, FALSE);
    }
}

HRESULT RegistryNotifyWindow(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND window, UINT message,
                             DWORD userData, NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify) {
    if (!BindShellEntry(&g_state.notifyWindowFn, L"RegistryNotifyWindow")) {
        return 0;
    }
    return g_state.notifyWindowFn(root, subKey, valueName, window, message, userData, condition, notify);
}

HRESULT RegistryCloseNotification(HREGNOTIFY notify) {
    if (!BindShellEntry(&g_state.closeNotificationFn, L"RegistryCloseNotification")) {
        return 0;
    }
    return g_state.closeNotificationFn(notify);
}
