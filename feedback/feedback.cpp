// The sounds and the vibration at the end of a round.
#include "feedback.h"

#include <wchar.h>

namespace {

const int kPathLength = 260; // UTF-16 units, terminating zero included

// Plays the sound whose path `format` builds from the installation folder; silence when the file is
// missing. A path that would not fit the buffer counts as missing, so nothing is written past it.
void PlayAssetSound(const wchar_t* format) {
    wchar_t path[kPathLength];
    const int length = swprintf(path, kPathLength, format, g_state.installDir);
    if (length < 0 || length >= kPathLength) {
        return;
    }
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    PlaySoundW(path, nullptr, SND_FILENAME | SND_ASYNC);
}

} // namespace

// "%ls" is a wide string whichever printf family the runtime picks; the path is the folder, one backslash
// and the file name, with nothing else changed.
void PlayLandingFeedback() {
    PlayAssetSound(L"%ls\\cheer.wav");
}

void PlayCrashFeedback() {
    PlayAssetSound(L"%ls\\destroyed.wav");
    // The vibration runs on a thread of its own so the tick never waits for it; nobody joins it.
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, VibrateThread, nullptr, 0, &threadId);
    if (thread != nullptr) {
        CloseHandle(thread);
    }
}

DWORD WINAPI VibrateThread(LPVOID) {
    NLED_SETTINGS_INFO settings = {};
    settings.LedNum = 1;
    for (int pulse = 0; pulse < 3; ++pulse) {
        settings.OffOnBlink = 1;
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
        Sleep(70);
        settings.OffOnBlink = 0;
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
        Sleep(3);
    }
    return 0;
}
