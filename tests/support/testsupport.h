// Helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <string>

// <folder of this test program>\<name>.
std::wstring BesideThisProgram(const std::wstring& name);

// A visible pop-up window of its own class for each window procedure.
HWND CreateTestWindow(int x, int y, int width, int height, WNDPROC procedure = DefWindowProcW);

// Runs this thread's messages until `done()` holds or `timeoutMs` passes; returns `done()`.
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !done();
         MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT)) {
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            DispatchMessageW(&message);
        }
        if (GetTickCount() - start > timeoutMs) {
            return done();
        }
    }
    return true;
}

// <temporary folder>\<name>.
std::wstring TempPath(const std::wstring& name);

// Stores a build-tree folder ("/x/y") as the game's "InstallDir", in Windows form on drive Z:.
void StoreInstallDir(const char* unixFolder);

// How many more GDI objects the process can create now (Wine's GetGuiResources answers 0): falls by one for
// every object alive.
int FreeGdiSlots();
