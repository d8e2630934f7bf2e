// The shell in-process, with the real window procedure, menu bar, pictures, settings and tick: what the
// end-to-end suite cannot see from outside. The back buffer above the menu bar, the radio mark of a stored
// difficulty, a second start, each message's result and effect, keep-awake, the shutdown's releases,
// About's cancel, and the mark on the pop-up the bar shows.
#include "app.h"
#include "res/resource.h"
#include "sensor/sensor.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits.h>
#include <string>
#include <vector>

// Link seams. No sensor service runs in a test (its failure boxes would wait for a click), and the core
// library's idle-timer calls are recorded so that keep-awake can be seen.
struct Seams {
    int sensorChanges = 0;
    std::vector<DWORD> awake; // in order: 0 for an idle-timer reset, a key event's flags
} g_seams;

bool StartSensorNotifications(HWND) {
    return true;
}
void CalibrateTilt() {}
void OnSensorChanged(HWND, WPARAM, LPARAM) {
    ++g_seams.sensorChanges;
}
void ReadTiltSample(TiltSample* sample) { // the lander falls freely
    *sample = TiltSample();
}
extern "C" void SystemIdleTimerReset(void) {
    g_seams.awake.push_back(0);
}
extern "C" void CeKeybdEvent(BYTE, BYTE, DWORD flags, ULONG_PTR) {
    g_seams.awake.push_back(flags);
}

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";

HMENU OptionsPopup() {
    return reinterpret_cast<HMENU>(
        SendMessageW(g_state.menuBar, SHCMBM_GETSUBMENU, IDM_OPTIONS, IDM_OPTIONS));
}

// The difficulty that carries the mark: 0 for none, UINT_MAX for more than one.
UINT Marked() {
    UINT marked = 0;
    for (UINT id = IDM_EASY; id <= IDM_EXPERT; ++id) {
        if (GetMenuState(OptionsPopup(), id, MF_BYCOMMAND) & MF_CHECKED) {
            marked = marked ? UINT_MAX : id;
        }
    }
    return marked;
}

// Runs `g_step` from a thread timer, in whatever modal loop is running, until it returns true.
std::function<bool()> g_step;
void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_step()) {
        KillTimer(nullptr, timer);
    }
}

class Shell : public testing::Test {
  protected:
    void SetUp() override {
        RECT area = {0, 52, 480, 640};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        StoreInstallDir(CRATERDIP_ASSET_DIR);
    }
    void TearDown() override { Stop(); }

    void Start(HINSTANCE instance = GetModuleHandleW(nullptr)) {
        g_state = GameState();
        g_seams = Seams();
        ASSERT_TRUE(InitInstance(instance_ = instance, SW_SHOW));
        window_ = g_state.mainWindow;
    }
    // Ends the game if it still runs and forgets its class, as a new process would.
    void Stop() {
        DestroyWindow(window_);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        }
        UnregisterClassW(kWindowClassName, instance_);
        DeleteDC(g_state.backBuffer);
        g_state = GameState();
    }
    LRESULT Send(UINT message, WPARAM wParam) { return SendMessageW(window_, message, wParam, 0); }

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
};

// The back buffer reaches down to the window's fitted bottom edge, the top of the 52-px menu bar; without a
// bar the window keeps its place. A stored level outside 0..3 names a radio id outside the group
// (120 + level, which must not overflow for INT_MAX), so nothing is marked.
TEST_F(Shell, StartUpFitsAboveTheMenuBarAndMarksTheStoredDifficulty) {
    const HINSTANCE exe = GetModuleHandleW(nullptr), noBar = GetModuleHandleW(L"aygshell.dll");
    const struct {
        HINSTANCE instance; // aygshell.dll has no menu-bar resources: no bar, nothing moves
        DWORD stored;       // 99: none stored
        UINT marked;
    } cases[] = {
        {exe, 99, IDM_MEDIUM}, {noBar, 99, 0},       {exe, 3, IDM_EXPERT},
        {exe, 4, 0},           {exe, 0xFFFFFFFF, 0}, {exe, 0x7FFFFFFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << (c.instance == exe ? "" : " without a bar"));
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        if (c.stored != 99) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", REG_DWORD, &c.stored, sizeof c.stored);
        }
        Start(c.instance);
        const bool bar = c.instance == exe;
        BITMAP buffer = {};
        GetObjectW(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP), sizeof buffer, &buffer);
        EXPECT_EQ(480, buffer.bmWidth);
        EXPECT_EQ(bar ? 588 : 640, buffer.bmHeight) << "the fitted bottom edge, not the height";
        EXPECT_EQ(0, Send(WM_INITMENUPOPUP, 0));
        EXPECT_EQ(c.marked, bar ? Marked() : 0u);
        Stop();
    }
}

TEST_F(Shell, ASecondStartBringsTheFirstForward) {
    Start();
    HWND other = CreateTestWindow(0, 0, 10, 10);
    SetForegroundWindow(other);
    ASSERT_EQ(other, GetForegroundWindow());
    EXPECT_FALSE(InitInstance(instance_, SW_SHOW));
    EXPECT_EQ(window_, GetForegroundWindow());
    DestroyWindow(other);
}

// Each message's result and what it did: "round" (fuel and pad dealt anew), "tick" (the lander moved),
// "level N", "awake" (the idle timers reset around a silent key press and release), "sensor", "repaint".
// WM_GETTEXTLENGTH gets the default handling (the title's 9 letters), and so do commands the game does not
// know; the notification code in a command's high word does not matter.
TEST_F(Shell, MessagesAndCommandsGetTheirResultAndEffect) {
    Start();
    KillTimer(window_, IDT_GAME);
    const std::vector<DWORD> keptAwake = {0, KEYEVENTF_SILENT, KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
    const struct {
        UINT message;
        WPARAM wParam;
        LRESULT result;
        std::string effect;
    } cases[] = {
        {WM_ERASEBKGND, 0, -1, ""},
        {WM_TIMER, IDT_GAME, 0, "tick repaint"},
        {WM_TIMER, IDT_KEEPAWAKE, 0, "awake"},
        {WM_TIMER, 3, 0, ""},
        {WM_SENSORCHANGED, 0, 0, "sensor"},
        {WM_GETTEXTLENGTH, 0, 9, ""},
        {WM_COMMAND, IDM_RESTART, 0, "round"},
        {WM_COMMAND, MAKEWPARAM(IDM_EASY, 1), 0, "level 0"},
        {WM_COMMAND, MAKEWPARAM(0, IDM_EASY), 0, ""},
        {WM_COMMAND, IDM_OPTIONS, 0, ""},
        {WM_COMMAND, 124, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.wParam);
        g_seams = Seams();
        g_state.level = Medium;
        g_state.fuel = g_state.padLeft = 7;
        const int altitude = g_state.altitude;
        ValidateRect(window_, nullptr);
        EXPECT_EQ(c.result, Send(c.message, c.wParam));
        std::string effect;
        if (g_state.fuel != 7 && g_state.padLeft != 7) {
            effect += " round";
        } else if (g_state.altitude != altitude) {
            effect += " tick";
        }
        if (g_state.level != Medium) {
            effect += " level " + std::to_string(g_state.level);
        }
        if (!g_seams.awake.empty()) {
            effect += g_seams.awake == keptAwake ? " awake" : " other idle calls";
        }
        effect += g_seams.sensorChanges ? " sensor" : "";
        effect += GetUpdateRect(window_, nullptr, FALSE) ? " repaint" : "";
        EXPECT_EQ(c.effect, effect.empty() ? effect : effect.substr(1));
    }
}

// Keep-awake runs on its own timer, every 5 s, also once the explosion's last tick has stopped the game
// timer.
TEST_F(Shell, KeepAwakeOutlivesTheGameTimer) {
    Start();
    g_state.roundOver = g_state.crashed = 1;
    g_state.explosionFramesLeft = 0;
    Send(WM_TIMER, IDT_GAME);
    ASSERT_EQ(0u, g_state.gameTimer);
    const int altitude = g_state.altitude;
    EXPECT_TRUE(PumpUntil([] { return !g_seams.awake.empty(); }, 7000));
    EXPECT_EQ(altitude, g_state.altitude) << "no tick";
}

// Command 105, which no item carries, closes the window as Exit does: the window and its menu bar end and
// the pictures are freed.
TEST_F(Shell, OkShutsDownAndFreesThePictures) {
    Start();
    HWND bar = g_state.menuBar;
    const HBITMAP pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                g_state.explosionBitmap};
    for (HBITMAP picture : pictures) {
        ASSERT_EQ(DWORD(OBJ_BITMAP), GetObjectType(picture));
    }
    EXPECT_EQ(0, Send(WM_COMMAND, IDM_OK));
    EXPECT_FALSE(IsWindow(window_) || IsWindow(bar));
    for (HBITMAP picture : pictures) {
        EXPECT_EQ(0u, GetObjectType(picture)) << "the pictures are freed";
    }
}

// A cancel command leaves About open; OK closes it once the game has ticked meanwhile.
TEST_F(Shell, AboutStaysUntilOkWhileTheGameGoesOn) {
    Start();
    HWND dialog = nullptr;
    int altitude = 0, waits = 0;
    bool openAfterCancel = false;
    g_step = [&] {
        if (dialog == nullptr) {
            dialog = FindWindowW(L"#32770", L"About craterDip");
            altitude = g_state.altitude;
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            openAfterCancel = IsWindow(dialog) != FALSE;
            return false;
        }
        const bool done = g_state.altitude != altitude || ++waits > 50; // never hang the test
        if (done) {
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        }
        return done;
    };
    SetTimer(nullptr, 0, 200, RunStep);
    EXPECT_EQ(1, Send(WM_COMMAND, IDM_ABOUT)) << "after the dialog has closed";
    ASSERT_NE(nullptr, dialog) << "captioned \"About craterDip\"";
    EXPECT_TRUE(openAfterCancel);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_NE(altitude, g_state.altitude) << "the game went on";
}

// The Options button opens the very pop-up the bar hands out, marked afresh as it opens.
TEST_F(Shell, OptionsShowsThePopupMarkedWithTheCurrentDifficulty) {
    Start();
    Send(WM_INITMENUPOPUP, 0); // marks Medium
    g_state.level = Hard;
    HMENU shown = nullptr;
    UINT marked = 0;
    g_step = [&] {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu && IsWindowVisible(menu)) {
            shown = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
            marked = Marked();
            EndMenu();
        }
        return shown != nullptr;
    };
    UINT_PTR watch = SetTimer(nullptr, 0, 50, RunStep);
    SendMessageW(g_state.menuBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(470, 5));
    SendMessageW(g_state.menuBar, WM_LBUTTONUP, 0, MAKELPARAM(470, 5));
    PumpUntil([&] { return shown != nullptr; }, 2000);
    KillTimer(nullptr, watch);
    EXPECT_EQ(OptionsPopup(), shown);
    EXPECT_EQ(UINT(IDM_HARD), marked);
}

} // namespace
