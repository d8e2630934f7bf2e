// The shell in-process, with the real window procedure, menu bar, pictures, settings, sensor handling and
// tick: what the end-to-end suite cannot see from outside. The scale factors; start-up with and without a
// menu bar; a second start; each message's result and effect (a paint seen by the explosion frame it counts
// down, a difficulty by its radio mark); About's cancel; the shutdown's releases and save. Then the settings
// store against the test prefix's registry: the stored forms of a value that load and those that count as
// missing.
#include "app.h"
#include "res/resource.h"
#include "settings.h"

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
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";
// The sensor service's start event, held as a running service holds it: waking the service then succeeds
// (a failure would show a box that waits for a click).
const HANDLE g_serviceEvent = CreateEventW(nullptr, TRUE, FALSE, L"HTC_GSENSOR_SERVICESTART");

bool g_aboutCancelled = false; // About stayed open after a cancel command, and has no close box

// The scale factors for a landscape screen; then start-up without a menu bar (aygshell.dll has no menu-bar
// resources), which leaves the window in its place, and with one: the window is fitted above the 52-px bar
// at the bottom of the work area. The back buffer reaches to the window's right and bottom edges (not its
// width and height), the window has no extended style, the stored difficulty loads (a "level" that is no
// DWORD counts as missing: Medium), the scale factors come from the screen, both timers run, and the window
// is subscribed to the sensor service's changes. The run without a bar ends; the other goes on, and a second
// start brings it forward and ends.
TEST(Shell, StartUpEachMessageAndTheShutdown) {
    // Each size times the double nearest to 1/480 or 1/640, rounded to float: the float nearest to 2/3 for
    // 320 wide; a landscape screen shows the axes apart.
    SetScaleFactors(320, 240);
    EXPECT_EQ(std::make_tuple(2 / 3.0f, 0.375f), std::make_tuple(g_state.scaleX, g_state.scaleY));

    RECT area = {10, 52, 490, 640};
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &area, 0);
    StoreInstallDir(CRATERDIP_ASSET_DIR);
    for (const bool bar : {false, true}) {
        SCOPED_TRACE(bar ? "with a bar" : "without a bar");
        DestroyWindow(g_state.mainWindow);  // the run before, if any
        PumpUntil([] { return false; }, 0); // takes the quit message the window's end posts
        // The four bytes 3 0 0 0: level 3 as a DWORD, or (with the bar) a string.
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", bar ? REG_SZ : REG_DWORD, L"\3", 4);
        g_state = GameState();
        ASSERT_TRUE(InitInstance(GetModuleHandleW(bar ? nullptr : L"aygshell.dll"), SW_SHOW));
        RECT placed = {}, buffer = {};
        GetWindowRect(g_state.mainWindow, &placed);
        GetClipBox(g_state.backBuffer, &buffer);
        const LONG bottom = bar ? 588 : 640, level = bar ? Medium : Expert;
        EXPECT_EQ(std::vector<LONG>({10, 52, 490, bottom, 490, bottom, 0, level}),
                  std::vector<LONG>({placed.left, placed.top, placed.right, placed.bottom, buffer.right,
                                     buffer.bottom, GetWindowLongW(g_state.mainWindow, GWL_EXSTYLE),
                                     g_state.level}));
        EXPECT_FLOAT_EQ(GetSystemMetrics(SM_CXSCREEN) / 480.0f, g_state.scaleX);
        EXPECT_FLOAT_EQ(GetSystemMetrics(SM_CYSCREEN) / 640.0f, g_state.scaleY);
        EXPECT_TRUE(KillTimer(g_state.mainWindow, IDT_GAME) && KillTimer(g_state.mainWindow, IDT_KEEPAWAKE));
        EXPECT_NE(nullptr, g_state.notifyHandle) << "subscribed to the sensor service's changes";
    }
    const HWND other = CreateTestWindow(0, 0, 10, 10);
    SetForegroundWindow(other);
    ASSERT_EQ(other, GetForegroundWindow());
    EXPECT_FALSE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
    EXPECT_EQ(g_state.mainWindow, GetForegroundWindow());
    const HGDIOBJ pictures[] = {g_state.backgroundBitmap, g_state.landerBitmap, g_state.flameBitmap,
                                g_state.explosionBitmap};

    // About, once it shows, gets a cancel command, which must leave it open and in view (it has no system
    // menu, so no close box), then OK, which must end it.
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
        if (const HWND about = FindWindowW(L"#32770", L"About craterDip"); about && IsWindowVisible(about)) {
            KillTimer(nullptr, timer);
            SendMessageW(about, WM_COMMAND, IDCANCEL, 0);
            g_aboutCancelled = IsWindowVisible(about) && !(GetWindowLongW(about, GWL_STYLE) & WS_SYSMENU);
            SendMessageW(about, WM_COMMAND, IDOK, 0);
        }
    });
    // Each message's result and what it did, each row from a crashed round's explosion and a stored level
    // whose radio id (120 + level) wraps instead of overflowing, so nothing is marked: "round" (a pad placed
    // anew), "tick" (the lander moved), the pop-up's marks of Easy to Expert ("x" marked), "calibrated" (the
    // rest position taken from the sensor, here none: 0), "awake" (the idle timers reset around a silent
    // press and release of key 0), "paint" (the paint that follows drew the scene, which counts the explosion
    // down a frame), "about" (About ran, stayed after the cancel and ended by its OK), "closed" (the window
    // and its menu bar ended). Only the sensor registration's user data (lParam 1) repaints. WM_GETTEXTLENGTH
    // gets the default handling (the title's 9 letters), and so does the Options button's command; a
    // command's high word does not matter, and command 105, which no item carries, closes the window as Exit
    // does.
    const std::tuple<UINT, WPARAM, LPARAM, LRESULT, std::string> cases[] = {
        {WM_ERASEBKGND, 0, 0, -1, ""},
        {WM_TIMER, IDT_GAME, 0, 0, "tick paint"},
        {WM_TIMER, IDT_KEEPAWAKE, 0, 0, "awake"},
        {WM_SENSORCHANGED, 7, 1, 0, "paint"},
        {WM_SENSORCHANGED, 1, 2, 0, ""},
        {WM_GETTEXTLENGTH, 0, 0, 9, ""},
        {WM_COMMAND, IDM_RESTART, 0, 0, "round"},
        {WM_COMMAND, IDM_CALIBRATE, 0, 0, "calibrated"},
        {WM_COMMAND, MAKEWPARAM(IDM_EASY, 1), 0, 0, "x---"},
        {WM_COMMAND, IDM_MEDIUM, 0, 0, "-x--"},
        {WM_COMMAND, IDM_HARD, 0, 0, "--x-"},
        {WM_COMMAND, IDM_EXPERT, 0, 0, "---x"},
        {WM_COMMAND, IDM_OPTIONS, 0, 0, ""},
        {WM_COMMAND, IDM_ABOUT, 0, 1, "about"},
        {WM_COMMAND, IDM_OK, 0, 0, "closed"}};
    for (const auto& [message, wParam, lParam, result, expected] : cases) {
        SCOPED_TRACE(testing::Message() << message << " " << wParam << " " << lParam);
        g_state.level = 0x7FFFFFFF, g_state.padLeft = g_state.calibTiltX = 7, g_state.crashed = 1,
        g_state.explosionFramesLeft = 5, g_aboutCancelled = false, g_awake.clear();
        const int altitude = g_state.altitude;
        ValidateRect(g_state.mainWindow, nullptr);
        EXPECT_EQ(result, SendMessageW(g_state.mainWindow, message, wParam, lParam));
        UpdateWindow(g_state.mainWindow);
        SendMessageW(g_state.mainWindow, WM_INITMENUPOPUP, 0, 0);
        const auto popup = HMENU(SendMessageW(g_state.menuBar, SHCMBM_GETSUBMENU, 0, IDM_OPTIONS));
        std::string effect = g_state.padLeft != 7 ? " round" : "";
        effect += g_state.padLeft == 7 && g_state.altitude != altitude ? " tick" : "";
        std::string marks;
        for (UINT id = IDM_EASY; popup && id <= IDM_EXPERT; ++id) {
            marks += GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED ? "x" : "-";
        }
        effect += marks.find('x') != std::string::npos ? " " + marks : "";
        effect += g_state.calibTiltX != 7 ? " calibrated" : "";
        const std::vector<DWORD> keptAwake = {0, KEYEVENTF_SILENT, KEYEVENTF_SILENT | KEYEVENTF_KEYUP};
        effect += g_awake.empty() ? "" : g_awake == keptAwake ? " awake" : " other idle calls";
        effect += g_state.explosionFramesLeft == 4 ? " paint" : "";
        effect += g_aboutCancelled ? " about" : "";
        effect += IsWindow(g_state.mainWindow) || IsWindow(g_state.menuBar) ? "" : " closed";
        EXPECT_EQ(expected, effect.empty() ? effect : effect.substr(1));
    }
    // The shutdown freed the pictures and saved the difficulty, a DWORD over the stored string; the key holds
    // the level and the calibration's two values, nothing more.
    for (HGDIOBJ picture : pictures) {
        EXPECT_TRUE(picture != nullptr && GetObjectType(picture) == 0) << "loaded, then freed";
    }
    DWORD saved = 0, size = sizeof saved, values = 0;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", RRF_RT_REG_DWORD, nullptr, &saved, &size);
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key);
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(std::make_tuple(0x7FFFFFFFu, 3u), std::make_tuple(saved, values));
}

// A value as stored (name, type, bytes): "InstallDir" under HKLM, the others under HKCU. Text is UTF-16,
// with or without its terminating zero.
using Stored = std::tuple<std::wstring, DWORD, std::string>;
Stored Dword(const wchar_t* name, DWORD v) {
    return {name, REG_DWORD, std::string(reinterpret_cast<const char*>(&v), 4)};
}
Stored Text(const wchar_t* name, DWORD type, const std::wstring& text, bool terminated = true) {
    return {name, type,
            std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + terminated) * 2)};
}

// Rows: what loads, as "tiltX tiltY level|installDir", and the values stored; what a row does not store keeps
// the record's initial value (rest 0 0, Medium, no folder). A settings value of another type or size counts
// as missing, and so does an InstallDir that is empty, of another type or without room for its terminating
// zero (the fallback folder); numbers load as they stand, strings character for character (the longest that
// fits, 259 units ending in a backslash, stored without its zero).
TEST(Settings, LoadTakesFourByteDwordsAndUsableStringsOnly) {
    const std::wstring fallback = L"0 0 1|\\Program Files\\craterDip", dir = L"InstallDir";
    const std::wstring longest = std::wstring(258, L'x') + L"\\", full(260, L'y');
    const std::tuple<std::wstring, std::vector<Stored>> cases[] = {
        {L"0 0 1|", {}},
        {L"-2147483648 -120 2147483647|",
         {Dword(L"tiltX", 0x80000000), Dword(L"tiltY", -120), Dword(L"level", 0x7FFFFFFF)}},
        {L"0 8 1|", {{L"tiltX", REG_DWORD, "\x34\x12"}, Text(L"level", REG_SZ, L"3"), Dword(L"tiltY", 8)}},
        {fallback, {Text(dir.c_str(), REG_SZ, L"")}},
        {L"0 0 1|" + longest, {Text(dir.c_str(), REG_SZ, longest, false)}},
        {fallback, {Text(dir.c_str(), REG_SZ, full, false)}},
        {fallback, {Text(dir.c_str(), REG_SZ, full)}},
        {fallback, {Text(dir.c_str(), REG_BINARY, L"\\bin")}}};
    for (const auto& [loaded, values] : cases) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey), RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstallKey);
        g_state = GameState();
        for (const auto& [name, type, bytes] : values) {
            RegSetKeyValueW(name == dir ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                            name == dir ? kInstallKey : kSettingsKey, name.c_str(), type, bytes.data(),
                            bytes.size());
        }
        LoadSettings();
        LoadInstallDir();
        EXPECT_EQ(loaded, std::to_wstring(g_state.calibTiltX) + L" " + std::to_wstring(g_state.calibTiltY) +
                              L" " + std::to_wstring(g_state.level) + L"|" + g_state.installDir);
    }
}

} // namespace
