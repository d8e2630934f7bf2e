// Helpers of the sensor tests: a watcher that sees and dismisses message boxes, and a window that counts
// its paints.
#pragma once

#include "game.h"
#include "testsupport.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One message box as the player saw it.
struct SeenBox {
    std::wstring text, caption;
    bool topmost;
    int buttons; // visible push buttons
    bool icon;   // a visible icon
    HWND owner;
};

// Watches this process's windows from a thread of its own; records each message box and presses its OK.
class BoxWatcher {
  public:
    BoxWatcher() : thread_([this] { Run(); }) {}
    ~BoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<SeenBox> Seen(); // the boxes seen since the last call

  private:
    void Run();
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> handled_;
    std::thread thread_;
};

// A visible window that counts its paints and background erases and hands WM_SENSORCHANGED to
// OnSensorChanged, recording each lParam, as the main window does.
struct PaintCounts {
    int paints = 0, erases = 0;
    std::vector<LPARAM> sensorChanges;
};
extern PaintCounts g_paintCounts;
HWND CreateCountingWindow();

// Checks that `box` is the library's "Error" report: `text`, topmost, one button, no icon, owned by `owner`.
void ExpectErrorBox(const SeenBox& box, const wchar_t* text, HWND owner);

// Forgets every binding and unloads the libraries it loaded, so that each case starts as a fresh run.
void ResetSensorBinding();
