// Notification LEDs. The phone's LED 1 is its vibrator: here every switch is written to the event trace, and
// LED 1 also rumbles each connected XInput pad, so a player with a gamepad feels the crash, and is shown on
// the phone shell's taskbar, so a player without one sees it.
#include "coredll.h"

#include <xinput.h>

namespace {

typedef DWORD(WINAPI* XInputGetStateProc)(DWORD pad, XINPUT_STATE* state);
typedef DWORD(WINAPI* XInputSetStateProc)(DWORD pad, XINPUT_VIBRATION* vibration);

struct XInputBinding {
    XInputGetStateProc getState = nullptr;
    XInputSetStateProc setState = nullptr;
};

// XInput is optional: bound once, from the first library that has both entries; never unloaded.
const XInputBinding& BindXInput() {
    static const XInputBinding binding = [] {
        XInputBinding found;
        static const wchar_t* const names[] = {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"};
        for (const wchar_t* name : names) {
            HMODULE module = LoadLibraryW(name);
            if (module == nullptr) {
                continue;
            }
            found.getState = reinterpret_cast<XInputGetStateProc>(
                reinterpret_cast<void*>(GetProcAddress(module, "XInputGetState")));
            found.setState = reinterpret_cast<XInputSetStateProc>(
                reinterpret_cast<void*>(GetProcAddress(module, "XInputSetState")));
            if (found.getState != nullptr && found.setState != nullptr) {
                break;
            }
            found = XInputBinding();
        }
        return found;
    }();
    return binding;
}

void Rumble(bool on) {
    const XInputBinding& xinput = BindXInput();
    if (xinput.getState == nullptr) {
        return;
    }
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad) {
        XINPUT_STATE state = {};
        if (xinput.getState(pad, &state) != ERROR_SUCCESS) {
            continue; // no pad in this slot
        }
        XINPUT_VIBRATION vibration = {};
        vibration.wLeftMotorSpeed = on ? 65535 : 0;
        vibration.wRightMotorSpeed = on ? 65535 : 0;
        xinput.setState(pad, &vibration);
    }
}

// Posted, not sent: the vibration thread must not wait on the shell, and a missing shell only means nobody
// looks.
void ShowOnTaskbar(bool on) {
    static const UINT message = RegisterWindowMessageW(PHONE_VIBRATOR_MESSAGE);
    HWND taskbar = FindWindowW(L"craterDipTaskbar", nullptr);
    if (taskbar != nullptr) {
        PostMessageW(taskbar, message, on ? 1 : 0, 0);
    }
}

} // namespace

extern "C" BOOL NLedSetDevice(UINT deviceId, void* input) {
    if (deviceId != NLED_SETTINGS_INFO_ID || input == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const NLED_SETTINGS_INFO* settings = static_cast<const NLED_SETTINGS_INFO*>(input);
    // OffOnBlink: 0 off, 1 on, 2 blink (a vibrator cannot blink; it runs).
    if (settings->OffOnBlink < 0 || settings->OffOnBlink > 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool on = settings->OffOnBlink != 0;
    PhoneTrace("led %u %s", settings->LedNum, on ? "on" : "off");
    if (settings->LedNum == 1) {
        Rumble(on);
        ShowOnTaskbar(on);
    }
    return TRUE;
}
