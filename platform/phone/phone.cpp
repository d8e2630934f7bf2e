// phone.exe: the phone's own process. It puts up the taskbar and the work area, hosts the sensor service,
// starts the game and ends when the game ends.
#include "phone.h"
#include "sensorsvc.h"

#include <shellapi.h>
#include <stdio.h>
#include <wchar.h>

namespace {

const UINT kRetryCloseMs = 100;

struct Phone {
    HANDLE game = nullptr;
    bool closeRequested = false;
};
Phone g_phone;

// Closes the game as its Exit command does: WM_CLOSE to its main window. Until the window exists (the game
// may still be starting) the timer tries again.
void CALLBACK CloseGame(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(L"craterDipClass", L"craterDip");
    if (!window) {
        SetTimer(nullptr, timer, kRetryCloseMs, CloseGame);
        return;
    }
    KillTimer(nullptr, timer);
    if (!g_phone.closeRequested) {
        g_phone.closeRequested = true;
        PhoneTrace("phone closing the game");
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
}

// The game is craterDip.exe in the phone's own folder, which is the installation folder.
bool GamePath(const PhoneOptions& options, wchar_t* path) {
    if (options.game[0]) {
        wcscpy(path, options.game);
        return true;
    }
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash || (slash - path) + 1 + wcslen(L"craterDip.exe") >= MAX_PATH) {
        return false;
    }
    wcscpy(slash + 1, L"craterDip.exe");
    return true;
}

HANDLE StartGame(const wchar_t* path) {
    wchar_t folder[MAX_PATH];
    wcscpy(folder, path);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (slash) {
        *slash = 0;
    }
    wchar_t commandLine[MAX_PATH + 2];
    swprintf(commandLine, MAX_PATH + 2, L"\"%ls\"", path);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, slash ? folder : nullptr,
                        &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Dispatches messages until the game ends (or, with no game, until the quit message); the game's exit code.
DWORD RunUntilGameEnds() {
    for (;;) {
        const DWORD count = g_phone.game ? 1 : 0;
        DWORD woken = MsgWaitForMultipleObjects(count, &g_phone.game, FALSE, INFINITE, QS_ALLINPUT);
        if (count && woken == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(g_phone.game, &code);
            return code;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<DWORD>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    PhoneOptions options;
    wchar_t error[160];
    if (!argv || !ParsePhoneOptions(argc - 1, argv + 1, &options, error, 160)) {
        fwprintf(stderr, L"phone: %ls\n", argv ? error : L"cannot read the command line");
        return 2;
    }
    LocalFree(argv);

    if (!CreateTaskbar(instance)) {
        fwprintf(stderr, L"phone: cannot create the taskbar\n");
        return 3;
    }
    if (options.hostService && !StartSensorService()) {
        fwprintf(stderr, L"phone: the sensor service did not start\n");
    }
    PhoneTrace("phone up %dx%d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));

    DWORD exitCode = 0;
    if (options.startGame) {
        wchar_t path[MAX_PATH];
        if (!GamePath(options, path) || !(g_phone.game = StartGame(path))) {
            fwprintf(stderr, L"phone: cannot start the game (%ls)\n", options.game[0] ? options.game : path);
            if (options.hostService) {
                StopSensorService();
            }
            return 4;
        }
        PhoneTrace("game started");
    }
    if (options.exitAfterSeconds >= 0) {
        // A thread timer: the system picks its id, which CloseGame receives to reschedule or end it.
        SetTimer(nullptr, 0, static_cast<UINT>(options.exitAfterSeconds) * 1000, CloseGame);
    }
    exitCode = RunUntilGameEnds();
    if (g_phone.game) {
        PhoneTrace("game exited %lu", static_cast<unsigned long>(exitCode));
        CloseHandle(g_phone.game);
    }
    if (options.hostService) {
        StopSensorService();
    }
    PhoneTrace("phone down");
    return static_cast<int>(exitCode);
}
