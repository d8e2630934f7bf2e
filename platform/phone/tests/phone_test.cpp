// The phone shell's pieces that need no game: its command line, the taskbar's height and its keeping out of
// the keyboard's way.
#include "phone.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// Every option at once, with the longest path that fits; then each refusal, which names its reason and
// copies no path that does not fit.
TEST(PhoneOptions, CommandLines) {
    const std::wstring longest(MAX_PATH, L'a');
    const wchar_t* fits = longest.c_str() + 1;
    const wchar_t* all[] = {L"--no-game", L"--game", fits, L"--exit-after", L"86400", L"--no-service"};
    PhoneOptions options;
    wchar_t error[160] = L"";
    ASSERT_TRUE(ParsePhoneOptions(6, all, &options, error, 160)) << error;
    EXPECT_EQ(std::make_tuple(86400, false, false, 0),
              std::make_tuple(options.exitAfterSeconds, options.startGame, options.hostService,
                              wcscmp(options.game, fits)));
    const wchar_t* refused[][2] = {{L"--exit-after", nullptr},   {L"--exit-after", L"-1"},
                                   {L"--exit-after", L"5s"},     {L"--exit-after", L"86401"},
                                   {L"--game", nullptr},         {L"--game", L""},
                                   {L"--game", longest.c_str()}, {L"--seed", L"4"}};
    for (const auto& args : refused) {
        PhoneOptions untouched;
        error[0] = L'\0';
        EXPECT_FALSE(ParsePhoneOptions(args[1] ? 2 : 1, args, &untouched, error, 160) || !error[0] ||
                     untouched.game[0])
            << args[0];
    }
}

// The pixels of the taskbar in the vibrator's colour.
int VibratorPixels(HWND bar) {
    RECT r;
    GetClientRect(bar, &r);
    BITMAPINFO info = {{sizeof info.bmiHeader, r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HDC canvas = CreateCompatibleDC(nullptr), shown = GetDC(bar);
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(canvas, bitmap);
    BitBlt(canvas, 0, 0, r.right, r.bottom, shown, 0, 0, SRCCOPY);
    int count = 0;
    for (int i = 0; i < r.right * r.bottom; ++i) {
        count += (static_cast<DWORD*>(bits)[i] & 0xFFFFFF) == 0xFFD23C;
    }
    SelectObject(canvas, old);
    DeleteObject(bitmap);
    DeleteDC(canvas);
    ReleaseDC(bar, shown);
    return count;
}

// The taskbar never holds the activation or the keyboard: shown, or offered the activation when the active
// window goes (the system then looks for another window to activate), it leaves both to the game. Its height
// follows the shorter side of the screen, on either axis: just under VGA and square VGA. The vibrator shows
// on it while it runs, and only then.
TEST(Taskbar, KeepsOutOfTheKeyboardsWayAndFitsTheScreen) {
    const HWND bar = CreateTaskbar(GetModuleHandleW(nullptr));
    ASSERT_TRUE(bar != nullptr && GetActiveWindow() != bar);
    HWND game = CreateWindowExW(0, L"STATIC", L"game", WS_POPUP | WS_VISIBLE, 0, 100, 50, 50, nullptr,
                                nullptr, nullptr, nullptr);
    EXPECT_EQ(game, GetActiveWindow());
    DestroyWindow(game);
    EXPECT_TRUE(GetActiveWindow() != bar && GetFocus() != bar);
    EXPECT_EQ(std::make_tuple(26, 26, 52),
              std::make_tuple(TaskbarHeight(479, 800), TaskbarHeight(800, 479), TaskbarHeight(480, 480)));
    std::vector<int> shown;
    for (int on : {0, 1, 0}) {
        NLED_SETTINGS_INFO vibrator = {1, on, 0, 0, 0, 0, 0};
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &vibrator);
        PumpUntil([] { return false; }, 50); // the posted switch, and its paint
        shown.push_back(VibratorPixels(bar));
    }
    EXPECT_TRUE(shown[0] == 0 && shown[1] > 20 && shown[2] == 0) << ::testing::PrintToString(shown);
}

} // namespace
