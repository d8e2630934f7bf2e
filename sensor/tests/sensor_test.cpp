// The game's sensor binding against stand-in libraries (one folder each under variants\), and the change
// notifications through the shell library (stand-ins, then the real one in ..\bin).
#include "sensor/sensor.h"

#include "app/settings.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <tuple>
#include <vector>

// Link seam: each message box the game shows ("caption|text", owner), answered at once by its OK. Each one
// is to stay above every window (MB_TOPMOST), so that a box without an owner is not lost behind the shell.
using Box = std::tuple<std::wstring, HWND>;
std::vector<Box> g_boxes;
extern "C" int CeMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    EXPECT_EQ(UINT(MB_TOPMOST), flags);
    g_boxes.push_back({caption + (L"|" + std::wstring(text)), owner});
    return IDOK;
}

namespace {

// Every form of the sensor library (the folder of its stand-in; "missing" has none): the error box (none
// when it binds), what a sample and a calibration read (the sensor's two values once it opened, 0 and 0
// otherwise, never what the record held) and save, and the calls the library saw (none loaded: null).
TEST(Binding, EachLibraryFormAndWhatTheGameThenReads) {
    const wchar_t noEntry[] = L"Error|Unable to find entry point";
    const std::tuple<const wchar_t*, const wchar_t*, const char*> cases[] = {
        {L"missing", L"Error|Unable to load Sensor DLL", nullptr},
        {L"noopen", noEntry, ""},
        {L"nodata", noEntry, ""},
        {L"noclose", noEntry, ""},
        {L"nullopen", nullptr, "open tilt;"},
        {L"good", nullptr, "open tilt;read;read;close;"}};
    for (const auto& [variant, box, calls] : cases) {
        SCOPED_TRACE(testing::Message() << "library " << variant);
        FreeLibrary(GetModuleHandleW(L"HTCSensorSDK.dll")); // each row as a fresh run
        g_state = GameState(), g_boxes.clear();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
        SetDllDirectoryW((BesideThisProgram(L"variants\\") + variant).c_str());
        EXPECT_EQ(box == nullptr, LoadSensorSdk());
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        ReadTiltSample(&sample);
        CalibrateTilt();
        g_state.calibTiltX = g_state.calibTiltY = 99;
        LoadSettings(); // the rest position as the calibration took and saved it
        EXPECT_TRUE(CloseSensor());
        const int x = calls && strstr(calls, "read") ? -120 : 0, y = x ? 35 : 0;
        EXPECT_EQ(std::make_tuple(x, y, x, y),
                  std::make_tuple(sample.tiltX, sample.tiltY, g_state.calibTiltX, g_state.calibTiltY));
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
// registered or closed. With it (its start event held here, as the service holds it, and set by the game to
// wake it), but without a shell library or with one that lacks the two entries, the wrappers call nothing
// and return 0, and try again next time; with the real one the window hears each change of the value, with
// the registration's user data, until the notification is closed.
TEST(Notifications, FromNoServiceToTheServiceAndTheRealShellLibrary) {
    HWND window = CreateTestWindow(0, 0, 240, 320, RecordChanges);
    const HREGNOTIFY untouched = reinterpret_cast<HREGNOTIFY>(static_cast<INT_PTR>(0x1234));
    g_state.notifyHandle = untouched;
    EXPECT_FALSE(StartSensorNotifications(window));
    EXPECT_FALSE(StopSensorNotifications());
    EXPECT_EQ(untouched, g_state.notifyHandle);
    EXPECT_EQ(nullptr, g_state.aygshellModule) << "neither registered nor closed";

    const HANDLE service = CreateEventW(nullptr, TRUE, FALSE, L"HTC_GSENSOR_SERVICESTART");
    for (const wchar_t* shell : {L"variants\\missing", L"variants\\shell"}) {
        SetDllDirectoryW(BesideThisProgram(shell).c_str());
        EXPECT_TRUE(StartSensorNotifications(window));
        EXPECT_EQ(nullptr, g_state.notifyHandle);
        EXPECT_EQ(0, RegistryCloseNotification(untouched));
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(service, 0)) << "the service woken";
    ASSERT_NE(nullptr, g_state.aygshellModule) << "loaded at the second try";
    FreeLibrary(g_state.aygshellModule); // the stand-in; a new run would load the real library
    g_state.aygshellModule = nullptr;
    SetDllDirectoryW(BesideThisProgram(L"..\\bin").c_str());
    const auto turn = [](DWORD orientation) { // the value the sensor service sets when the phone turns
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\HTC\\HTCSensor\\GSensor", L"EventChanged", REG_DWORD,
                        &orientation, 4);
    };
    turn(1); // the value is there before the registration
    ASSERT_TRUE(StartSensorNotifications(window));
    turn(2);
    EXPECT_TRUE(PumpUntil([] { return !g_changes.empty(); }, 5000));
    EXPECT_TRUE(StopSensorNotifications());
    turn(3);
    PumpUntil([] { return g_changes.size() > 1; }, 300);
    EXPECT_EQ(std::vector<LPARAM>({1}), g_changes) << "nothing after the close";
    const std::wstring noEvent = L"Error|Unable to create Sensor Event";
    EXPECT_EQ(std::vector<Box>({{noEvent, window}, {noEvent, nullptr}}), g_boxes)
        << "none once the service runs";
}

} // namespace
