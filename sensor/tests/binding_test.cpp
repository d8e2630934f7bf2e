// Binding the sensor library: the three failure forms and a working library, the samples each gives, the
// close at exit, and calibration, which takes a sample and saves it.
#include "sensor/sensor.h"

#include "fake_sensor_calls.h"
#include "watcher.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// What the loaded stand-in saw; null when none is loaded.
FakeSensorCallCounts* Calls() {
    HMODULE sdk = GetModuleHandleW(L"HTCSensorSDK.dll");
    FARPROC calls = sdk != nullptr ? GetProcAddress(sdk, "FakeSensorCalls") : nullptr;
    return calls != nullptr ? reinterpret_cast<FakeSensorCallsProc>(reinterpret_cast<void (*)()>(calls))()
                            : nullptr;
}

DWORD SavedSetting(const wchar_t* name) {
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\tundraBit\\craterDip", name, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

TEST(Binding, EachLibraryFormAndWhatTheGameThenReads) {
    BoxWatcher watcher;
    // clang-format off
    const struct {
        const wchar_t* variant;  // folder of the stand-in "HTCSensorSDK.dll"; "missing" has none
        bool result;
        const wchar_t* message;  // null: no message box
        bool bindsOpen, bindsClose, bindsRead;
        int opens;               // -1: no library loaded
        bool sensorOpen;
        int16_t tiltX, tiltY;    // the sample the game reads, and calibrates to
    } cases[] = {
        {L"missing", false, L"Unable to load Sensor DLL", false, false, false, -1, false, 0, 0},
        {L"noclose", false, L"Unable to find entry point", true, false, true, 0, false, 0, 0},
        {L"nullopen", true, nullptr, true, true, true, 1, false, 0, 0},
        {L"good", true, nullptr, true, true, true, 1, true, -120, 35},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "library " << c.variant);
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
        SetDllDirectoryW((BesideThisProgram(L"variants\\") + c.variant).c_str());

        EXPECT_EQ(c.result, LoadSensorSdk());

        std::vector<SeenBox> boxes = watcher.Seen();
        ASSERT_EQ(c.message != nullptr ? 1u : 0u, boxes.size());
        if (c.message != nullptr) {
            ExpectErrorBox(boxes[0], c.message, nullptr);
        }
        EXPECT_EQ(c.bindsOpen, g_state.sensorOpenFn != nullptr);
        EXPECT_EQ(c.bindsClose, g_state.sensorCloseFn != nullptr);
        EXPECT_EQ(c.bindsRead, g_state.sensorGetDataFn != nullptr);
        EXPECT_EQ(c.sensorOpen, g_state.sensorHandle != nullptr);
        FakeSensorCallCounts* calls = Calls();
        ASSERT_EQ(c.opens >= 0, calls != nullptr);
        FakeSensorCallCounts none = {};
        calls = calls != nullptr ? calls : &none;
        EXPECT_EQ(c.opens > 0 ? c.opens : 0, calls->opens);
        EXPECT_EQ(DWORD(c.opens > 0 ? 1 : 0), calls->lastOpenArgument);
        calls->tiltX = -120, calls->tiltY = 35;

        // Every byte is cleared, also those a sensor leaves alone.
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        ReadTiltSample(&sample);
        EXPECT_EQ(c.tiltX, sample.tiltX);
        EXPECT_EQ(c.tiltY, sample.tiltY);
        EXPECT_EQ(std::vector<uint8_t>(16, 0), std::vector<uint8_t>(sample.reserved, sample.reserved + 16));
        EXPECT_EQ(c.sensorOpen ? 1 : 0, calls->reads);

        g_state.calibTiltX = 5, g_state.calibTiltY = 6;
        CalibrateTilt();
        EXPECT_EQ(c.tiltX, g_state.calibTiltX);
        EXPECT_EQ(c.tiltY, g_state.calibTiltY);
        EXPECT_EQ(DWORD(c.tiltX), SavedSetting(L"tiltX"));
        EXPECT_EQ(DWORD(c.tiltY), SavedSetting(L"tiltY"));

        EXPECT_TRUE(CloseSensor());
        EXPECT_EQ(c.sensorOpen ? 1 : 0, calls->closes);
        EXPECT_EQ(c.sensorOpen ? g_state.sensorHandle : nullptr, calls->lastClosed);
        EXPECT_TRUE(watcher.Seen().empty());
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

} // namespace
