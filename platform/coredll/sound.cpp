// Sounds: every request goes to the phone's event trace as well as to the desktop's PlaySoundW, so that a
// machine without a speaker still shows what was played.
#include "coredll.h"

#undef PlaySoundW

extern "C" BOOL CePlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
    if (sound != nullptr) {
        // The trace is UTF-8 text; the path is converted whole (a failed conversion still leaves a line).
        char utf8[4 * MAX_PATH] = {};
        WideCharToMultiByte(CP_UTF8, 0, sound, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
        PhoneTrace("sound %s", utf8);
    }
    return PlaySoundW(sound, module, flags);
}
