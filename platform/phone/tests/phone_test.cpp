// The phone shell's pieces that need no game: its command line, the taskbar's height, its keeping out of the
// keyboard's way, and the level's bubble. Where the taskbar and the game's window land on each screen is
// checked on screen end to end.
#include "phone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PhoneOptions, CommandLines) {
    const std::wstring longest(MAX_PATH, L'a');
    const wchar_t* fits = longest.c_str() + 1; // the longest path that fits
    const wchar_t* all[] = {L"--no-game", L"--game", fits, L"--exit-after", L"86400", L"--no-service"};
    PhoneOptions options;
    wchar_t error[160] = L"";
    ASSERT_TRUE(ParsePhoneOptions(6, all, &options, error, 160)) << error;
    EXPECT_EQ(std::vector<int>({86400, false, false}),
              std::vector<int>({options.exitAfterSeconds, options.startGame, options.hostService}));
    EXPECT_STREQ(fits, options.game);

    // A refusal names its reason; a path that does not fit is not copied.
    const wchar_t* refused[][2] = {{L"--exit-after", nullptr},   {L"--exit-after", L"-1"},
                                   {L"--exit-after", L"5s"},     {L"--exit-after", L"86401"},
                                   {L"--game", nullptr},         {L"--game", L""},
                                   {L"--game", longest.c_str()}, {L"--seed", L"4"}};
    for (const auto& args : refused) {
        PhoneOptions untouched;
        error[0] = L'\0';
        EXPECT_FALSE(ParsePhoneOptions(args[1] ? 2 : 1, args, &untouched, error, 160)) << args[0];
        EXPECT_NE(L'\0', error[0]);
        EXPECT_STREQ(L"", untouched.game);
    }
}

// The taskbar never holds the activation or the keyboard: shown, or offered the activation when the active
// window goes (the system then looks for another window to activate), it leaves both to the game.
TEST(Taskbar, NeverTakesTheKeyboard) {
    HWND bar = CreateTaskbar(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, bar);
    EXPECT_NE(bar, GetActiveWindow());
    HWND game = CreateWindowExW(0, L"STATIC", L"game", WS_POPUP | WS_VISIBLE, 0, 100, 50, 50, nullptr,
                                nullptr, nullptr, nullptr);
    EXPECT_EQ(game, GetActiveWindow());
    DestroyWindow(game);
    EXPECT_NE(bar, GetActiveWindow());
    EXPECT_NE(bar, GetFocus());
    DestroyWindow(bar);
}

// The shorter side decides, on either axis: just under VGA and square VGA.
TEST(Taskbar, HeightFollowsTheShorterSide) {
    const int cases[][3] = {{479, 800, 26}, {800, 479, 26}, {480, 480, 52}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[2], TaskbarHeight(c[0], c[1])) << c[0] << "x" << c[1];
    }
}

TEST(Taskbar, BubbleFollowsTheLanderAndStaysInTheRing) {
    // tiltX, tiltY, and the offset in a ring of radius 10: half sideways tilt, the engine's tilt lifting it,
    // and tilts past full (also diagonal ones) scaled back onto the ring.
    const int cases[][4] = {
        {300, 0, 5, 0}, {0, -100, 0, -5}, {32767, 0, 10, 0}, {-32768, -32768, -3, -9}, {6000, 2000, 7, 7}};
    for (const auto& c : cases) {
        POINT offset = LevelBubbleOffset(c[0], c[1], 10);
        EXPECT_EQ(std::vector<int>({c[2], c[3]}), std::vector<int>({int(offset.x), int(offset.y)}))
            << c[0] << "," << c[1];
    }
}

} // namespace
