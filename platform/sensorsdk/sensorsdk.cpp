// HTCSensorSDK.dll: the phone's tilt sensor.
//
// The tilt comes from the scripted file named by CRATERDIP_TILT_SCRIPT when that variable is set (and then
// from nothing else, so a scripted round is repeatable), or else from the player's input, polled at each
// data request: the arrow and WASD keys (and the pad's D-pad) with a short ramp, a drag with the left mouse
// button held, the left stick of a connected XInput pad, and a real phone at the address named by
// CRATERDIP_PHONE (phone_source.h, polled on a thread of its own while a handle is open), added together.
// Live input only counts while this process's window is in front, or no window is; while a menu or box of
// this process is open, the keys and the d-pad belong to it and do not tilt (tilt_sources.h). Every sample
// handed out is also published in the shared record of tilt_shared.h.
//
// The 16 bytes after tiltX and tiltY hold: tiltZ (int16, the remaining gravity, negative with the screen up),
// two zero bytes, the number of the sample (DWORD, from 1 for each handle), the tick count when it was taken
// (DWORD) and four zero bytes.
#include "HTCSensorSDK.h"
#include "phone_source.h"
#include "tilt_shared.h"
#include "tilt_sources.h"

#include <math.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include <xinput.h>

#include <mutex>
#include <set>
#include <string>

#define SENSOR_API extern "C" __declspec(dllexport)

namespace {

struct Sensor {
    size_t scriptCursor = 0;
    DWORD samplesTaken = 0;
};

typedef DWORD(WINAPI* XInputGetStateProc)(DWORD user, XINPUT_STATE* state);

// Everything the library keeps, guarded by one lock: callers may request data from any thread.
struct Library {
    std::mutex lock;
    std::set<Sensor*> open;
    bool scriptChecked = false;
    bool scripted = false;
    tilt::Script script;
    tilt::AxisRamp rampX, rampY;
    bool dragging = false;
    POINT pressPoint = {};
    bool xinputTried = false;
    XInputGetStateProc xinputGetState = nullptr;
    HANDLE sharedMapping = nullptr;
    TiltShared* shared = nullptr;
    tilt::Front pressedOn = tilt::kFrontNone; // what the drag's press went down on
    phone::Source* phone = nullptr;           // made on the first open that asks for a phone, never freed
    ULONGLONG frontAskedTick = 0;             // when the live sources last asked which window is in front
    tilt::Front front = tilt::kFrontNone;     // and the answer
};

Library& State() {
    static Library library;
    return library;
}

// Reads the script once per process; its problems are reported once, on standard error.
void LoadScript(Library& lib) {
    if (lib.scriptChecked) {
        return;
    }
    lib.scriptChecked = true;
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", path, MAX_PATH);
    if (length == 0) {
        return;
    }
    lib.scripted = true;
    if (length >= MAX_PATH) {
        fprintf(stderr, "CRATERDIP_TILT_SCRIPT is too long; every sample reads 0 0\n");
        return;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "tilt script %ls cannot be read; every sample reads 0 0\n", path);
        return;
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    lib.script = tilt::ParseScript(text);
    for (const std::string& problem : lib.script.problems) {
        fprintf(stderr, "tilt script %ls: %s\n", path, problem.c_str());
    }
    fflush(stderr);
}

bool Held(int key) {
    return (GetAsyncKeyState(key) & 0x8001) != 0;
}

// What a press goes down on. A menu or box of ours still open takes it, whatever lies under the cursor; the
// window in front may not yet be ours when the press that activates the game is first seen.
tilt::Front PressedOn(POINT cursor) {
    HWND under = WindowFromPoint(cursor);
    DWORD process = 0;
    GetWindowThreadProcessId(under, &process);
    if (under == nullptr || process != GetCurrentProcessId()) {
        return tilt::kFrontOther;
    }
    wchar_t className[16] = L"";
    GetClassNameW(under, className, 16);
    if (tilt::FrontOf(true, className, false) == tilt::kFrontGamePopup ||
        tilt::ReadFront() == tilt::kFrontGamePopup) {
        return tilt::kFrontGamePopup;
    }
    return tilt::kFrontGame;
}

bool PadState(Library& lib, XINPUT_STATE* pad) {
    if (!lib.xinputTried) {
        lib.xinputTried = true;
        for (const wchar_t* name : {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"}) {
            HMODULE module = LoadLibraryW(name);
            if (module != nullptr) {
                lib.xinputGetState = reinterpret_cast<XInputGetStateProc>(
                    reinterpret_cast<void (*)()>(GetProcAddress(module, "XInputGetState")));
                if (lib.xinputGetState != nullptr) {
                    break;
                }
            }
        }
    }
    if (lib.xinputGetState == nullptr) {
        return false;
    }
    for (DWORD user = 0; user < XUSER_MAX_COUNT; ++user) {
        memset(pad, 0, sizeof *pad);
        if (lib.xinputGetState(user, pad) == ERROR_SUCCESS) {
            return true;
        }
    }
    return false;
}

tilt::Sample LiveSample(Library& lib) {
    tilt::LiveInput input;
    XINPUT_STATE pad;
    if (PadState(lib, &pad)) {
        const WORD buttons = pad.Gamepad.wButtons;
        input.keysX =
            ((buttons & XINPUT_GAMEPAD_DPAD_RIGHT) != 0) - ((buttons & XINPUT_GAMEPAD_DPAD_LEFT) != 0);
        input.keysY = ((buttons & XINPUT_GAMEPAD_DPAD_DOWN) != 0) - ((buttons & XINPUT_GAMEPAD_DPAD_UP) != 0);
        input.stickX = pad.Gamepad.sThumbLX;
        input.stickY = pad.Gamepad.sThumbLY;
    }
    // A key and the d-pad on the same side count once.
    input.keysX =
        (input.keysX > 0 || Held(VK_RIGHT) || Held('D')) - (input.keysX < 0 || Held(VK_LEFT) || Held('A'));
    input.keysY =
        (input.keysY > 0 || Held(VK_DOWN) || Held('S')) - (input.keysY < 0 || Held(VK_UP) || Held('W'));
    input.phone = lib.phone ? lib.phone->Latest() : tilt::Sample();

    // Asking what is in front costs a round trip to the window server, so only while a key, the d-pad or
    // the stick says something; and since a held phone is nearly always tilted, for it at most twice a
    // second.
    const bool handsOn = input.keysX || input.keysY || abs(input.stickX) > tilt::kStickDeadZone ||
                         abs(input.stickY) > tilt::kStickDeadZone;
    const bool phoneOn = input.phone.tiltX || input.phone.tiltY;
    if (handsOn || (phoneOn && GetTickCount64() - lib.frontAskedTick >= 500)) {
        lib.frontAskedTick = GetTickCount64();
        lib.front = tilt::ReadFront();
    }

    // A drag counts from where the button went down, and only when it went down on the game itself.
    POINT cursor;
    if ((GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0 && GetCursorPos(&cursor)) {
        if (!lib.dragging) {
            lib.dragging = true;
            lib.pressPoint = cursor;
            lib.pressedOn = PressedOn(cursor);
        }
        input.pressedAt = lib.pressPoint;
        input.cursorAt = cursor;
        input.dragFront = lib.pressedOn;
    } else {
        lib.dragging = false;
    }
    return tilt::LiveTilt(lib.front, input, &lib.rampX, &lib.rampY);
}

void Fill(TiltSample* out, const tilt::Sample& sample, DWORD number) {
    memset(out, 0, sizeof *out);
    out->tiltX = sample.tiltX;
    out->tiltY = sample.tiltY;
    const double flat =
        1000.0 * 1000.0 - double(sample.tiltX) * sample.tiltX - double(sample.tiltY) * sample.tiltY;
    const int16_t tiltZ = static_cast<int16_t>(flat > 0 ? -sqrt(flat) : 0);
    const DWORD tick = GetTickCount();
    memcpy(out->reserved + 0, &tiltZ, sizeof tiltZ);
    memcpy(out->reserved + 4, &number, sizeof number);
    memcpy(out->reserved + 8, &tick, sizeof tick);
}

} // namespace

// HTCSensorOpen(1) opens the tilt sensor; there is no other sensor.
SENSOR_API HANDLE WINAPI HTCSensorOpen(DWORD sensorKind) {
    if (sensorKind != HTC_SENSOR_TILT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Library& lib = State();
    std::lock_guard<std::mutex> hold(lib.lock);
    LoadScript(lib);
    if (lib.shared == nullptr) {
        lib.shared = OpenTiltShared(&lib.sharedMapping);
    }
    const DWORD length = GetEnvironmentVariableA("CRATERDIP_PHONE", nullptr, 0);
    if (lib.open.empty() && !lib.scripted && length > 0) {
        std::string address(length, '\0');
        address.resize(GetEnvironmentVariableA("CRATERDIP_PHONE", &address[0], length));
        if (lib.phone == nullptr) {
            lib.phone = new phone::Source;
        }
        lib.phone->Start(address, lib.shared);
    }
    Sensor* sensor = new Sensor;
    lib.open.insert(sensor);
    return sensor;
}

SENSOR_API DWORD WINAPI HTCSensorClose(HANDLE handle) {
    Library& lib = State();
    std::lock_guard<std::mutex> hold(lib.lock);
    Sensor* sensor = static_cast<Sensor*>(handle);
    if (lib.open.erase(sensor) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    delete sensor;
    if (lib.open.empty() && lib.phone != nullptr) {
        lib.phone->Stop();
    }
    return ERROR_SUCCESS;
}

SENSOR_API DWORD WINAPI HTCSensorGetDataOutput(HANDLE handle, TiltSample* out) {
    Library& lib = State();
    std::lock_guard<std::mutex> hold(lib.lock);
    Sensor* sensor = static_cast<Sensor*>(handle);
    if (out == nullptr || lib.open.count(sensor) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    tilt::Sample sample;
    if (lib.scripted) {
        if (sensor->scriptCursor < lib.script.samples.size()) {
            sample = lib.script.samples[sensor->scriptCursor];
        }
        ++sensor->scriptCursor;
    } else {
        sample = LiveSample(lib);
    }
    Fill(out, sample, ++sensor->samplesTaken);
    if (lib.shared != nullptr) {
        PublishTilt(lib.shared, sample.tiltX, sample.tiltY);
    }
    return ERROR_SUCCESS;
}
