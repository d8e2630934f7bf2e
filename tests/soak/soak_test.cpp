// The soak: the real start-up, window procedure, sensor library, sensor service, pictures and feedback run
// 7,200 game ticks with a paint after each, restarting every 100 ticks and alternating a difficulty on which
// a steady thrust lands (Easy) with one on which it crashes (Medium). Once the platform has made its
// first-use objects, the live GDI objects, the handles and the private memory must stay flat; a leak of
// one object per round or a few bytes per tick shows within these 72 rounds. The figures are printed.
#include "app.h"
#include "res/resource.h"
#include "sensor/sensor.h"
#include "sensorsvc.h"

#include "testsupport.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <winternl.h>

#include <stdio.h>
#include <vector>

namespace {

// Free GDI slots (one fewer for every object alive), this process's handles, and its private bytes.
std::vector<long long> Figures() {
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&message);
    }
    // Wine answers 0 to GetProcessHandleCount, so the handles come from the system's handle list: a count,
    // then entries of six 32-bit words, each starting with the owner's process id.
    std::vector<ULONG> list(1 << 20);
    long long handles = 0;
    if (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), list.data(), 4 << 20, nullptr) ==
        0) {
        for (size_t i = 0; i < list[0] && 2 + 6 * i < list.size(); ++i) {
            handles += list[2 + 6 * i] == GetCurrentProcessId();
        }
    }
    // Wine leaves PrivateUsage 0 but fills PagefileUsage, the same figure.
    PROCESS_MEMORY_COUNTERS memory = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return {FreeGdiSlots(), handles, static_cast<long long>(memory.PagefileUsage)};
}

TEST(Soak, RoundAfterRoundLeavesNothingBehind) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit\\craterDip");
    StoreInstallDir(CRATERDIP_ASSET_DIR);
    ASSERT_TRUE(StartSensorService());
    LoadSensorSdk();
    ASSERT_TRUE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
    ASSERT_NE(nullptr, g_state.landerBitmap) << "the game's pictures should load";
    // No tilt source is attached, so every sample reads 0 0; a rest value 125 above that gives thrust 4 on
    // every tick and holds the speed at 12: a landing on Easy (judged 4 slower), a crash on Medium.
    g_state.calibTiltY = 125;
    // Counting the free GDI slots makes 65,000 objects: Wine's heaps grow by about 5 MB the first time, so a
    // count before the rounds keeps that growth out of the figures.
    Figures();
    std::vector<long long> first, last;
    int outcomes[2] = {}; // landings, crashes
    for (int tick = 1; tick <= 7200; ++tick) {
        SendMessageW(g_state.mainWindow, WM_TIMER, IDT_GAME, 0);
        UpdateWindow(g_state.mainWindow);
        if (tick % 100 == 0) { // a restart, alternating the difficulties
            outcomes[g_state.crashed] += g_state.roundOver;
            SendMessageW(g_state.mainWindow, WM_COMMAND, tick / 100 % 2 ? IDM_EASY : IDM_MEDIUM, 0);
            SendMessageW(g_state.mainWindow, WM_COMMAND, IDM_RESTART, 0);
        }
        if (tick % 1200 == 0) { // every twelfth round
            last = Figures();
            first = first.empty() ? last : first;
            printf("tick %5d: %lld free GDI slots, %lld handles, %lld private bytes\n", tick, last[0],
                   last[1], last[2]);
        }
    }
    printf("rounds: %d landings, %d crashes\n", outcomes[0], outcomes[1]);
    EXPECT_TRUE(outcomes[0] >= 30 && outcomes[1] >= 30) << "both outcomes, many times";
    EXPECT_TRUE(first[1] > 0 && first[2] > 0) << "the figures should be measurable";
    EXPECT_EQ(first[0], last[0]) << "GDI objects left alive";
    EXPECT_LE(last[1], first[1] + 2) << "handles left open";
    // Wine's heaps move by about a megabyte either way; a leak of 300 bytes a tick passes 2 MB.
    EXPECT_LE(last[2], first[2] + 2 * 1024 * 1024) << "private memory grew by more than 2 MB";
}

} // namespace
