// The shell in-process, with the real window procedure, menu bar, pictures and settings: start-up by what
// it leaves on screen, the message results, the timers, the commands, the radio mark, the About dialog, the
// menu bar's buttons and soft keys, and the shutdown.
#include "app.h"
#include "app_seams.h"
#include "core/arithmetic.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <string>

namespace {

const RECT kWorkArea = {0, 52, 480, 640};
const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";

std::wstring AssetFolder() {
    std::wstring folder = L"Z:";
    for (const char* c = CRATERDIP_ASSET_DIR; *c; ++c) {
        folder += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return folder;
}

void StoreLevel(DWORD level) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, L"level", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
    RegCloseKey(key);
}

bool StoredLevel(DWORD* level) {
    DWORD size = sizeof *level;
    return RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", RRF_RT_REG_DWORD, nullptr, level, &size) ==
           ERROR_SUCCESS;
}

int WindowsOfClass(const wchar_t* className) {
    int count = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, className, nullptr)) {
        ++count;
    }
    return count;
}

SIZE BackBufferSize() {
    BITMAP info = {};
    GetObjectW(GetCurrentObject(g_state.backBuffer, OBJ_BITMAP), sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

HMENU OptionsPopup() {
    return reinterpret_cast<HMENU>(
        SendMessageW(g_state.menuBar, SHCMBM_GETSUBMENU, IDM_OPTIONS, IDM_OPTIONS));
}

// The difficulty item that carries the mark, 0 when none does.
UINT MarkedDifficulty() {
    UINT marked = 0;
    for (UINT id = IDM_EASY; id <= IDM_EXPERT; ++id) {
        if (GetMenuState(OptionsPopup(), id, MF_BYCOMMAND) & MF_CHECKED) {
            EXPECT_EQ(0u, marked) << "two difficulties marked";
            marked = id;
        }
    }
    return marked;
}

} // namespace

bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}
std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

class Shell : public testing::Test {
  protected:
    void SetUp() override {
        RECT area = kWorkArea;
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        const std::wstring assets = AssetFolder();
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInstallKey, L"InstallDir", REG_SZ, assets.c_str(),
                        static_cast<DWORD>((assets.size() + 1) * sizeof(wchar_t)));
        instance_ = GetModuleHandleW(nullptr);
    }
    void TearDown() override { Stop(); }

    void Start(HINSTANCE instance = nullptr) {
        Stop();
        g_state = GameState();
        g_appSeams = AppSeams();
        if (instance != nullptr) {
            instance_ = instance;
        }
        ASSERT_TRUE(InitInstance(instance_, SW_SHOW));
        window_ = g_state.mainWindow;
        ASSERT_NE(nullptr, window_);
    }
    // Ends a started game (if still running) and forgets its class, as a new process would start clean.
    void Stop() {
        if (window_ != nullptr && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassW(kWindowClassName, instance_);
        if (g_state.backBuffer != nullptr) {
            DeleteDC(g_state.backBuffer);
        }
        g_state = GameState();
        window_ = nullptr;
    }
    // Dispatches messages for up to `ms` milliseconds, or until `done` says so. Returns whether it did.
    template <typename Done> bool PumpUntil(DWORD ms, Done done) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > ms) {
                return false;
            }
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return true;
    }
    LRESULT Command(WPARAM wParam) { return SendMessageW(window_, WM_COMMAND, wParam, 0); }

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
};

// ---- Start-up
// ------------------------------------------------------------------------------------------------

TEST_F(Shell, StartUpFitsTheWindowAboveTheMenuBar) {
    ASSERT_GE(std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), 480)
        << "a VGA-class screen";
    Start();
    RECT window, bar;
    GetWindowRect(window_, &window);
    GetWindowRect(g_state.menuBar, &bar);
    EXPECT_EQ(52, bar.bottom - bar.top);
    EXPECT_EQ(kWorkArea.bottom, bar.bottom) << "the bar lies along the bottom";
    EXPECT_EQ((RECT{0, 52, 480, 588}), window) << "moved to (0, 52), 480 x 536";
    const SIZE buffer = BackBufferSize();
    EXPECT_EQ(480, buffer.cx);
    EXPECT_EQ(588, buffer.cy) << "the fitted bottom edge, not the height";

    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(0, GetWindowLongW(window_, GWL_STYLE) & WS_CAPTION);
    EXPECT_EQ(window_, FindWindowW(L"craterDipClass", L"craterDip"));
    EXPECT_EQ(window_, g_appSeams.notifiedWindow);
    EXPECT_EQ(static_cast<UINT_PTR>(IDT_GAME), g_state.gameTimer);
    EXPECT_NE(nullptr, g_state.landerBitmap) << "pictures from the installation folder";
}

TEST_F(Shell, WithoutAMenuBarNothingMoves) {
    // A module without the menu-bar resources: the bar cannot be made, the game runs without it.
    Start(GetModuleHandleW(L"aygshell.dll"));
    EXPECT_EQ(nullptr, g_state.menuBar);
    RECT window;
    GetWindowRect(window_, &window);
    EXPECT_EQ(kWorkArea, window);
    const SIZE buffer = BackBufferSize();
    EXPECT_EQ(480, buffer.cx);
    EXPECT_EQ(640, buffer.cy);
    EXPECT_NE(0u, g_state.gameTimer);
}

TEST(ScaleFactors, AreTheScreenOverTheDesignScreen) {
    const struct {
        int width, height;
        float scaleX, scaleY;
    } cases[] = {
        {480, 640, 1.0f, 1.0f},
        {240, 320, 0.5f, 0.5f},
        {480, 800, 1.0f, 1.25f},
        {320, 240, 2.0f / 3.0f, 0.375f},
    };
    for (const auto& c : cases) {
        SetScaleFactors(c.width, c.height);
        EXPECT_EQ(c.scaleX, g_state.scaleX) << c.width << "x" << c.height;
        EXPECT_EQ(c.scaleY, g_state.scaleY) << c.width << "x" << c.height;
    }
    g_state = GameState();
}

TEST_F(Shell, TheStoredDifficultyIsInForceInTheFirstRound) {
    const struct {
        bool stored;
        DWORD level;
        int fuel;
        UINT marked;
    } cases[] = {{false, 1, 240, IDM_MEDIUM},
                 {true, 0, 300, IDM_EASY},
                 {true, 2, 200, IDM_HARD},
                 {true, 3, 170, IDM_EXPERT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << c.stored << " level " << c.level);
        Stop(); // the previous game saves its level as it ends
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        if (c.stored) {
            StoreLevel(c.level);
        }
        Start();
        EXPECT_EQ(static_cast<int>(c.level), g_state.level);
        EXPECT_EQ(c.fuel, g_state.fuel);
        SendMessageW(window_, WM_INITMENUPOPUP, 0, 0);
        EXPECT_EQ(c.marked, MarkedDifficulty()) << "the first opening of Options";
    }
}

TEST_F(Shell, ASecondStartEndsAtOnceWithoutAWindow) {
    Start();
    HWND first = window_;
    EXPECT_FALSE(InitInstance(instance_, SW_SHOW));
    EXPECT_EQ(1, WindowsOfClass(kWindowClassName));
    EXPECT_EQ(first, g_state.mainWindow);
    EXPECT_TRUE(IsWindow(first));
}

// ---- Messages and timers
// -------------------------------------------------------------------------------------

TEST_F(Shell, EachMessageGetsItsResult) {
    Start();
    const struct {
        UINT message;
        WPARAM wParam;
        LRESULT result;
    } cases[] = {
        {WM_ERASEBKGND, 0, -1},   {WM_PAINT, 0, 0},         {WM_TIMER, 7, 0}, {WM_INITMENUPOPUP, 0, 0},
        {WM_SENSORCHANGED, 0, 0}, {WM_GETTEXTLENGTH, 0, 9}, // "craterDip": the default handling answers
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, SendMessageW(window_, c.message, c.wParam, 0)) << "message " << c.message;
    }
    EXPECT_EQ(1, g_appSeams.sensorChanges);

    // A paint draws the frame and validates the window.
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
    EXPECT_FALSE(GetUpdateRect(window_, nullptr, FALSE));
}

TEST_F(Shell, TimersActByTheirIds) {
    Start();
    KillTimer(window_, IDT_GAME); // only the ticks sent below
    const struct {
        WPARAM id;
        bool ticks;
        int idleResets;
    } cases[] = {
        {IDT_GAME, true, 0}, {IDT_KEEPAWAKE, false, 1}, {0, false, 0}, {3, false, 0}, {1000, false, 0}};
    for (const auto& c : cases) {
        g_appSeams = AppSeams();
        const int altitude = g_state.altitude;
        EXPECT_EQ(0, SendMessageW(window_, WM_TIMER, c.id, 0));
        EXPECT_EQ(c.ticks, g_state.altitude != altitude) << "timer " << c.id;
        EXPECT_EQ(c.idleResets, g_appSeams.idleResets) << "timer " << c.id;
        const std::vector<DWORD> silentPressAndRelease = {KEYEVENTF_SILENT,
                                                          KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
        EXPECT_EQ(c.idleResets ? silentPressAndRelease : std::vector<DWORD>(), g_appSeams.keyEventFlags);
    }
}

TEST_F(Shell, KeepAwakeGoesOnAfterTheGameTimerHasStopped) {
    Start();
    // A crash whose explosion has been shown: the next tick stops the game timer.
    g_state.roundOver = 1;
    g_state.crashed = 1;
    g_state.explosionFramesLeft = 0;
    SendMessageW(window_, WM_TIMER, IDT_GAME, 0);
    ASSERT_EQ(0u, g_state.gameTimer);
    const int altitude = g_state.altitude;
    g_appSeams = AppSeams();
    EXPECT_TRUE(PumpUntil(7000, [] { return g_appSeams.idleResets > 0; })) << "keep-awake every 5 s";
    EXPECT_EQ(altitude, g_state.altitude) << "no tick ran";
}

// ---- Commands
// ------------------------------------------------------------------------------------------------

TEST_F(Shell, CommandsActOnTheLowWordAndAnswer) {
    Start();
    KillTimer(window_, IDT_GAME);
    const int freshAltitude = g_state.altitude;
    const struct {
        WPARAM wParam;
        LRESULT result;
        int level; // level afterwards (Medium before each)
        bool newRound;
        int calibrations;
    } cases[] = {
        {IDM_RESTART, 0, Medium, true, 0},
        {MAKEWPARAM(IDM_RESTART, 1), 0, Medium, true, 0},
        {IDM_CALIBRATE, 0, Medium, false, 1},
        {IDM_EASY, 0, Easy, false, 0},
        {IDM_MEDIUM, 0, Medium, false, 0},
        {IDM_HARD, 0, Hard, false, 0},
        {IDM_EXPERT, 0, Expert, false, 0},
        {MAKEWPARAM(IDM_EASY, 1), 0, Easy, false, 0},
        {MAKEWPARAM(IDM_HARD, 0xFFFF), 0, Hard, false, 0},
        {IDM_OPTIONS, 0, Medium, false, 0}, // default handling
        {0, 0, Medium, false, 0},
        {124, 0, Medium, false, 0},
        {MAKEWPARAM(0, IDM_EASY), 0, Medium, false, 0}, // the id is the low word only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "wParam 0x" << std::hex << c.wParam);
        g_appSeams = AppSeams();
        g_state.level = Medium;
        g_state.fuel = 7;
        g_state.altitude = 33;
        g_state.padLeft = 1;
        g_state.padRight = 2;
        g_state.score = 5;
        ValidateRect(window_, nullptr);

        EXPECT_EQ(c.result, Command(c.wParam));
        EXPECT_EQ(c.level, g_state.level);
        EXPECT_EQ(c.calibrations, g_appSeams.calibrations);
        if (c.newRound) {
            EXPECT_EQ(240, g_state.fuel);
            EXPECT_EQ(freshAltitude, g_state.altitude);
            EXPECT_EQ(0, g_state.score);
        } else { // nothing of the round changes, and nothing is repainted
            EXPECT_EQ(7, g_state.fuel);
            EXPECT_EQ(33, g_state.altitude);
            EXPECT_EQ(1, g_state.padLeft);
            EXPECT_EQ(2, g_state.padRight);
            EXPECT_EQ(5, g_state.score);
            EXPECT_FALSE(GetUpdateRect(window_, nullptr, FALSE));
        }
        EXPECT_TRUE(IsWindow(window_));
    }
    DWORD stored;
    EXPECT_FALSE(StoredLevel(&stored)) << "a difficulty is saved only at exit";
}

TEST_F(Shell, RestartStartsAgainWhateverTheRoundIsDoing) {
    enum Phase { Flight, Explosion, Stopped };
    for (Phase phase : {Flight, Explosion, Stopped}) {
        SCOPED_TRACE(testing::Message() << "phase " << phase);
        Start();
        const int freshAltitude = g_state.altitude;
        if (phase == Flight) {
            ASSERT_TRUE(PumpUntil(3000, [&] { return g_state.altitude < freshAltitude; }));
        } else {
            g_state.roundOver = 1;
            g_state.crashed = 1;
            g_state.score = 0;
            g_state.explosionFramesLeft = phase == Explosion ? 4 : 0;
            if (phase == Stopped) {
                SendMessageW(window_, WM_TIMER, IDT_GAME, 0);
                ASSERT_EQ(0u, g_state.gameTimer);
            }
        }
        EXPECT_EQ(0, Command(IDM_RESTART));
        EXPECT_EQ(0, g_state.roundOver);
        EXPECT_EQ(0, g_state.crashed);
        EXPECT_EQ(10, g_state.explosionFramesLeft);
        EXPECT_EQ(freshAltitude, g_state.altitude);
        EXPECT_NE(0u, g_state.gameTimer);
        EXPECT_TRUE(PumpUntil(3000, [&] { return g_state.altitude < freshAltitude; }))
            << "the game timer runs";
    }
}

TEST_F(Shell, TheRadioMarkFollowsLevel) {
    Start();
    const struct {
        int level;
        UINT marked;
    } cases[] = {
        {Easy, IDM_EASY},
        {Expert, IDM_EXPERT},
        {Medium, IDM_MEDIUM},
        {Hard, IDM_HARD},
        // Outside the four (only a stored value can be): the id lies outside the group, nothing is marked.
        {4, 0},
        {-1, 0},
        {INT_MAX, 0},
        {INT_MIN, 0},
    };
    for (const auto& c : cases) {
        g_state.level = c.level;
        EXPECT_EQ(0, SendMessageW(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(OptionsPopup()), 1));
        EXPECT_EQ(c.marked, MarkedDifficulty()) << "level " << c.level;
    }
}

// Exit and the unlabelled OK command close the window; the shutdown shows in what is left behind.
TEST_F(Shell, ClosingShutsDownAndSavesTheLevel) {
    const WPARAM commands[] = {IDM_EXIT, IDM_OK, MAKEWPARAM(IDM_EXIT, 1)};
    for (WPARAM command : commands) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        Start();
        EXPECT_EQ(0, Command(IDM_HARD));
        HWND bar = g_state.menuBar;
        const HBITMAP pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                    g_state.explosionBitmap};
        for (HBITMAP picture : pictures) {
            ASSERT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(picture));
        }

        EXPECT_EQ(0, Command(command));

        EXPECT_FALSE(IsWindow(window_));
        EXPECT_FALSE(IsWindow(bar)) << "the menu bar is gone";
        for (HBITMAP picture : pictures) {
            EXPECT_EQ(0u, GetObjectType(picture)) << "picture freed";
        }
        DWORD stored = 0;
        EXPECT_TRUE(StoredLevel(&stored));
        EXPECT_EQ(static_cast<DWORD>(Hard), stored);
        MSG quit;
        ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(0u, quit.wParam) << "the exit code";
    }
}

// ---- About
// ---------------------------------------------------------------------------------------------------

// Drives the About dialog from a timer of the test's thread, which its modal loop dispatches.
struct AboutScript {
    enum Step { Cancel, CloseBox, Escape, Finish };
    bool closeWithEnter = false;
    int step = 0;
    int fires = 0;
    HWND dialog = nullptr;
    bool stayedOpen[Finish] = {};
    int altitudeAtOpen = 0;
    bool ticked = false;
    bool painted = false;
    HWND mainWindow = nullptr;
};
AboutScript g_about;

void CALLBACK AboutTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    AboutScript& s = g_about;
    ++s.fires;
    HWND dialog = FindWindowW(L"#32770", L"About craterDip");
    if (s.fires == 1) {
        s.dialog = dialog;
        s.altitudeAtOpen = g_state.altitude;
        InvalidateRect(s.mainWindow, nullptr, FALSE);
        return;
    }
    if (s.dialog == nullptr || s.fires > 100) { // never hang the test
        KillTimer(nullptr, timer);
        if (dialog) {
            EndDialog(dialog, IDABORT);
        }
        return;
    }
    if (s.step > 0 && s.step <= AboutScript::Finish) {
        s.stayedOpen[s.step - 1] = IsWindow(s.dialog) != 0;
    }
    s.ticked = s.ticked || g_state.altitude != s.altitudeAtOpen;
    s.painted = s.painted || !GetUpdateRect(s.mainWindow, nullptr, FALSE);
    HWND focus = GetFocus() ? GetFocus() : s.dialog;
    switch (s.step++) {
    case AboutScript::Cancel:
        SendMessageW(s.dialog, WM_COMMAND, IDCANCEL, 0);
        break;
    case AboutScript::CloseBox:
        PostMessageW(s.dialog, WM_CLOSE, 0, 0);
        break;
    case AboutScript::Escape:
        PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        break;
    case AboutScript::Finish:
        if (!s.ticked) { // wait for a game tick before closing
            --s.step;
            break;
        }
        KillTimer(nullptr, timer);
        if (s.closeWithEnter) {
            PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0);
        } else {
            SendMessageW(s.dialog, WM_COMMAND, IDOK, 0);
        }
        break;
    default:
        break;
    }
}

TEST_F(Shell, AboutStaysUntilOkWhileTheGameGoesOn) {
    for (bool enter : {false, true}) {
        SCOPED_TRACE(enter ? "closed with Enter" : "closed with OK");
        Start();
        g_about = AboutScript();
        g_about.closeWithEnter = enter;
        g_about.mainWindow = window_;
        SetTimer(nullptr, 0, 150, AboutTimer);

        EXPECT_EQ(1, Command(IDM_ABOUT)) << "after the dialog has closed";

        ASSERT_NE(nullptr, g_about.dialog) << "a dialog captioned \"About craterDip\"";
        EXPECT_FALSE(IsWindow(g_about.dialog));
        EXPECT_TRUE(g_about.stayedOpen[AboutScript::Cancel]) << "a cancel command";
        EXPECT_TRUE(g_about.stayedOpen[AboutScript::CloseBox]) << "WM_CLOSE";
        EXPECT_TRUE(g_about.stayedOpen[AboutScript::Escape]) << "the Escape key";
        EXPECT_TRUE(g_about.ticked) << "game ticks go on";
        EXPECT_TRUE(g_about.painted) << "paints go on";
        EXPECT_LT(g_about.fires, 100);
    }
}

// ---- The menu bar
// --------------------------------------------------------------------------------------------

struct PopupWatch {
    int fires = 0;
    bool shown = false;
    UINT marked = 0;
};
PopupWatch g_popup;

void CALLBACK PopupTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    ++g_popup.fires;
    HWND menu = FindWindowW(L"#32768", nullptr);
    if ((menu && IsWindowVisible(menu)) || g_popup.fires > 20) {
        g_popup.shown = menu && IsWindowVisible(menu);
        g_popup.marked = MarkedDifficulty();
        KillTimer(nullptr, timer);
        EndMenu();
    }
}

TEST_F(Shell, TheButtonsAndSoftKeysReachTheGame) {
    Start();
    KillTimer(window_, IDT_GAME);
    RECT bar;
    GetClientRect(g_state.menuBar, &bar);
    const LPARAM left = MAKELPARAM(10, bar.bottom / 2);
    const LPARAM right = MAKELPARAM(bar.right - 10, bar.bottom / 2);
    const struct {
        const char* how;
        bool popup;
    } cases[] = {{"Restart button", false}, {"Options button", true}, {"F1", false}, {"F2", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        g_state.fuel = 7;
        g_state.level = Hard;
        g_popup = PopupWatch();
        if (c.popup) {
            SetTimer(nullptr, 0, 50, PopupTimer);
        }
        const bool key = c.how[0] == 'F';
        if (key) {
            // Real key input (the bar hooks the keyboard input of the game's thread).
            SetForegroundWindow(window_);
            SetFocus(window_);
            INPUT press[2] = {};
            press[0].type = press[1].type = INPUT_KEYBOARD;
            press[0].ki.wVk = press[1].ki.wVk = c.popup ? VK_F2 : VK_F1;
            press[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ASSERT_EQ(2u, SendInput(2, press, sizeof(INPUT)));
            PumpUntil(300, [] { return false; });
        } else {
            SendMessageW(g_state.menuBar, WM_LBUTTONDOWN, MK_LBUTTON, c.popup ? right : left);
            SendMessageW(g_state.menuBar, WM_LBUTTONUP, 0, c.popup ? right : left);
        }
        if (c.popup) {
            PumpUntil(2000, [] { return g_popup.marked != 0; });
            EXPECT_TRUE(g_popup.shown) << "the pop-up opened";
            EXPECT_EQ(static_cast<UINT>(IDM_HARD), g_popup.marked) << "prepared by the game before it showed";
            EXPECT_EQ(7, g_state.fuel);
        } else {
            EXPECT_EQ(200, g_state.fuel) << "Restart started a Hard round";
        }
    }
}

TEST(MenuBar, RefusesARequestItCannotServe) {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"menuBarOwner";
        atom = RegisterClassW(&windowClass);
    }
    HWND owner = CreateWindowExW(0, L"menuBarOwner", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    const struct {
        const char* what;
        DWORD cbSize;
        HWND parent;
        UINT id;
        HINSTANCE resources;
        BOOL created;
    } cases[] = {
        {"a good request", sizeof(SHMENUBARINFO), owner, IDR_MENU, GetModuleHandleW(nullptr), TRUE},
        {"a record of another size", 36 + sizeof(SHMENUBARINFO), owner, IDR_MENU, GetModuleHandleW(nullptr),
         FALSE},
        {"no parent", sizeof(SHMENUBARINFO), nullptr, IDR_MENU, GetModuleHandleW(nullptr), FALSE},
        {"no such definition", sizeof(SHMENUBARINFO), owner, 999, GetModuleHandleW(nullptr), FALSE},
        {"a module without resources", sizeof(SHMENUBARINFO), owner, IDR_MENU,
         GetModuleHandleW(L"aygshell.dll"), FALSE},
    };
    for (const auto& c : cases) {
        SHMENUBARINFO request = {};
        request.cbSize = c.cbSize;
        request.hwndParent = c.parent;
        request.nToolBarId = c.id;
        request.hInstRes = c.resources;
        EXPECT_EQ(c.created, SHCreateMenuBar(&request)) << c.what;
        EXPECT_EQ(c.created != FALSE, IsWindow(request.hwndMB) != FALSE) << c.what;
        if (c.created) {
            // One menu, loaded once: the pop-up asked for is the one the Options button shows.
            HMENU popup =
                reinterpret_cast<HMENU>(SendMessageW(request.hwndMB, SHCMBM_GETSUBMENU, 0, IDM_OPTIONS));
            EXPECT_EQ(popup, reinterpret_cast<HMENU>(
                                 SendMessageW(request.hwndMB, SHCMBM_GETSUBMENU, IDM_OPTIONS, IDM_OPTIONS)));
            EXPECT_EQ(9, GetMenuItemCount(popup));
            EXPECT_EQ(0, SendMessageW(request.hwndMB, SHCMBM_GETSUBMENU, 0, IDM_RESTART)) << "no pop-up";
            DestroyWindow(request.hwndMB);
        }
    }
    DestroyWindow(owner);
}

} // namespace
