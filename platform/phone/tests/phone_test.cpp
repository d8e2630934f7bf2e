// The phone shell's pieces that need no game: its command line, the taskbar's height and its keeping out of
// the keyboard's way.
#include "phone.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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
    const auto vibratorShown = [bar](int on) { // the taskbar's pixels in its colour, once switched
        NLED_SETTINGS_INFO vibrator = {1, on, 0, 0, 0, 0, 0};
        NLedSetDevice(NLED_SETTINGS_INFO_ID, &vibrator);
        PumpUntil([] { return false; }, 50); // the posted switch, and its paint
        HDC dc = GetDC(bar);
        int count = 0;
        for (int i = 0, width = GetSystemMetrics(SM_CXSCREEN); i < width * 52; ++i) {
            count += GetPixel(dc, i % width, i / width) == RGB(255, 210, 60);
        }
        ReleaseDC(bar, dc);
        return count;
    };
    EXPECT_TRUE(vibratorShown(1) > 20 && vibratorShown(0) == 0);
}

} // namespace
