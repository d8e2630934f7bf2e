// Helpers of the sensor tests: a watcher that sees and dismisses message boxes, a real window that counts
// its paints, and the folders of the stand-in libraries.
#pragma once

#include "game.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One message box as the player saw it.
struct SeenBox {
    std::wstring text;
    std::wstring caption;
    bool topmost;
    int buttons;             // visible push buttons
    std::wstring buttonText; // of the last one
    bool icon;               // a visible icon
    HWND owner;
};

// Watches this process's windows from a thread of its own; records each message box and presses its OK.
class BoxWatcher {
  public:
    BoxWatcher();
    ~BoxWatcher();
    std::vector<SeenBox> Seen(); // the boxes seen so far; clears the list

  private:
    void Run();
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> handled_;
    std::thread thread_;
};

// A visible window that counts its paints and background erases and records WM_SENSORCHANGED messages
// (answered by OnSensorChanged, as the main window does).
struct PaintCounts {
    int paints = 0;
    int erases = 0;
    std::vector<LPARAM> sensorChanges;
};
extern PaintCounts g_paintCounts;
HWND CreateCountingWindow();

// Runs the messages of this thread until `done` holds or `timeoutMs` passes; returns `done()`.
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// A folder beside this test program: "variants\good" and the like, or "..\bin" (the shell library).
std::wstring BesideTest(const wchar_t* relative);

// Forgets every binding and the libraries it loaded, so each case starts as a fresh run.
void ResetSensorBinding();
