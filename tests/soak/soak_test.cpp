// The soak: the real start-up, window procedure, sensor library, sensor service, pictures and feedback run
// 100,000 game ticks with a paint after each, restarting every 300 ticks and alternating a difficulty on
// which the scripted tilt lands (Easy) with one on which it crashes (Medium). The live GDI objects, the
// handles and the private memory must stay flat. The figures are printed.
#include "app.h"
#include "res/resource.h"
#include "sensor/sensor.h"
#include "sensorsvc.h"

#include "testsupport.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <winternl.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

// This process's open handles, from the system's handle list (Wine answers 0 to GetProcessHandleCount):
// a count, then entries of six 32-bit words, each starting with the owner's process id.
int OpenHandles() {
    std::vector<ULONG> list(1 << 20);
    if (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), list.data(), 4 << 20, nullptr) !=
        0) {
        return 0;
    }
    int mine = 0;
    for (size_t i = 0; i < list[0] && 2 + 6 * i < list.size(); ++i) {
        mine += list[2 + 6 * i] == GetCurrentProcessId();
    }
    return mine;
}

// Free GDI slots, open handles and then (so that their own allocations count from the first sample on) the
// committed private memory: Wine leaves PrivateUsage 0 but fills PagefileUsage, the same figure.
struct Figures {
    int freeGdiSlots, handles;
    unsigned long long privateBytes;
};
Figures Measure() {
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&message);
    }
    Figures figures = {FreeGdiSlots(), OpenHandles(), 0};
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    figures.privateBytes = memory.PagefileUsage;
    return figures;
}

TEST(Soak, AHundredThousandTicksLeaveNothingBehind) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit\\craterDip");
    StoreInstallDir(CRATERDIP_ASSET_DIR);
    // Every sample fires the engine with thrust 4, holding the speed at 12: a landing on Easy (judged 4
    // slower), a crash on Medium.
    std::string script;
    for (int i = 0; i < 100000; ++i) {
        script += "0 -125\n";
    }
    WriteBytes(TempPath(L"soak.tilt"), script);
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", TempPath(L"soak.tilt").c_str());
    ASSERT_TRUE(StartSensorService());
    LoadSensorSdk();
    ASSERT_TRUE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
    const HWND window = g_state.mainWindow;
    ASSERT_NE(nullptr, g_state.landerBitmap) << "the game's pictures should load";

    // Measured from tick 1000 on, after the platform's first-use allocations.
    Figures first = {}, last = {};
    int outcomes[2] = {}; // landings, crashes
    printf("\n%8s %16s %10s %16s\n", "tick", "free GDI slots", "handles", "private bytes");
    for (int tick = 1; tick <= 100000; ++tick) {
        SendMessageW(window, WM_TIMER, IDT_GAME, 0);
        UpdateWindow(window);
        if (tick % 300 == 0) { // a restart, alternating the difficulties
            outcomes[g_state.crashed] += g_state.roundOver;
            SendMessageW(window, WM_COMMAND, tick / 300 % 2 ? IDM_EASY : IDM_MEDIUM, 0);
            SendMessageW(window, WM_COMMAND, IDM_RESTART, 0);
        }
        if (tick == 1000 || tick % 10000 == 0) {
            last = Measure();
            first = tick == 1000 ? last : first;
            printf("%8d %16d %10d %16llu\n", tick, last.freeGdiSlots, last.handles, last.privateBytes);
        }
    }
    printf("rounds: %d landings, %d crashes\n\n", outcomes[0], outcomes[1]);
    EXPECT_GT(outcomes[0], 50);
    EXPECT_GT(outcomes[1], 50);
    EXPECT_EQ(first.freeGdiSlots, last.freeGdiSlots) << "GDI objects left alive";
    EXPECT_GT(first.handles, 0);
    EXPECT_LE(last.handles, first.handles + 16) << "handles left open";
    EXPECT_GT(first.privateBytes, 0u);
    EXPECT_LE(last.privateBytes, first.privateBytes + 4 * 1024 * 1024)
        << "private memory grew by more than 4 MB";

    DestroyWindow(window);
    CloseSensor();
    StopSensorNotifications();
    StopSensorService();
}

} // namespace
