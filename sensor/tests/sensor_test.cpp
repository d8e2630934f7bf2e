// The game's sensor binding against stand-in libraries (one folder each under variants\), and the change
// notifications through the real shell library and sensor service in ..\bin.
#include "sensor/sensor.h"

#include "platform/sensorsdk/include/tilt_shared.h"
#include "platform/sensorsvc/include/sensorsvc.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";

// A message box as the player saw it ("caption [topmost]|part|..."), and its owner.
using Box = std::pair<std::wstring, HWND>;
std::vector<Box> g_boxes;
std::vector<LPARAM> g_changes; // lParam of each WM_SENSORCHANGED
int g_erases = 0;

Box ErrorBox(const wchar_t* text, HWND owner) {
    return {L"Error topmost|OK|" + std::wstring(text), owner};
}

// Each part of a box in turn, "|"-separated: its buttons' and texts' words, and "icon" for an icon shown.
BOOL CALLBACK DescribeChild(HWND child, LPARAM look) {
    wchar_t text[128] = {};
    GetWindowTextW(child, text, 128);
    *reinterpret_cast<std::wstring*>(look) += (text[0] != 0 ? L"|" + std::wstring(text) : L"") +
                                              (SendMessageW(child, STM_GETICON, 0, 0) != 0 ? L"|icon" : L"");
    return TRUE;
}

// Sees each message box of this thread as it is first activated, and presses its OK.
LRESULT CALLBACK SeeBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && GetClassLongW(box, GCW_ATOM) == 32770) { // the dialog class
        wchar_t caption[64] = {};
        GetWindowTextW(box, caption, 64);
        std::wstring look =
            caption + std::wstring(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST ? L" topmost" : L"");
        EnumChildWindows(box, DescribeChild, reinterpret_cast<LPARAM>(&look));
        g_boxes.push_back({look, GetWindow(box, GW_OWNER)});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
[[maybe_unused]] const HHOOK g_boxHook = SetWindowsHookExW(WH_CBT, SeeBox, nullptr, GetCurrentThreadId());

// Hands WM_SENSORCHANGED to the game's handler as the main window does, counting erases.
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_erases += message == WM_ERASEBKGND;
    if (message == WM_SENSORCHANGED) {
        g_changes.push_back(lParam);
        OnSensorChanged(window, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Forgets every binding and unloads what it loaded, so that each case starts as a fresh run.
void ResetSensorBinding() {
    FreeLibrary(GetModuleHandleW(L"HTCSensorSDK.dll"));
    FreeLibrary(g_state.aygshellModule); // none loaded is harmless
    g_state = GameState();
    g_boxes.clear();
}

TEST(Binding, EachLibraryFormAndWhatTheGameThenReads) {
    const struct {
        const wchar_t* variant; // folder of the stand-in "HTCSensorSDK.dll"; "missing" has none
        bool result;
        const wchar_t* message; // of the one box shown, if any
        const char* held;       // the open, close and read entry points, and a sensor handle
        const char* calls;      // what the stand-in saw; null when none is loaded
    } cases[] = {
        {L"missing", false, L"Unable to load Sensor DLL", "----", nullptr},
        {L"noclose", false, L"Unable to find entry point", "o-r-", ""},
        {L"nullopen", true, nullptr, "ocr-", "open tilt;"},
        {L"good", true, nullptr, "ocrh", "open tilt;read;read;close;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "library " << c.variant);
        ResetSensorBinding();
        SetDllDirectoryW((BesideThisProgram(L"variants\\") + c.variant).c_str());

        EXPECT_EQ(c.result, LoadSensorSdk());
        EXPECT_EQ(c.held,
                  std::string({g_state.sensorOpenFn ? 'o' : '-', g_state.sensorCloseFn ? 'c' : '-',
                               g_state.sensorGetDataFn ? 'r' : '-', g_state.sensorHandle ? 'h' : '-'}));
        const int x = c.held[3] == 'h' ? -120 : 0, y = c.held[3] == 'h' ? 35 : 0;

        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample); // every byte is cleared, also those a sensor leaves alone
        ReadTiltSample(&sample);
        EXPECT_EQ(std::vector<int>({x, y}), std::vector<int>({sample.tiltX, sample.tiltY}));
        EXPECT_EQ(std::vector<uint8_t>(16, 0), std::vector<uint8_t>(sample.reserved, sample.reserved + 16));

        g_state.calibTiltX = 5, g_state.calibTiltY = 6;
        CalibrateTilt();
        EXPECT_EQ(std::vector<int>({x, y}), std::vector<int>({g_state.calibTiltX, g_state.calibTiltY}));

        EXPECT_TRUE(CloseSensor());
        HMODULE sdk = GetModuleHandleW(L"HTCSensorSDK.dll");
        EXPECT_STREQ(c.calls, sdk != nullptr ? reinterpret_cast<const char*>(GetProcAddress(sdk, "fakeCalls"))
                                             : nullptr);
        EXPECT_EQ(c.message ? std::vector<Box>({ErrorBox(c.message, nullptr)}) : std::vector<Box>(), g_boxes);
    }
    ResetSensorBinding();
    SetDllDirectoryW(nullptr);
}

TEST(WideLookup, FindsExportsByAsciiNamesOnly) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount")),
              reinterpret_cast<void*>(GetProcAddressW(kernel, L"GetTickCount")));
    for (const wchar_t* name : {L"GetTickCountX", L"GetTick\u0143ount", L""}) {
        EXPECT_EQ(nullptr, GetProcAddressW(kernel, name));
    }
}

void SetEventChanged(DWORD value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", REG_DWORD, &value, sizeof value);
}

// Until `count` messages in all have come, or for the whole of `timeoutMs` when they do not.
bool AwaitChanges(size_t count, DWORD timeoutMs = 5000) {
    return PumpUntil([&] { return g_changes.size() >= count; }, timeoutMs);
}

TEST(Notifications, FirstWithoutTheServiceThenWithIt) {
    ResetSensorBinding();
    HWND window = CreateTestWindow(0, 0, 240, 320, CountingProc);

    // Without the shell library a wrapper calls nothing, and keeps no trace of the failure.
    SetDllDirectoryW(BesideThisProgram(L"variants\\missing").c_str());
    EXPECT_EQ(0, RegistryCloseNotification(nullptr));
    EXPECT_EQ(nullptr, g_state.aygshellModule);
    SetDllDirectoryW(BesideThisProgram(L"..\\bin").c_str());

    // Without the service both ends report, owned by the window at start and by none at stop, and nothing
    // is registered or closed.
    const HREGNOTIFY untouched = reinterpret_cast<HREGNOTIFY>(static_cast<INT_PTR>(0x1234));
    g_state.notifyHandle = untouched;
    EXPECT_FALSE(StartSensorNotifications(window));
    EXPECT_FALSE(StopSensorNotifications());
    const wchar_t text[] = L"Unable to create Sensor Event";
    EXPECT_EQ(std::vector<Box>({ErrorBox(text, window), ErrorBox(text, nullptr)}), g_boxes);
    EXPECT_EQ(untouched, g_state.notifyHandle);
    EXPECT_EQ(nullptr, g_state.aygshellModule) << "neither registered nor closed";

    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    PublishTilt(shared, 0, 0);
    SetEventChanged(kOrientationFaceUp); // as the service left it
    ASSERT_TRUE(StartSensorService());
    g_boxes.clear();

    ASSERT_TRUE(StartSensorNotifications(window));
    ASSERT_NE(nullptr, g_state.notifyHandle) << "the shell library is tried again";
    HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, L"HTC_GSENSOR_SERVICESTART");
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(start, 0) == WAIT_TIMEOUT; }, 5000))
        << "the woken service resets its manual-reset event";
    CloseHandle(start);

    // Another value and an unchanged rewrite go unnoticed; a change written by anyone counts, and so does the
    // service's own as the phone turns to landscape.
    DWORD other = 5;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"Other", REG_DWORD, &other, sizeof other);
    SetEventChanged(kOrientationFaceUp);
    EXPECT_FALSE(AwaitChanges(1, 300));
    SetEventChanged(77);
    ASSERT_TRUE(AwaitChanges(1));
    PublishTilt(shared, 900, 0);
    ASSERT_TRUE(AwaitChanges(2));

    EXPECT_TRUE(StopSensorNotifications());
    SetEventChanged(78);
    AwaitChanges(3, 300);
    EXPECT_EQ(std::vector<LPARAM>({1, 1}), g_changes) << "nothing after the close";
    EXPECT_EQ(S_OK, RegistryCloseNotification(nullptr)) << "closing nothing is harmless";
    EXPECT_TRUE(g_boxes.empty());
    CloseTiltShared(shared, mapping);
    StopSensorService();
    DestroyWindow(window);
}

TEST(Notifications, OnlyTheRegistrationsUserDataRepaintsTheWholeWindow) {
    HWND window = CreateTestWindow(0, 0, 240, 320, CountingProc);
    UpdateWindow(window);
    g_erases = 0;
    const int cases[][3] = {{7, 1, 1}, {0, 0, 0}, {1, 2, 0}, {0, -1, 0}}; // wParam, lParam, repaint
    RECT client, update;
    GetClientRect(window, &client);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "lParam " << c[1]);
        OnSensorChanged(window, c[0], c[1]);
        EXPECT_EQ(c[2], GetUpdateRect(window, &update, FALSE));
        EXPECT_TRUE(!c[2] || EqualRect(&update, &client));
        UpdateWindow(window);
        EXPECT_EQ(0, g_erases);
    }
    DestroyWindow(window);
}

} // namespace
