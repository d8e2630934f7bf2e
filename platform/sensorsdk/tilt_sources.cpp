// The rules of the tilt sources: script parsing, the keyboard ramp, drag and stick scaling.
#include "tilt_sources.h"

#include "coredll.h"

#include <errno.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <sstream>

namespace tilt {

namespace {

int Clamp(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

// Reads one decimal integer from -32768 to 32767 at *cursor (leading blanks skipped); false otherwise.
bool ReadValue(const char** cursor, int16_t* value) {
    const char* start = *cursor;
    while (*start == ' ' || *start == '\t') {
        ++start;
    }
    if (!(*start == '-' || *start == '+' || (*start >= '0' && *start <= '9'))) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long parsed = strtol(start, &end, 10);
    if (end == start || (end == start + 1 && (*start == '-' || *start == '+')) || errno == ERANGE ||
        parsed < INT16_MIN || parsed > INT16_MAX) {
        return false;
    }
    *value = static_cast<int16_t>(parsed);
    *cursor = end;
    return true;
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r") == std::string::npos;
}

} // namespace

Script ParseScript(const std::string& text) {
    Script script;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::string content = line.substr(0, line.find('#'));
        if (IsBlank(content)) {
            continue;
        }
        Sample sample;
        const char* cursor = content.c_str();
        bool ok = ReadValue(&cursor, &sample.tiltX) && (*cursor == ' ' || *cursor == '\t') &&
                  ReadValue(&cursor, &sample.tiltY) && IsBlank(cursor);
        if (!ok) {
            sample = Sample();
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            script.problems.push_back("line " + std::to_string(number) + " \"" + line +
                                      "\" is not two integers from -32768 to 32767; read as 0 0");
        }
        script.samples.push_back(sample);
    }
    return script;
}

int NextRampTilt(AxisRamp* ramp, int direction, int fullTilt) {
    if (direction != ramp->direction) {
        ramp->direction = direction;
        ramp->heldSamples = 0;
    }
    if (direction == 0) {
        return 0;
    }
    ramp->heldSamples = std::min(ramp->heldSamples + 1, kRampSamples);
    return direction * fullTilt * ramp->heldSamples / kRampSamples;
}

int DragTilt(int pixels) {
    return Clamp(Clamp(pixels, -kLimit, kLimit) * kDragUnitsPerPixel, -kLimit, kLimit);
}

int StickTilt(int thumb, int fullTilt) {
    const int magnitude = std::min(std::abs(thumb), 32767);
    if (magnitude <= kStickDeadZone) {
        return 0;
    }
    const int tiltValue = (magnitude - kStickDeadZone) * fullTilt / (32767 - kStickDeadZone);
    return thumb < 0 ? -tiltValue : tiltValue;
}

int16_t Combine(int a, int b, int c) {
    return static_cast<int16_t>(Clamp(a + b + c, -kLimit, kLimit));
}

Front FrontOf(bool ours, const wchar_t* className, bool inMenu) {
    if (!ours) {
        return kFrontOther;
    }
    const bool popup = inMenu || wcscmp(className, L"#32768") == 0 || wcscmp(className, L"#32770") == 0;
    return popup ? kFrontGamePopup : kFrontGame;
}

Front ReadFront() {
    // The foreground thread's state in one request: its active window, and whether a menu is tracked.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(0, &gui) || gui.hwndActive == nullptr) {
        return kFrontNone;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(gui.hwndActive, &process);
    wchar_t className[16] = L"";
    GetClassNameW(gui.hwndActive, className, 16);
    return FrontOf(process == GetCurrentProcessId(), className, (gui.flags & GUI_INMENUMODE) != 0);
}

Sample LiveTilt(Front front, const LiveInput& input, AxisRamp* rampX, AxisRamp* rampY) {
    const bool keysCount = front == kFrontGame || front == kFrontNone;
    const bool tiltCounts = front != kFrontOther;
    const bool dragCounts = input.dragFront == kFrontGame;
    const int keyX = NextRampTilt(rampX, keysCount ? input.keysX : 0, kKeyFullTiltX);
    const int keyY = NextRampTilt(rampY, keysCount ? input.keysY : 0, kKeyFullTiltY);
    // Screen y grows downward: a drag up is a negative tiltY, as tipping the top edge away is.
    const int dragX = dragCounts ? DragTilt(input.cursorAt.x - input.pressedAt.x) : 0;
    const int dragY = dragCounts ? DragTilt(input.cursorAt.y - input.pressedAt.y) : 0;
    const int heldX = tiltCounts ? StickTilt(input.stickX, kStickFullTiltX) + input.phone.tiltX : 0;
    const int heldY = tiltCounts ? -StickTilt(input.stickY, kStickFullTiltY) + input.phone.tiltY : 0;
    Sample sample;
    sample.tiltX = Combine(keyX, dragX, heldX);
    sample.tiltY = Combine(keyY, dragY, heldY);
    return sample;
}

} // namespace tilt
