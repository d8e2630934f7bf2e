// The phone shell's pieces that need no game: its command line, the taskbar's size and work area, the
// level's bubble and the clock.
#include "phone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct OptionCase {
    std::vector<const wchar_t*> args;
    bool accepted;
    int exitAfter;
    bool startGame;
    bool hostService;
    const wchar_t* game;
};

TEST(PhoneOptions, CommandLines) {
    const OptionCase cases[] = {
        {{}, true, -1, true, true, L""},
        {{L"--exit-after", L"12"}, true, 12, true, true, L""},
        {{L"--exit-after", L"0"}, true, 0, true, true, L""},
        {{L"--no-game", L"--no-service"}, true, -1, false, false, L""},
        {{L"--game", L"C:\\x\\craterDip.exe", L"--exit-after", L"3"},
         true,
         3,
         true,
         true,
         L"C:\\x\\craterDip.exe"},
        {{L"--exit-after"}, false, -1, true, true, L""},
        {{L"--exit-after", L"-1"}, false, -1, true, true, L""},
        {{L"--exit-after", L"5s"}, false, -1, true, true, L""},
        {{L"--exit-after", L"99999999999"}, false, -1, true, true, L""},
        {{L"--game"}, false, -1, true, true, L""},
        {{L"--game", L""}, false, -1, true, true, L""},
        {{L"--seed", L"4"}, false, -1, true, true, L""},
    };
    for (const OptionCase& c : cases) {
        PhoneOptions options;
        wchar_t error[160] = L"";
        bool accepted =
            ParsePhoneOptions(static_cast<int>(c.args.size()), c.args.data(), &options, error, 160);
        EXPECT_EQ(c.accepted, accepted) << "case " << (&c - cases);
        if (!c.accepted) {
            EXPECT_NE(L'\0', error[0]) << "a refusal names its reason";
            continue;
        }
        EXPECT_EQ(c.exitAfter, options.exitAfterSeconds);
        EXPECT_EQ(c.startGame, options.startGame);
        EXPECT_EQ(c.hostService, options.hostService);
        EXPECT_STREQ(c.game, options.game);
    }
}

TEST(PhoneOptions, LongGamePathIsRefusedNotCopied) {
    std::wstring path(MAX_PATH + 10, L'a');
    const wchar_t* args[] = {L"--game", path.c_str()};
    PhoneOptions options;
    wchar_t error[160];
    EXPECT_FALSE(ParsePhoneOptions(2, args, &options, error, 160));
    EXPECT_STREQ(L"", options.game);
}

TEST(Taskbar, HeightFollowsTheShorterSide) {
    const struct {
        int width, height, bar;
    } cases[] = {
        {240, 320, 26}, {320, 240, 26}, {479, 800, 26}, {480, 640, 52},
        {640, 480, 52}, {480, 800, 52}, {800, 480, 52}, {480, 480, 52},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bar, TaskbarHeight(c.width, c.height)) << c.width << "x" << c.height;
    }
}

TEST(Taskbar, CoversTheTopAndLeavesTheWorkAreaBelow) {
    HWND bar = CreateTaskbar(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, bar);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int barHeight = TaskbarHeight(width, height);
    RECT window;
    GetWindowRect(bar, &window);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(width, window.right);
    EXPECT_EQ(barHeight, window.bottom);
    EXPECT_EQ(bar, FindWindowW(PHONE_TASKBAR_CLASS, nullptr));
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(barHeight, work.top);
    EXPECT_EQ(height, work.bottom);
    EXPECT_EQ(width, work.right);
    DestroyWindow(bar);
    UnregisterClassW(PHONE_TASKBAR_CLASS, GetModuleHandleW(nullptr));
}

// The game is another process, where the shell's work area does not reach under Wine: a default-placed
// window must still land below the taskbar window.
TEST(Taskbar, DefaultWindowLandsBelowItInAnotherProcessView) {
    HWND bar = CreateTaskbar(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, bar);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    RECT full = {0, 0, width, height};
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &full, 0)); // as the game's process sees it
    HWND game =
        CreateWindowExW(0, L"STATIC", L"game", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, game);
    RECT placed;
    GetWindowRect(game, &placed);
    EXPECT_EQ(0, placed.left);
    EXPECT_EQ(TaskbarHeight(width, height), placed.top);
    EXPECT_EQ(height, placed.bottom);
    DestroyWindow(game);
    DestroyWindow(bar);
    UnregisterClassW(PHONE_TASKBAR_CLASS, GetModuleHandleW(nullptr));
}

TEST(Taskbar, BubbleFollowsTheLanderAndStaysInTheRing) {
    const int radius = 10;
    const struct {
        int tiltX, tiltY;
        LONG x, y;
    } cases[] = {
        {0, 0, 0, 0},
        {300, 0, 5, 0},    // half of full sideways tilt
        {-600, 0, -10, 0}, // full tilt left, on the ring
        {0, -100, 0, -5},  // engine tilt lifts the bubble
        {0, 200, 0, 10},
        {32767, 0, 10, 0}, // far past full tilt: on the ring
        {-32768, -32768, -3, -9},
        {6000, 2000, 7, 7}, // diagonal past the ring: scaled back onto it
    };
    for (const auto& c : cases) {
        POINT offset = LevelBubbleOffset(c.tiltX, c.tiltY, radius);
        EXPECT_EQ(c.x, offset.x) << c.tiltX << "," << c.tiltY;
        EXPECT_EQ(c.y, offset.y) << c.tiltX << "," << c.tiltY;
        EXPECT_LE(offset.x * offset.x + offset.y * offset.y, radius * radius + radius);
    }
}

TEST(Taskbar, Clock) {
    const struct {
        WORD hour, minute;
        const wchar_t* text;
    } cases[] = {{0, 0, L"0:00"}, {9, 5, L"9:05"}, {23, 59, L"23:59"}};
    for (const auto& c : cases) {
        SYSTEMTIME time = {};
        time.wHour = c.hour;
        time.wMinute = c.minute;
        wchar_t text[16];
        FormatClock(time, text, 16);
        EXPECT_STREQ(c.text, text);
    }
}

} // namespace
