// The shell in-process, with the real window procedure, menu bar, pictures, settings and tick: start-up by
// what it leaves on screen, a second start, message results, timers, commands, the radio mark, About, the
// menu bar's buttons and soft keys, and the shutdown.
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
// library's idle-timer calls are counted so that keep-awake can be seen.
struct Seams {
    HWND notified = nullptr;
    int calibrations = 0, sensorChanges = 0;
    std::vector<DWORD> awake; // in order: 0 for an idle-timer reset, a key event's flags
} g_seams;

bool StartSensorNotifications(HWND window) {
    g_seams.notified = window;
    return true;
}
void CalibrateTilt() {
    ++g_seams.calibrations;
}
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

std::string Rect(HWND window) { // "left,top-right,bottom" on screen; zeros for no window
    RECT r = {};
    GetWindowRect(window, &r);
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

DWORD StoredLevel() {
    DWORD level = 0xDEAD, size = sizeof level;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", RRF_RT_REG_DWORD, nullptr, &level, &size);
    return level;
}

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
    // Ends the game if it still runs (it saves its level) and forgets its class, as a new process would.
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

// A stored level outside 0..3 is kept and plays Expert's fuel; its radio id (120 + level, which must not
// overflow for INT_MAX) lies outside the group, so nothing is marked.
TEST_F(Shell, StartUpFitsTheWindowAboveTheMenuBarAndPlaysTheStoredDifficulty) {
    ASSERT_GE(std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), 480) << "VGA-class";
    const HINSTANCE exe = GetModuleHandleW(nullptr), noBar = GetModuleHandleW(L"aygshell.dll");
    const struct {
        HINSTANCE instance; // aygshell.dll has no menu-bar resources: no bar, nothing moves
        DWORD stored;       // 99: none stored
        int level, fuel;
        UINT marked;
    } cases[] = {
        {exe, 99, Medium, 240, IDM_MEDIUM},
        {noBar, 99, Medium, 240, 0},
        {exe, 0, Easy, 300, IDM_EASY},
        {exe, 3, Expert, 170, IDM_EXPERT},
        {exe, 4, 4, 170, 0},
        {exe, 0xFFFFFFFF, -1, 170, 0},
        {exe, 0x7FFFFFFF, INT_MAX, 170, 0},
        {exe, 0x80000000, INT_MIN, 170, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stored << (c.instance == exe ? "" : " without a bar"));
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        if (c.stored != 99) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", REG_DWORD, &c.stored, sizeof c.stored);
        }
        Start(c.instance);
        const bool bar = c.instance == exe;
        EXPECT_EQ(bar ? "0,52-480,588" : "0,52-480,640", Rect(window_));
        EXPECT_EQ(bar ? "0,588-480,640" : "0,0-0,0", Rect(g_state.menuBar)) << "52 px along the bottom";
        BITMAP buffer = {};
        GetObjectW(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP), sizeof buffer, &buffer);
        EXPECT_EQ(480, buffer.bmWidth);
        EXPECT_EQ(bar ? 588 : 640, buffer.bmHeight) << "the fitted bottom edge, not the height";
        EXPECT_TRUE(IsWindowVisible(window_) && (!bar || IsWindowVisible(g_state.menuBar)));
        EXPECT_EQ(window_, g_seams.notified);
        EXPECT_EQ(c.level, g_state.level);
        EXPECT_EQ(c.fuel, g_state.fuel);
        EXPECT_EQ(0, Send(WM_INITMENUPOPUP, 0));
        EXPECT_EQ(c.marked, bar ? Marked() : 0u);
        Stop();
    }
}

TEST_F(Shell, ASecondStartBringsTheFirstForwardWithoutAWindow) {
    Start();
    HWND other = CreateTestWindow(0, 0, 10, 10);
    SetForegroundWindow(other);
    ASSERT_EQ(other, GetForegroundWindow());
    EXPECT_FALSE(InitInstance(instance_, SW_SHOW));
    EXPECT_EQ(window_, GetForegroundWindow());
    EXPECT_EQ(nullptr, FindWindowExW(nullptr, window_, kWindowClassName, nullptr));
    DestroyWindow(other);
}

TEST(ScaleFactors, AreTheScreenOverTheDesignScreen) {
    const struct {
        int width, height;
        float x, y;
    } cases[] = {
        {480, 640, 1.0f, 1.0f},
        {240, 320, 0.5f, 0.5f},
        {480, 800, 1.0f, 1.25f},
        {320, 240, 2.0f / 3, 0.375f},
    };
    for (const auto& c : cases) {
        SetScaleFactors(c.width, c.height);
        EXPECT_EQ(c.x, g_state.scaleX) << c.width;
        EXPECT_EQ(c.y, g_state.scaleY) << c.height;
    }
    g_state = GameState();
}

TEST_F(Shell, MessagesAndTimersGetTheirActionAndResult) {
    Start();
    KillTimer(window_, IDT_GAME);
    // An idle-timer reset, then a silent press and release of a key.
    const std::vector<DWORD> keptAwake = {0, KEYEVENTF_SILENT, KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
    const struct {
        UINT message;
        WPARAM wParam;
        LRESULT result;
        bool ticks, keepsAwake;
    } cases[] = {
        {WM_ERASEBKGND, 0, -1, false, false},   {WM_PAINT, 0, 0, false, false},
        {WM_TIMER, IDT_GAME, 0, true, false},   {WM_TIMER, IDT_KEEPAWAKE, 0, false, true},
        {WM_TIMER, 3, 0, false, false},         {WM_TIMER, 0, 0, false, false},
        {WM_INITMENUPOPUP, 0, 0, false, false}, {WM_SENSORCHANGED, 0, 0, false, false},
        {WM_GETTEXTLENGTH, 0, 9, false, false}, // the default handling: "craterDip"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.wParam);
        g_seams = Seams();
        const int altitude = g_state.altitude;
        EXPECT_EQ(c.result, Send(c.message, c.wParam));
        EXPECT_EQ(c.ticks, altitude != g_state.altitude);
        EXPECT_EQ(c.keepsAwake ? keptAwake : std::vector<DWORD>(), g_seams.awake);
        EXPECT_EQ(c.message == WM_SENSORCHANGED, g_seams.sensorChanges == 1);
    }
}

TEST_F(Shell, CommandsActOnTheLowWordOnly) {
    Start();
    KillTimer(window_, IDT_GAME);
    const struct {
        WPARAM wParam;
        int level; // afterwards; Medium before
        bool newRound;
        int calibrations;
    } cases[] = {
        {IDM_RESTART, Medium, true, 0},
        {IDM_CALIBRATE, Medium, false, 1},
        {IDM_EASY, Easy, false, 0},
        {IDM_HARD, Hard, false, 0},
        {IDM_EXPERT, Expert, false, 0},
        {MAKEWPARAM(IDM_EASY, 1), Easy, false, 0},
        {IDM_OPTIONS, Medium, false, 0},
        {124, Medium, false, 0},
        {MAKEWPARAM(0, IDM_EASY), Medium, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wParam);
        g_seams = Seams();
        g_state.level = Medium;
        g_state.fuel = g_state.altitude = g_state.padLeft = 7;
        ValidateRect(window_, nullptr);
        EXPECT_EQ(0, Send(WM_COMMAND, c.wParam));
        EXPECT_EQ(c.level, g_state.level);
        EXPECT_EQ(c.calibrations, g_seams.calibrations);
        EXPECT_EQ(c.newRound ? 0 : 3, (g_state.fuel == 7) + (g_state.altitude == 7) + (g_state.padLeft == 7))
            << "a whole new round or nothing";
        EXPECT_FALSE(GetUpdateRect(window_, nullptr, FALSE)) << "no repaint";
    }
    EXPECT_EQ(0xDEADu, StoredLevel()) << "saved only at exit";
}

// Restart during a flight, an explosion, and once the explosion has stopped the game timer, while
// keep-awake goes on.
TEST_F(Shell, RestartStartsAgainAndKeepAwakeOutlivesTheGameTimer) {
    for (int explosionFramesLeft : {-1, 4, 0}) { // -1: flying
        Start();
        const int fresh = g_state.altitude;
        ASSERT_TRUE(PumpUntil([&] { return g_state.altitude < fresh; }, 3000));
        if (explosionFramesLeft >= 0) {
            g_state.roundOver = g_state.crashed = 1;
            g_state.explosionFramesLeft = explosionFramesLeft;
            Send(WM_TIMER, IDT_GAME);
            EXPECT_EQ(explosionFramesLeft == 0, g_state.gameTimer == 0);
        }
        if (explosionFramesLeft == 0) {
            const int altitude = g_state.altitude;
            g_seams.awake.clear();
            EXPECT_TRUE(PumpUntil([] { return !g_seams.awake.empty(); }, 7000)) << "every 5 s";
            EXPECT_EQ(altitude, g_state.altitude) << "no tick";
        }
        EXPECT_EQ(0, Send(WM_COMMAND, IDM_RESTART));
        EXPECT_EQ(0, g_state.roundOver + g_state.crashed);
        EXPECT_EQ(fresh, g_state.altitude);
        EXPECT_TRUE(PumpUntil([&] { return g_state.altitude < fresh; }, 3000)) << "the game timer runs";
        Stop();
    }
}

TEST_F(Shell, ExitAndOkShutDownSavingTheLevel) {
    for (WPARAM command : {IDM_EXIT, IDM_OK}) {
        Start();
        Send(WM_COMMAND, IDM_HARD);
        HWND bar = g_state.menuBar;
        const HBITMAP pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                    g_state.explosionBitmap};
        for (HBITMAP picture : pictures) {
            ASSERT_EQ(DWORD(OBJ_BITMAP), GetObjectType(picture));
        }
        EXPECT_EQ(0, Send(WM_COMMAND, command));
        EXPECT_FALSE(IsWindow(window_) || IsWindow(bar)) << "the window and its menu bar are gone";
        for (HBITMAP picture : pictures) {
            EXPECT_EQ(0u, GetObjectType(picture)) << "the pictures are freed";
        }
        EXPECT_EQ(DWORD(Hard), StoredLevel());
        MSG quit;
        ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(0u, quit.wParam) << "the exit code";
        Stop();
    }
}

// Runs `step` from a thread timer, in whatever modal loop is running, until it returns true.
std::function<bool()> g_step;
void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    if (g_step()) {
        KillTimer(nullptr, timer);
    }
}

// A cancel command leaves About open; OK closes it once a game tick and a paint have happened meanwhile.
TEST_F(Shell, AboutStaysUntilOkWhileTheGameGoesOn) {
    Start();
    HWND dialog = nullptr;
    int altitude = 0, waits = 0;
    bool openAfterCancel = false, ticked = false, painted = false;
    g_step = [&] {
        if (dialog == nullptr) {
            dialog = FindWindowW(L"#32770", L"About craterDip");
            altitude = g_state.altitude;
            InvalidateRect(window_, nullptr, FALSE);
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            openAfterCancel = IsWindow(dialog) != FALSE;
            return false;
        }
        ticked = ticked || g_state.altitude != altitude;
        painted = painted || !GetUpdateRect(window_, nullptr, FALSE);
        const bool done = (ticked && painted) || ++waits > 50; // never hang the test
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
    EXPECT_TRUE(ticked && painted) << "the game went on";
}

// Restart on the left, Options on the right of the bar's 480 px, F1 and F2 their soft keys. The pop-up is
// the very menu the bar hands out, marked by the game before it shows.
TEST_F(Shell, TheButtonsAndSoftKeysReachTheGame) {
    Start();
    KillTimer(window_, IDT_GAME);
    const struct {
        WORD key; // 0: click
        int x;
    } cases[] = {{0, 10}, {0, 470}, {VK_F1, 0}, {VK_F2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " x " << c.x);
        const bool options = c.key == VK_F2 || c.x > 240;
        g_state.fuel = 7;
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
        if (c.key) { // real key input: the bar hooks the keyboard input of the game's thread
            SetForegroundWindow(window_);
            INPUT keys[2] = {{INPUT_KEYBOARD, {}}, {INPUT_KEYBOARD, {}}};
            keys[0].ki.wVk = keys[1].ki.wVk = c.key;
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, keys, sizeof(INPUT));
        } else {
            SendMessageW(g_state.menuBar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, 5));
            SendMessageW(g_state.menuBar, WM_LBUTTONUP, 0, MAKELPARAM(c.x, 5));
        }
        PumpUntil([&] { return shown || g_state.fuel != 7; }, 2000);
        KillTimer(nullptr, watch);
        EXPECT_EQ(options ? OptionsPopup() : nullptr, shown);
        EXPECT_EQ(options ? IDM_HARD : 0u, marked);
        EXPECT_EQ(options ? 7 : 200, g_state.fuel) << "Restart starts a Hard round";
    }
}

} // namespace
