// The game's sensor binding against stand-in libraries (one folder each under variants\), and the change
// notifications through the shell library (stand-ins, then the real one in ..\bin) and the sensor service.
#include "sensor/sensor.h"

#include "app/settings.h"
#include "platform/sensorsdk/include/tilt_shared.h"
#include "platform/sensorsvc/include/sensorsvc.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";

// Each message box of this thread as it was shown ("caption|text", owner); each is dismissed by its OK.
using Box = std::pair<std::wstring, HWND>;
std::vector<Box> g_boxes;
LRESULT CALLBACK SeeBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t caption[64] = {}, text[128] = {}; // a box's text is its static control 0xFFFF
    if (code == HCBT_ACTIVATE && GetWindowTextW(box, caption, 64) &&
        GetDlgItemTextW(box, 0xFFFF, text, 128)) {
        g_boxes.push_back({caption + (L"|" + std::wstring(text)), GetWindow(box, GW_OWNER)});
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
[[maybe_unused]] const HHOOK g_boxHook = SetWindowsHookExW(WH_CBT, SeeBox, nullptr, GetCurrentThreadId());

// Forgets every binding and unloads what it loaded, so that each case starts as a fresh run.
void ResetSensorBinding() {
    FreeLibrary(GetModuleHandleW(L"HTCSensorSDK.dll"));
    FreeLibrary(g_state.aygshellModule); // none loaded is harmless
    g_state = GameState();
    g_boxes.clear();
}

// Every form of the sensor library (the folder of its stand-in; "missing" has none): the binding's result
// and error box, the entry points held (open, close, read, and a sensor handle), what a sample and a
// calibration read (the sensor's two values if any, 0 and 0 otherwise, never what the record held) and save,
// and the calls the library saw (none loaded: null).
TEST(Binding, EachLibraryFormAndWhatTheGameThenReads) {
    const std::tuple<const wchar_t*, bool, const wchar_t*, const char*, const char*> cases[] = {
        {L"missing", false, L"Error|Unable to load Sensor DLL", "----", nullptr},
        {L"noopen", false, L"Error|Unable to find entry point", "-cr-", ""},
        {L"nodata", false, L"Error|Unable to find entry point", "oc--", ""},
        {L"noclose", false, L"Error|Unable to find entry point", "o-r-", ""},
        {L"nullopen", true, nullptr, "ocr-", "open tilt;"},
        {L"good", true, nullptr, "ocrh", "open tilt;read;read;close;"}};
    for (const auto& [variant, result, box, held, calls] : cases) {
        SCOPED_TRACE(testing::Message() << "library " << variant);
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
        SetDllDirectoryW((BesideThisProgram(L"variants\\") + variant).c_str());

        EXPECT_EQ(result, LoadSensorSdk());
        EXPECT_EQ(held, std::string({g_state.sensorOpenFn ? 'o' : '-', g_state.sensorCloseFn ? 'c' : '-',
                                     g_state.sensorGetDataFn ? 'r' : '-', g_state.sensorHandle ? 'h' : '-'}));
        const int x = held[3] == 'h' ? -120 : 0, y = held[3] == 'h' ? 35 : 0;
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        ReadTiltSample(&sample);
        EXPECT_EQ(std::vector<int>({x, y}), std::vector<int>({sample.tiltX, sample.tiltY}));
        CalibrateTilt();
        g_state.calibTiltX = g_state.calibTiltY = 99;
        LoadSettings(); // the rest position as the calibration took and saved it
        EXPECT_EQ(std::vector<int>({x, y}), std::vector<int>({g_state.calibTiltX, g_state.calibTiltY}));

        EXPECT_TRUE(CloseSensor());
        HMODULE sdk = GetModuleHandleW(L"HTCSensorSDK.dll");
        EXPECT_STREQ(calls, sdk ? reinterpret_cast<const char*>(GetProcAddress(sdk, "fakeCalls")) : nullptr);
        EXPECT_EQ(box ? std::vector<Box>({{box, nullptr}}) : std::vector<Box>(), g_boxes);
    }
}

std::vector<LPARAM> g_changes; // lParam of each WM_SENSORCHANGED
LRESULT CALLBACK RecordChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SENSORCHANGED) {
        g_changes.push_back(lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Without the service both ends report, owned by the window at start and by none at stop, and nothing is
// registered or closed. With it, but without a shell library or with one that lacks the two entries, the
// wrappers call nothing and return 0, and try again next time; with the real one the window hears the woken
// service turn the phone, with the registration's user data, until the notification is closed.
TEST(Notifications, FromNoServiceToTheServiceAndTheRealShellLibrary) {
    ResetSensorBinding();
    HWND window = CreateTestWindow(0, 0, 240, 320, RecordChanges);
    const HREGNOTIFY untouched = reinterpret_cast<HREGNOTIFY>(static_cast<INT_PTR>(0x1234));
    g_state.notifyHandle = untouched;
    EXPECT_FALSE(StartSensorNotifications(window));
    EXPECT_FALSE(StopSensorNotifications());
    const std::wstring noEvent = L"Error|Unable to create Sensor Event";
    EXPECT_EQ(std::vector<Box>({{noEvent, window}, {noEvent, nullptr}}), g_boxes);
    EXPECT_EQ(untouched, g_state.notifyHandle);
    EXPECT_EQ(nullptr, g_state.aygshellModule) << "neither registered nor closed";

    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    PublishTilt(shared, 0, 0);
    DWORD orientation = kOrientationFaceUp; // as the service left it
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", REG_DWORD, &orientation, 4);
    ASSERT_TRUE(StartSensorService());
    for (const wchar_t* shell : {L"variants\\missing", L"variants\\shell"}) {
        SetDllDirectoryW(BesideThisProgram(shell).c_str());
        EXPECT_TRUE(StartSensorNotifications(window));
        EXPECT_EQ(nullptr, g_state.notifyHandle);
        EXPECT_EQ(0, RegistryCloseNotification(untouched));
    }
    ASSERT_NE(nullptr, g_state.aygshellModule) << "loaded at the second try";
    FreeLibrary(g_state.aygshellModule); // the stand-in; a new run would load the real library
    g_state.aygshellModule = nullptr;
    SetDllDirectoryW(BesideThisProgram(L"..\\bin").c_str());
    ASSERT_TRUE(StartSensorNotifications(window));
    ASSERT_NE(nullptr, g_state.notifyHandle);
    PublishTilt(shared, 900, 0); // landscape
    EXPECT_TRUE(PumpUntil([] { return !g_changes.empty(); }, 5000));
    EXPECT_TRUE(StopSensorNotifications());
    orientation = 77;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", REG_DWORD, &orientation, 4);
    PumpUntil([] { return g_changes.size() > 1; }, 300);
    EXPECT_EQ(std::vector<LPARAM>({1}), g_changes) << "nothing after the close";
    EXPECT_EQ(2u, g_boxes.size()) << "no box once the service runs";
    StopSensorService();
}

} // namespace
