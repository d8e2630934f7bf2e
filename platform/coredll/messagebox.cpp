// MessageBoxW with CE's MB_TOPMOST: the box is placed above all windows that are not topmost, so that a box
// with no owner is not lost behind the phone shell. Wine creates the box without WS_EX_TOPMOST whatever the
// flag says; a CBT hook on the calling thread raises it as it is first activated, before it shows.
#include "coredll.h"

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

} // namespace

extern "C" int CeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    if ((flags & MB_TOPMOST) == 0 || t_hook != nullptr) {
        return MessageBoxW(owner, text, caption, flags);
    }
    t_raised = false;
    t_hook = SetWindowsHookExW(WH_CBT, RaiseMessageBox, nullptr, GetCurrentThreadId());
    int result = MessageBoxW(owner, text, caption, flags);
    if (t_hook != nullptr) {
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    return result;
}
