// The sensor service: the start event, and the orientation written to the registry when it changes.
#include "sensorsvc.h"

#include "coredll.h"
#include "tilt_shared.h"

#include <stdlib.h>

#include <initializer_list>

namespace {

const wchar_t kStartEventName[] = L"HTC_GSENSOR_SERVICESTART";
const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";
const wchar_t kChangedValue[] = L"EventChanged";
const DWORD kPollMs = 50;  // how often a woken service looks at the tilt
const int kFlatTilt = 400; // below this on both axes the phone lies face up (about 24 degrees)

struct Service {
    HANDLE startEvent = nullptr;
    HANDLE stopEvent = nullptr;
    HANDLE worker = nullptr;
};
Service g_service;

const char* NameOf(DWORD orientation) {
    static const char* const names[] = {"portrait", "landscape", "face-up", "face-down"};
    return orientation < 4 ? names[orientation] : "unknown";
}

// The value last stored, or a value no orientation has when there is none.
DWORD StoredOrientation() {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSensorKey, kChangedValue, RRF_RT_REG_DWORD, &type, &value, &size) !=
        ERROR_SUCCESS) {
        return 0xFFFFFFFF;
    }
    return value;
}

void StoreOrientation(DWORD orientation) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSensorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, kChangedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&orientation),
                   sizeof orientation);
    RegCloseKey(key);
    PhoneTrace("gsensor %s", NameOf(orientation));
}

// Sleeps until the start event wakes it; from then on follows the published tilt until told to stop. Only a
// change of the orientation it derives is written, so a value written by someone else stays until the
// phone turns.
DWORD WINAPI Run(void*) {
    HANDLE mapping = nullptr;
    TiltShared* shared = OpenTiltShared(&mapping);
    bool awake = false;
    DWORD written = 0;
    HANDLE waits[] = {g_service.stopEvent, g_service.startEvent};
    for (;;) {
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, awake ? kPollMs : INFINITE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) {
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            ResetEvent(g_service.startEvent);
            if (!awake) {
                written = StoredOrientation();
            }
            awake = true;
        }
        int16_t tiltX, tiltY;
        LONG sequence;
        if (shared != nullptr && ReadTiltShared(shared, &tiltX, &tiltY, &sequence)) {
            DWORD now = OrientationOf(tiltX, tiltY);
            if (now != written) {
                StoreOrientation(now);
                written = now;
            }
        }
    }
    CloseTiltShared(shared, mapping);
    return 0;
}

} // namespace

SensorOrientation OrientationOf(int16_t tiltX, int16_t tiltY) {
    const int sideways = abs(tiltX);
    const int forward = abs(tiltY);
    if (sideways < kFlatTilt && forward < kFlatTilt) {
        return kOrientationFaceUp;
    }
    return sideways > forward ? kOrientationLandscape : kOrientationPortrait;
}

bool StartSensorService() {
    if (g_service.worker != nullptr) {
        return true;
    }
    g_service.startEvent = CreateEventW(nullptr, TRUE, FALSE, kStartEventName);
    g_service.stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_service.startEvent != nullptr && g_service.stopEvent != nullptr) {
        g_service.worker = CreateThread(nullptr, 0, Run, nullptr, 0, nullptr);
    }
    if (g_service.worker == nullptr) {
        StopSensorService();
        return false;
    }
    PhoneTrace("gsensor service started");
    return true;
}

void StopSensorService() {
    if (g_service.worker != nullptr) {
        SetEvent(g_service.stopEvent);
        WaitForSingleObject(g_service.worker, INFINITE);
        CloseHandle(g_service.worker);
        PhoneTrace("gsensor service stopped");
    }
    for (HANDLE h : {g_service.startEvent, g_service.stopEvent}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    g_service = Service();
}
