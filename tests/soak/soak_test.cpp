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

const int kTicks = 100000;
const int kRestartEvery = 300;
const int kSampleEvery = 10000;

struct Sample {
    int tick;
    int freeGdiSlots;
    DWORD handles;
    SIZE_T privateBytes;
};

// This process's open handles, from the system's handle list (Wine answers 0 to GetProcessHandleCount).
DWORD OpenHandles() {
    struct Entry {
        ULONG process;
        UCHAR type, flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    const SYSTEM_INFORMATION_CLASS kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    std::vector<char> buffer(4 << 20);
    ULONG length = 0;
    if (NtQuerySystemInformation(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                 &length) != 0) {
        return 0;
    }
    const List* list = reinterpret_cast<const List*>(buffer.data());
    DWORD mine = 0;
    for (ULONG i = 0; i < list->count; ++i) {
        mine += list->entries[i].process == GetCurrentProcessId();
    }
    return mine;
}

Sample Measure(int tick) {
    Sample sample = {tick, FreeGdiSlots(), OpenHandles(), 0};
    // The committed private memory (Wine leaves PrivateUsage 0 but fills PagefileUsage, the same figure).
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    sample.privateBytes = memory.PagefileUsage;
    return sample;
}

TEST(Soak, AHundredThousandTicksLeaveNothingBehind) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit\\craterDip");
    StoreInstallDir(CRATERDIP_ASSET_DIR);
    // Every sample fires the engine with thrust 4, holding the speed at 12: a landing on Easy (judged 4
    // slower), a crash on Medium.
    std::string script;
    for (int i = 0; i < kTicks; ++i) {
        script += "0 -125\n";
    }
    WriteBytes(TempPath(L"soak.tilt"), script);
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", TempPath(L"soak.tilt").c_str());
    ASSERT_TRUE(StartSensorService());
    LoadSensorSdk();
    ASSERT_TRUE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
    HWND window = g_state.mainWindow;
    ASSERT_NE(nullptr, g_state.landerBitmap) << "the game's pictures should load";

    std::vector<Sample> samples;
    int landings = 0, crashes = 0;
    for (int tick = 1; tick <= kTicks; ++tick) {
        SendMessageW(window, WM_TIMER, IDT_GAME, 0);
        UpdateWindow(window);
        if (tick % kRestartEvery == 0) {
            if (g_state.roundOver) {
                (g_state.crashed ? crashes : landings)++;
            }
            const int round = tick / kRestartEvery;
            SendMessageW(window, WM_COMMAND, round % 2 ? IDM_EASY : IDM_MEDIUM, 0);
            SendMessageW(window, WM_COMMAND, IDM_RESTART, 0);
        }
        if (tick == 1000 || tick % kSampleEvery == 0) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            samples.push_back(Measure(tick));
        }
    }

    printf("\n%8s %16s %10s %16s\n", "tick", "free GDI slots", "handles", "private bytes");
    for (const Sample& s : samples) {
        printf("%8d %16d %10lu %16llu\n", s.tick, s.freeGdiSlots, static_cast<unsigned long>(s.handles),
               static_cast<unsigned long long>(s.privateBytes));
    }
    printf("rounds: %d landings, %d crashes\n\n", landings, crashes);

    // Measured from tick 1000 on, after the platform's first-use allocations.
    const Sample& first = samples.front();
    const Sample& last = samples.back();
    EXPECT_GT(landings, 50);
    EXPECT_GT(crashes, 50);
    EXPECT_EQ(first.freeGdiSlots, last.freeGdiSlots) << "GDI objects left alive";
    EXPECT_GT(first.handles, 0u);
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
