// MessageBoxW as the phone shows it: MB_TOPMOST places the box above all windows that are not topmost, so
// that a box with no owner is not lost behind the phone shell; the box takes the keyboard (keyboard.h). Each
// box and its answer go to the event trace.
//
// Wine creates the box without WS_EX_TOPMOST whatever the flag says: a CBT hook on the calling thread
// raises it as it is first activated, before it shows.
#include "coredll.h"
#include "keyboard.h"

#undef MessageBoxW

namespace {

thread_local HHOOK t_hook = nullptr;
thread_local bool t_raised = false;

bool IsDialogBox(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return lstrcmpW(className, L"#32770") == 0;
}

LRESULT CALLBACK RaiseMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && !t_raised && IsDialogBox(window)) {
        t_raised = true;
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

void TraceBox(LPCWSTR caption, LPCWSTR text) {
    char utf8Caption[256] = {}, utf8Text[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, caption ? caption : L"", -1, utf8Caption, sizeof utf8Caption - 1, nullptr,
                        nullptr);
    WideCharToMultiByte(CP_UTF8, 0, text ? text : L"", -1, utf8Text, sizeof utf8Text - 1, nullptr, nullptr);
    PhoneTrace("message box %s: %s", utf8Caption, utf8Text);
}

} // namespace

extern "C" int CeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    TraceBox(caption, text);
    KeepKeyboardWithActivation();
    int result = 0;
    if ((flags & MB_TOPMOST) == 0 || t_hook != nullptr) {
        result = MessageBoxW(owner, text, caption, flags);
    } else {
        t_raised = false;
        t_hook = SetWindowsHookExW(WH_CBT, RaiseMessageBox, nullptr, GetCurrentThreadId());
        result = MessageBoxW(owner, text, caption, flags);
        if (t_hook != nullptr) {
            UnhookWindowsHookEx(t_hook);
            t_hook = nullptr;
        }
    }
    PhoneTrace("message box answered %d", result);
    return result;
}
