// The shell in-process, with the real window procedure, menu bar, pictures, settings, sensor handling and
// tick: what the end-to-end suite cannot see from outside. The scale factors, the back buffer above the menu
// bar, the radio mark of a stored difficulty, a second start, each message's result and effect (a paint seen
// by the explosion frame it counts down), the shutdown's releases and save, and About's cancel and result.
#include "app.h"
#include "res/resource.h"
#include "sensor/sensor.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

// Link seams: the core library's idle-timer calls are recorded so that keep-awake can be seen.
std::vector<DWORD> g_awake; // in order: 0 for an idle-timer reset, a key event's arguments packed
extern "C" void SystemIdleTimerReset(void) {
    g_awake.push_back(0);
}
extern "C" void CeKeybdEvent(BYTE key, BYTE scan, DWORD flags, ULONG_PTR extra) {
    g_awake.push_back(flags | key << 8 | scan << 16 | DWORD(extra) << 24);
}

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
// The sensor service's start event, held as a running service holds it: waking the service then succeeds
// (a failure would show a box that waits for a click).
const HANDLE g_serviceEvent = CreateEventW(nullptr, TRUE, FALSE, L"HTC_GSENSOR_SERVICESTART");

// Each size times the double nearest to 1/480 or 1/640, rounded to float: exact for the halves, and the
// float nearest to 2/3 for 320 wide.
TEST(ScaleFactors, ScreenOverTheDesignScreen) {
    const float cases[][4] = {{480, 640, 1.0f, 1.0f}, {240, 320, 0.5f, 0.5f}, {320, 240, 2 / 3.0f, 0.375f}};
    for (const auto& c : cases) {
        SetScaleFactors(int(c[0]), int(c[1]));
        EXPECT_EQ(std::vector<float>({c[2], c[3]}), std::vector<float>({g_state.scaleX, g_state.scaleY}))
            << c[0] << "x" << c[1];
    }
}

class Shell : public testing::Test {
  protected:
    void Start(HINSTANCE instance = GetModuleHandleW(nullptr)) {
        RECT area = {10, 52, 490, 640};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
        StoreInstallDir(CRATERDIP_ASSET_DIR);
        g_state = GameState();
        ASSERT_TRUE(InitInstance(instance_ = instance, SW_SHOW));
    }
    // Ends the game if it still runs and forgets its class and settings, as a new process on a fresh phone.
    void TearDown() override {
        DestroyWindow(g_state.mainWindow);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        }
        StopSensorNotifications();
        UnregisterClassW(kWindowClassName, instance_);
        DeleteDC(g_state.backBuffer);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        g_state = GameState();
    }
    LRESULT Send(UINT m, WPARAM w, LPARAM l = 0) { return SendMessageW(g_state.mainWindow, m, w, l); }
    HINSTANCE instance_ = nullptr;
};

// The window is fitted above the 52-px menu bar at the bottom of the work area, and the back buffer reaches
// to its right and bottom edges (not its width and height); the window has no extended style. Without a bar
// (aygshell.dll has no menu-bar resources) the window keeps its place. The pop-up the bar hands out marks the
// stored difficulty (Easy to Expert, "x" marked); a level outside 0..3 names a radio id outside the group
// (120 + level, which must not overflow for INT_MAX), so nothing is marked. The scale factors come from the
// screen, both timers run, and the window is subscribed to the sensor service's changes.
TEST_F(Shell, StartUpFitsAboveTheMenuBarAndMarksTheStoredDifficulty) {
    const std::tuple<DWORD, bool, std::string> cases[] = {{1, true, "-x--"},   {2, false, "----"},
                                                          {3, true, "---x"},   {4, true, "----"},
                                                          {~0u, true, "----"}, {0x7FFFFFFF, true, "----"}};
    for (const auto& [level, bar, marks] : cases) {
        SCOPED_TRACE(testing::Message() << "level " << level << (bar ? "" : " without a bar"));
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", REG_DWORD, &level, sizeof level);
        Start(GetModuleHandleW(bar ? nullptr : L"aygshell.dll"));
        BITMAP buffer = {};
        GetObjectW(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP), sizeof buffer, &buffer);
        RECT placed = {};
        GetWindowRect(g_state.mainWindow, &placed);
        const LONG bottom = bar ? 588 : 640;
        EXPECT_EQ(std::vector<LONG>({10, 52, 490, bottom, 490, bottom, 0}),
                  std::vector<LONG>({placed.left, placed.top, placed.right, placed.bottom, buffer.bmWidth,
                                     buffer.bmHeight, GetWindowLongW(g_state.mainWindow, GWL_EXSTYLE)}));
        EXPECT_EQ(0, Send(WM_INITMENUPOPUP, 0));
        const auto popup = HMENU(SendMessageW(g_state.menuBar, SHCMBM_GETSUBMENU, 0, IDM_OPTIONS));
        std::string marked;
        for (UINT id = IDM_EASY; id <= IDM_EXPERT; ++id) {
            marked += popup && (GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED) ? "x" : "-";
        }
        EXPECT_EQ(marks, marked);
        EXPECT_FLOAT_EQ(GetSystemMetrics(SM_CXSCREEN) / 480.0f, g_state.scaleX);
        EXPECT_FLOAT_EQ(GetSystemMetrics(SM_CYSCREEN) / 640.0f, g_state.scaleY);
        EXPECT_TRUE(KillTimer(g_state.mainWindow, IDT_GAME) && KillTimer(g_state.mainWindow, IDT_KEEPAWAKE));
        EXPECT_NE(nullptr, g_state.notifyHandle) << "subscribed to the sensor service's changes";
        TearDown();
    }
}

// Each message's result and what it did: "round" (a pad placed anew), "tick" (the lander moved),
// "level N", "calibrated" (the rest position taken from the sensor, here none: 0), "awake" (the idle timers
// reset around a silent press and release of key 0), "paint" (the paint that follows drew the scene, which
// counts a crashed round's explosion down a frame). Only the sensor registration's user data (lParam 1)
// repaints. WM_GETTEXTLENGTH gets the default handling (the title's 9 letters), and so do commands the game
// does not know; the notification code in a command's high word does not matter.
TEST_F(Shell, MessagesAndCommandsGetTheirResultAndEffect) {
    Start();
    KillTimer(g_state.mainWindow, IDT_GAME);
    const std::tuple<UINT, WPARAM, LPARAM, LRESULT, std::string> cases[] = {
        {WM_ERASEBKGND, 0, 0, -1, ""},
        {WM_TIMER, IDT_GAME, 0, 0, "tick paint"},
        {WM_TIMER, IDT_KEEPAWAKE, 0, 0, "awake"},
        {WM_TIMER, 3, 0, 0, ""},
        {WM_SENSORCHANGED, 7, 1, 0, "paint"},
        {WM_SENSORCHANGED, 0, 0, 0, ""},
        {WM_SENSORCHANGED, 1, 2, 0, ""},
        {WM_GETTEXTLENGTH, 0, 0, 9, ""},
        {WM_COMMAND, IDM_RESTART, 0, 0, "round"},
        {WM_COMMAND, IDM_CALIBRATE, 0, 0, "calibrated"},
        {WM_COMMAND, MAKEWPARAM(IDM_EASY, 1), 0, 0, "level 0"},
        {WM_COMMAND, IDM_MEDIUM, 0, 0, "level 1"},
        {WM_COMMAND, IDM_HARD, 0, 0, "level 2"},
        {WM_COMMAND, IDM_EXPERT, 0, 0, "level 3"},
        {WM_COMMAND, MAKEWPARAM(0, IDM_EASY), 0, 0, ""},
        {WM_COMMAND, IDM_OPTIONS, 0, 0, ""},
        {WM_COMMAND, 124, 0, 0, ""}};
    for (const auto& [message, wParam, lParam, result, expected] : cases) {
        SCOPED_TRACE(testing::Message() << message << " " << wParam << " " << lParam);
        g_awake.clear();
        g_state.level = g_state.padLeft = g_state.calibTiltX = 7, g_state.crashed = 1,
        g_state.explosionFramesLeft = 5;
        const int altitude = g_state.altitude;
        ValidateRect(g_state.mainWindow, nullptr);
        EXPECT_EQ(result, Send(message, wParam, lParam));
        UpdateWindow(g_state.mainWindow);
        std::string effect = g_state.padLeft != 7 ? " round" : "";
        effect += g_state.padLeft == 7 && g_state.altitude != altitude ? " tick" : "";
        effect += g_state.level != 7 ? " level " + std::to_string(g_state.level) : "";
        effect += g_state.calibTiltX != 7 ? " calibrated" : "";
        const std::vector<DWORD> keptAwake = {0, KEYEVENTF_SILENT, KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
        effect += g_awake.empty() ? "" : g_awake == keptAwake ? " awake" : " other idle calls";
        effect += g_state.explosionFramesLeft == 4 ? " paint" : "";
        EXPECT_EQ(expected, effect.empty() ? effect : effect.substr(1));
    }
}

// A cancel command leaves About open and only OK closes it; the command's result comes after.
HWND g_about = nullptr;
bool g_openAfterCancel = false;
void CALLBACK CancelThenOk(HWND, UINT, UINT_PTR timer, DWORD) {
    if ((g_about = FindWindowW(L"#32770", L"About craterDip")) != nullptr) {
        KillTimer(nullptr, timer);
        SendMessageW(g_about, WM_COMMAND, IDCANCEL, 0);
        g_openAfterCancel = IsWindow(g_about);
        SendMessageW(g_about, WM_COMMAND, IDOK, 0);
    }
}

// A second start brings the first forward and ends. About ends by its OK only. Command 105, which no item
// carries, closes the window as Exit does: the window and its menu bar end, the pictures are freed and the
// difficulty is saved.
TEST_F(Shell, ASecondStartAboutAndCommand105) {
    Start();
    HWND other = CreateTestWindow(0, 0, 10, 10);
    SetForegroundWindow(other);
    ASSERT_EQ(other, GetForegroundWindow());
    EXPECT_FALSE(InitInstance(instance_, SW_SHOW));
    EXPECT_EQ(g_state.mainWindow, GetForegroundWindow());
    DestroyWindow(other);

    SetTimer(nullptr, 0, 50, CancelThenOk);
    EXPECT_EQ(1, Send(WM_COMMAND, IDM_ABOUT));
    EXPECT_TRUE(g_openAfterCancel);
    EXPECT_FALSE(IsWindow(g_about));

    const HGDIOBJ pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                g_state.explosionBitmap};
    g_state.level = Hard;
    EXPECT_EQ(0, Send(WM_COMMAND, IDM_OK));
    EXPECT_FALSE(IsWindow(g_state.mainWindow) || IsWindow(g_state.menuBar));
    for (HGDIOBJ picture : pictures) {
        EXPECT_TRUE(picture != nullptr && GetObjectType(picture) == 0) << "loaded, then freed";
    }
    DWORD saved = 0, size = sizeof saved;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", RRF_RT_REG_DWORD, nullptr, &saved, &size);
    EXPECT_EQ(DWORD(Hard), saved);
}

} // namespace
