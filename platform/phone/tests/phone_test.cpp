// The phone shell's pieces that need no game: its command line, the taskbar's size, place and work area, the
// level's bubble and the clock.
#include "phone.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct OptionCase {
    std::vector<const wchar_t*> args;
    bool accepted;
    int exitAfter = -1; // a refusal leaves every option as it was
    bool startGame = true, hostService = true;
    const wchar_t* game = L"";
};

TEST(PhoneOptions, CommandLines) {
    const std::wstring longest(MAX_PATH, L'a'); // without its first unit, the longest path that fits
    const OptionCase cases[] = {
        {{}, true},
        {{L"--exit-after", L"0"}, true, 0},
        {{L"--exit-after", L"86400"}, true, 86400},
        {{L"--no-game", L"--no-service"}, true, -1, false, false},
        {{L"--game", L"C:\\x\\craterDip.exe", L"--exit-after", L"3"},
         true,
         3,
         true,
         true,
         L"C:\\x\\craterDip.exe"},
        {{L"--game", longest.c_str() + 1}, true, -1, true, true, longest.c_str() + 1},
        {{L"--exit-after"}, false},
        {{L"--exit-after", L"-1"}, false},
        {{L"--exit-after", L"5s"}, false},
        {{L"--exit-after", L"86401"}, false},
        {{L"--game"}, false},
        {{L"--game", L""}, false},
        {{L"--game", longest.c_str()}, false}, // refused, not copied
        {{L"--seed", L"4"}, false},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        PhoneOptions options;
        wchar_t error[160] = L"";
        EXPECT_EQ(c.accepted, ParsePhoneOptions(int(c.args.size()), c.args.data(), &options, error, 160));
        EXPECT_EQ(c.accepted, error[0] == L'\0') << "a refusal names its reason";
        EXPECT_EQ(std::vector<int>({c.exitAfter, c.startGame, c.hostService}),
                  std::vector<int>({options.exitAfterSeconds, options.startGame, options.hostService}));
        EXPECT_STREQ(c.game, options.game);
    }
}

TEST(Taskbar, HeightFollowsTheShorterSide) {
    const int cases[][3] = {{240, 320, 26}, {320, 240, 26}, {479, 800, 26}, {480, 640, 52},
                            {640, 480, 52}, {480, 800, 52}, {800, 480, 52}, {480, 480, 52}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[2], TaskbarHeight(c[0], c[1])) << c[0] << "x" << c[1];
    }
}

std::vector<LONG> Edges(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The game is another process, where the shell's work area does not reach under Wine: a default-placed
// window must still land below the taskbar window.
TEST(Taskbar, CoversTheTopAndDefaultWindowsLandBelowIt) {
    HWND bar = CreateTaskbar(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(bar, FindWindowW(PHONE_TASKBAR_CLASS, nullptr));
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const int top = TaskbarHeight(width, height);
    RECT placed, work, full = {0, 0, width, height};
    GetWindowRect(bar, &placed);
    EXPECT_EQ(Edges({0, 0, width, top}), Edges(placed));
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(Edges({0, top, width, height}), Edges(work));

    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &full, 0)); // as the game's process sees it
    HWND game = CreateWindowExW(0, L"STATIC", L"game", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    GetWindowRect(game, &placed);
    EXPECT_EQ(Edges({0, top, width, height}), Edges(placed));
    DestroyWindow(game);
    DestroyWindow(bar);
}

TEST(Taskbar, BubbleFollowsTheLanderAndStaysInTheRing) {
    // tiltX, tiltY, and the offset in a ring of radius 10: half and full sideways tilt, the engine's tilt
    // lifting it, and tilts past full (also diagonal ones) scaled back onto the ring.
    const int cases[][4] = {{0, 0, 0, 0},    {300, 0, 5, 0},    {-600, 0, -10, 0},        {0, -100, 0, -5},
                            {0, 200, 0, 10}, {32767, 0, 10, 0}, {-32768, -32768, -3, -9}, {6000, 2000, 7, 7}};
    for (const auto& c : cases) {
        POINT offset = LevelBubbleOffset(c[0], c[1], 10);
        EXPECT_EQ(std::vector<int>({c[2], c[3]}), std::vector<int>({int(offset.x), int(offset.y)}))
            << c[0] << "," << c[1];
    }
}

TEST(Taskbar, ClockShowsHoursAndTwoDigitMinutes) {
    const std::pair<int, const wchar_t*> cases[] = {{0, L"0:00"}, {905, L"9:05"}, {2359, L"23:59"}}; // hhmm
    for (const auto& c : cases) {
        SYSTEMTIME time = {};
        time.wHour = WORD(c.first / 100), time.wMinute = WORD(c.first % 100);
        wchar_t text[16];
        FormatClock(time, text, 16);
        EXPECT_STREQ(c.second, text);
    }
}

} // namespace
