// The soak: the real start-up, window procedure, sensor library, sensor service, pictures and feedback run
// 100,000 game ticks with a paint after each, restarting every 300 ticks and alternating a difficulty on
// which the scripted tilt lands (Easy) with one on which it crashes (Medium). The live GDI objects, the
// handles and the private memory must stay flat. The figures are printed.
#include "app.h"
#include "res/resource.h"
#include "sensor/sensor.h"
#include "sensorsvc.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <winternl.h>

#include <stdio.h>
#include <vector>

namespace {

const int kTicks = 100000;
const int kRestartEvery = 300;
const int kSampleEvery = 10000;

// GDI objects that can still be made: Wine's GetGuiResources answers 0, so fill the handle table with pens
// and count. Fewer free slots than before means objects left alive.
int FreeGdiSlots() {
    std::vector<HGDIOBJ> made;
    for (HGDIOBJ pen; made.size() < 1000000 && (pen = CreatePen(PS_SOLID, 1, 0)) != nullptr;) {
        made.push_back(pen);
    }
    for (HGDIOBJ pen : made) {
        DeleteObject(pen);
    }
    return static_cast<int>(made.size());
}

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

// A tilt script whose every line fires the engine with thrust 4, so that the speed holds at 12: a landing on
// Easy (judged 4 slower), a crash on Medium.
std::wstring WriteSteadyThrustScript() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + L"soak.tilt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string lines;
    for (int i = 0; i < kTicks; ++i) {
        lines += "0 -125\n";
    }
    DWORD written = 0;
    WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

void PrepareRegistry() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit\\craterDip");
    HKEY key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Apps\\tundraBit craterDip", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    const std::wstring folder = ASSET_DIR;
    std::wstring windowsFolder;
    for (wchar_t c : folder) {
        windowsFolder += c == L'/' ? L'\\' : c;
    }
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(windowsFolder.c_str()),
                   static_cast<DWORD>((windowsFolder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

TEST(Soak, AHundredThousandTicksLeaveNothingBehind) {
    PrepareRegistry();
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", WriteSteadyThrustScript().c_str());
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
