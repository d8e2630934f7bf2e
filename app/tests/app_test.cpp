// The shell in-process, with the real window procedure, menu bar, pictures, settings and tick: start-up by
// what it leaves on screen, message results, timers, commands, the radio mark, About, the menu bar's
// buttons and soft keys, and the shutdown.
#include "app.h"
#include "app_seams.h"
#include "res/resource.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <string>

bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}
std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

const RECT kWorkArea = {0, 52, 480, 640};
const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";

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
        RECT area = kWorkArea;
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        StoreInstallDir(CRATERDIP_ASSET_DIR);
    }
    void TearDown() override { Stop(); }

    void Start(HINSTANCE instance = GetModuleHandleW(nullptr)) {
        g_state = GameState();
        g_appSeams = AppSeams();
        instance_ = instance;
        ASSERT_TRUE(InitInstance(instance_, SW_SHOW));
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
        window_ = nullptr;
    }
    LRESULT Send(UINT message, WPARAM wParam) { return SendMessageW(window_, message, wParam, 0); }

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
};

TEST_F(Shell, StartUpFitsTheWindowAboveTheMenuBar) {
    ASSERT_GE(std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), 480) << "VGA-class";
    const struct {
        HINSTANCE instance; // the second has no menu-bar resources: no bar, nothing moves
        bool bar;
        RECT window;
        LONG bufferHeight;
    } cases[] = {{GetModuleHandleW(nullptr), true, {0, 52, 480, 588}, 588},
                 {GetModuleHandleW(L"aygshell.dll"), false, kWorkArea, 640}};
    for (const auto& c : cases) {
        Start(c.instance);
        RECT window, bar = {};
        GetWindowRect(window_, &window);
        GetWindowRect(g_state.menuBar, &bar);
        EXPECT_EQ(c.window, window);
        EXPECT_EQ(c.bar ? (RECT{0, 588, 480, 640}) : RECT{}, bar) << "52 px along the bottom";
        BITMAP buffer = {};
        GetObjectW(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP), sizeof buffer, &buffer);
        EXPECT_EQ(480, buffer.bmWidth);
        EXPECT_EQ(c.bufferHeight, buffer.bmHeight) << "the fitted bottom edge, not the height";
        EXPECT_TRUE(IsWindowVisible(window_));
        EXPECT_EQ(window_, g_appSeams.notifiedWindow);
        EXPECT_EQ(window_, FindWindowW(L"craterDipClass", L"craterDip"));
        Stop();
    }
}

TEST(ScaleFactors, AreTheScreenOverTheDesignScreen) {
    const struct {
        int width, height;
        float x, y;
    } cases[] = {{480, 640, 1.0f, 1.0f},
                 {240, 320, 0.5f, 0.5f},
                 {480, 800, 1.0f, 1.25f},
                 {320, 240, 2.0f / 3, 0.375f}};
    for (const auto& c : cases) {
        SetScaleFactors(c.width, c.height);
        EXPECT_EQ(c.x, g_state.scaleX) << c.width;
        EXPECT_EQ(c.y, g_state.scaleY) << c.height;
    }
    g_state = GameState();
}

// A stored level outside 0..3 is kept and plays Expert's fuel; its radio id (120 + level, which must not
// overflow for INT_MAX) lies outside the group, so nothing is marked.
TEST_F(Shell, TheStoredDifficultyIsInForceInTheFirstRoundAndMarked) {
    const struct {
        DWORD stored; // 99: none stored
        int level, fuel;
        UINT marked;
    } cases[] = {{99, Medium, 240, IDM_MEDIUM}, {0, Easy, 300, IDM_EASY},
                 {3, Expert, 170, IDM_EXPERT},  {4, 4, 170, 0},
                 {0xFFFFFFFF, -1, 170, 0},      {0x7FFFFFFF, INT_MAX, 170, 0},
                 {0x80000000, INT_MIN, 170, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        if (c.stored != 99) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", REG_DWORD, &c.stored, sizeof c.stored);
        }
        Start();
        EXPECT_EQ(c.level, g_state.level);
        EXPECT_EQ(c.fuel, g_state.fuel);
        EXPECT_EQ(0, Send(WM_INITMENUPOPUP, 0));
        EXPECT_EQ(c.marked, Marked());
        Stop();
    }
}

TEST_F(Shell, MessagesAndTimersGetTheirActionAndResult) {
    Start();
    KillTimer(window_, IDT_GAME);
    const std::vector<DWORD> silentPressAndRelease = {KEYEVENTF_SILENT, KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
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
        g_appSeams = AppSeams();
        const int altitude = g_state.altitude;
        EXPECT_EQ(c.result, Send(c.message, c.wParam)) << c.message << " " << c.wParam;
        EXPECT_EQ(c.ticks, altitude != g_state.altitude) << c.message << " " << c.wParam;
        EXPECT_EQ(c.keepsAwake, g_appSeams.idleResets == 1) << c.message << " " << c.wParam;
        EXPECT_EQ(c.keepsAwake ? silentPressAndRelease : std::vector<DWORD>(), g_appSeams.keyEventFlags);
        EXPECT_EQ(c.message == WM_SENSORCHANGED, g_appSeams.sensorChanges == 1);
    }
}

TEST_F(Shell, KeepAwakeGoesOnAfterTheGameTimerHasStopped) {
    Start();
    g_state.roundOver = g_state.crashed = 1;
    g_state.explosionFramesLeft = 0; // the explosion has been shown: the next tick stops the game timer
    Send(WM_TIMER, IDT_GAME);
    ASSERT_EQ(0u, g_state.gameTimer);
    const int altitude = g_state.altitude;
    EXPECT_TRUE(PumpUntil([] { return g_appSeams.idleResets > 0; }, 7000)) << "every 5 s";
    EXPECT_EQ(altitude, g_state.altitude) << "no tick";
}

TEST_F(Shell, CommandsActOnTheLowWordOnly) {
    Start();
    KillTimer(window_, IDT_GAME);
    const struct {
        WPARAM wParam;
        int level; // afterwards; Medium before
        bool newRound;
        int calibrations;
    } cases[] = {{IDM_RESTART, Medium, true, 0},
                 {IDM_CALIBRATE, Medium, false, 1},
                 {IDM_EASY, Easy, false, 0},
                 {IDM_HARD, Hard, false, 0},
                 {IDM_EXPERT, Expert, false, 0},
                 {MAKEWPARAM(IDM_EASY, 1), Easy, false, 0},
                 {IDM_OPTIONS, Medium, false, 0},
                 {124, Medium, false, 0},
                 {MAKEWPARAM(0, IDM_EASY), Medium, false, 0}};
    for (const auto& c : cases) {
        g_appSeams = AppSeams();
        g_state.level = Medium;
        g_state.fuel = g_state.altitude = g_state.padLeft = 7;
        ValidateRect(window_, nullptr);
        EXPECT_EQ(0, Send(WM_COMMAND, c.wParam)) << c.wParam;
        EXPECT_EQ(c.level, g_state.level) << c.wParam;
        EXPECT_EQ(c.calibrations, g_appSeams.calibrations) << c.wParam;
        EXPECT_EQ(c.newRound ? 0 : 3, (g_state.fuel == 7) + (g_state.altitude == 7) + (g_state.padLeft == 7))
            << "a whole new round or nothing " << c.wParam;
        EXPECT_FALSE(GetUpdateRect(window_, nullptr, FALSE)) << "no repaint " << c.wParam;
    }
    EXPECT_EQ(0xDEADu, StoredLevel()) << "saved only at exit";
}

TEST_F(Shell, RestartStartsAgainDuringAFlightAnExplosionAndAfterTheTimerStopped) {
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
            ASSERT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(picture));
        }
        EXPECT_EQ(0, Send(WM_COMMAND, command));
        EXPECT_FALSE(IsWindow(window_));
        EXPECT_FALSE(IsWindow(bar)) << "the menu bar is gone";
        for (HBITMAP picture : pictures) {
            EXPECT_EQ(0u, GetObjectType(picture)) << "the pictures are freed";
        }
        EXPECT_EQ(static_cast<DWORD>(Hard), StoredLevel());
        MSG quit;
        ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(0u, quit.wParam) << "the exit code";
        Stop();
    }
}

// The About dialog, driven from a timer that its modal loop dispatches: a cancel command leaves it open;
// OK closes it once a game tick and a paint have happened meanwhile.
struct AboutRun {
    HWND main = nullptr, dialog = nullptr;
    int altitude = 0, waits = 0;
    bool cancelled = false, openAfterCancel = false, ticked = false, painted = false;
} g_about;

void CALLBACK DriveAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    AboutRun& r = g_about;
    HWND dialog = FindWindowW(L"#32770", L"About craterDip");
    if (r.dialog == nullptr) {
        r.dialog = dialog;
        r.altitude = g_state.altitude;
        InvalidateRect(r.main, nullptr, FALSE);
    } else if (!r.cancelled) {
        r.cancelled = true;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        r.openAfterCancel = IsWindow(r.dialog) != FALSE;
    } else {
        r.ticked = r.ticked || g_state.altitude != r.altitude;
        r.painted = r.painted || !GetUpdateRect(r.main, nullptr, FALSE);
        if ((r.ticked && r.painted) || ++r.waits > 50) { // never hang the test
            KillTimer(nullptr, timer);
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        }
    }
}

TEST_F(Shell, AboutStaysUntilOkWhileTheGameGoesOn) {
    Start();
    g_about = AboutRun();
    g_about.main = window_;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, DriveAbout);
    EXPECT_EQ(1, Send(WM_COMMAND, IDM_ABOUT)) << "after the dialog has closed";
    KillTimer(nullptr, timer);
    ASSERT_NE(nullptr, g_about.dialog) << "captioned \"About craterDip\"";
    EXPECT_TRUE(g_about.openAfterCancel);
    EXPECT_FALSE(IsWindow(g_about.dialog));
    EXPECT_TRUE(g_about.ticked && g_about.painted) << "the game went on";
}

// The Options pop-up as shown: prepared by the game before it shows, and the very menu the bar hands out.
struct PopupSeen {
    bool shown = false;
    HMENU menu = nullptr;
    UINT marked = 0;
} g_popup;

void CALLBACK WatchPopup(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu && IsWindowVisible(menu)) {
        g_popup = {true, reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)), Marked()};
        KillTimer(nullptr, timer);
        EndMenu();
    }
}

TEST_F(Shell, TheButtonsAndSoftKeysReachTheGame) {
    Start();
    KillTimer(window_, IDT_GAME);
    RECT bar;
    GetClientRect(g_state.menuBar, &bar);
    const struct {
        WORD key; // 0: click
        int x;
        bool options;
    } cases[] = {{0, 10, false}, {0, bar.right - 10, true}, {VK_F1, 0, false}, {VK_F2, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " x " << c.x);
        g_state.fuel = 7;
        g_state.level = Hard;
        g_popup = PopupSeen();
        UINT_PTR watch = c.options ? SetTimer(nullptr, 0, 50, WatchPopup) : 0;
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
        PumpUntil([&] { return g_popup.shown || g_state.fuel != 7; }, 2000);
        KillTimer(nullptr, watch);
        EXPECT_EQ(c.options, g_popup.shown);
        EXPECT_EQ(c.options ? OptionsPopup() : nullptr, g_popup.menu);
        EXPECT_EQ(c.options ? IDM_HARD : 0u, g_popup.marked);
        EXPECT_EQ(c.options ? 7 : 200, g_state.fuel) << "Restart starts a Hard round";
    }
}

} // namespace
