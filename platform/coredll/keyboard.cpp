// The keyboard follows the activation, as on the phone.
//
// Wine asks the X server for the keyboard with the time of the last message the thread took from its
// queue. When the X server has moved the keyboard later than that, because a window that held it has just
// gone (the game's window before its exit message, a box before its owner comes back), it refuses the
// request and every key goes to the desktop until another window is activated. So each activation is
// followed by a short timer whose message carries a fresh time, and the keyboard is asked for again from it.
#include "keyboard.h"

namespace {

const UINT_PTR kKeyboardTimer = 0x6B62; // an id no window of the game uses
const UINT kKeyboardAgainMs = 150;

thread_local HHOOK t_hook = nullptr;

// Moves the focus away and back, so that the window system asks for the keyboard again with the time of
// the timer message that runs this.
void CALLBACK AskForTheKeyboardAgain(HWND window, UINT, UINT_PTR timer, DWORD) {
    KillTimer(window, timer);
    if (GetActiveWindow() != window) {
        return; // another window came in front since, with its own timer
    }
    HWND focus = GetFocus();
    SetFocus(nullptr);
    SetFocus(focus != nullptr ? focus : window);
}

LRESULT CALLBACK FollowActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        SetTimer(reinterpret_cast<HWND>(wParam), kKeyboardTimer, kKeyboardAgainMs, AskForTheKeyboardAgain);
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

} // namespace

void KeepKeyboardWithActivation() {
    if (t_hook == nullptr) {
        t_hook = SetWindowsHookExW(WH_CBT, FollowActivation, nullptr, GetCurrentThreadId());
    }
}
