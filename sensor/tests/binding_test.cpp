// Binding the sensor library: the three failure forms and a working library, the samples each gives, and
// calibration with and without a sensor.
#include "sensor/sensor.h"

#include "fake_sensor_calls.h"
#include "watcher.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";

// The calls the loaded stand-in saw; null when no stand-in is loaded.
FakeSensorCallCounts* Calls() {
    HMODULE sdk = GetModuleHandleW(L"HTCSensorSDK.dll");
    if (sdk == nullptr) {
        return nullptr;
    }
    auto calls = reinterpret_cast<FakeSensorCallsProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(sdk, "FakeSensorCalls")));
    return calls != nullptr ? calls() : nullptr;
}

class Binding : public testing::Test {
  protected:
    void SetUp() override {
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
    }
    void TearDown() override {
        ResetSensorBinding();
        SetDllDirectoryW(nullptr);
    }
    // Makes the named stand-in the library that LoadLibraryW(L"HTCSensorSDK.dll") finds.
    void UseVariant(const wchar_t* variant) {
        ASSERT_EQ(nullptr, GetModuleHandleW(L"HTCSensorSDK.dll"));
        SetDllDirectoryW((BesideTest(L"variants\\") + variant).c_str());
    }
    BoxWatcher watcher_;
};

TEST_F(Binding, EachLibraryFormAndWhatTheGameThenReads) {
    const struct {
        const wchar_t* variant;
        bool result;
        const wchar_t* message; // null: no message box
        bool bindsOpen, bindsClose, bindsRead;
        int opens;       // -1: no stand-in loaded
        bool sensorOpen; // a handle came back
        int16_t sampleX, sampleY;
        int closesAtExit;
    } cases[] = {
        {L"missing", false, L"Unable to load Sensor DLL", false, false, false, -1, false, 0, 0, 0},
        {L"noclose", false, L"Unable to find entry point", true, false, true, 0, false, 0, 0, 0},
        {L"nullopen", true, nullptr, true, true, true, 1, false, 0, 0, 0},
        {L"good", true, nullptr, true, true, true, 1, true, -120, 35, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "library " << c.variant);
        ResetSensorBinding();
        UseVariant(c.variant);

        EXPECT_EQ(c.result, LoadSensorSdk());

        std::vector<SeenBox> boxes = watcher_.Seen();
        if (c.message == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else if (boxes.size() != 1) {
            ADD_FAILURE() << boxes.size() << " message boxes";
        } else {
            EXPECT_EQ(c.message, boxes[0].text);
            EXPECT_EQ(L"Error", boxes[0].caption);
            EXPECT_TRUE(boxes[0].topmost);
            EXPECT_FALSE(boxes[0].icon);
            EXPECT_EQ(1, boxes[0].buttons);
            EXPECT_EQ(nullptr, boxes[0].owner);
        }
        EXPECT_EQ(c.bindsOpen, g_state.sensorOpenFn != nullptr);
        EXPECT_EQ(c.bindsClose, g_state.sensorCloseFn != nullptr);
        EXPECT_EQ(c.bindsRead, g_state.sensorGetDataFn != nullptr);
        EXPECT_EQ(c.sensorOpen, g_state.sensorHandle != nullptr);

        FakeSensorCallCounts* calls = Calls();
        EXPECT_EQ(c.opens >= 0, calls != nullptr);
        if (calls != nullptr) {
            EXPECT_EQ(c.opens, calls->opens);
            EXPECT_EQ(c.opens > 0 ? DWORD(1) : DWORD(0), calls->lastOpenArgument);
            calls->tiltX = -120;
            calls->tiltY = 35;
        }

        // Every byte is cleared, whether or not a sensor writes the two tilt values.
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        ReadTiltSample(&sample);
        EXPECT_EQ(c.sampleX, sample.tiltX);
        EXPECT_EQ(c.sampleY, sample.tiltY);
        for (uint8_t byte : sample.reserved) {
            EXPECT_EQ(0, byte);
        }
        if (calls != nullptr) {
            EXPECT_EQ(c.sensorOpen ? 1 : 0, calls->reads);
        }

        EXPECT_TRUE(CloseSensor());
        if (calls != nullptr) {
            EXPECT_EQ(c.closesAtExit, calls->closes);
            if (c.closesAtExit > 0) {
                EXPECT_EQ(g_state.sensorHandle, calls->lastClosed);
            }
        }
    }
}

TEST_F(Binding, CalibrationTakesTheSampleAndSavesIt) {
    const struct {
        const wchar_t* variant;
        int16_t tiltX, tiltY; // what the sensor reports
        int restX, restY;     // rest position taken and saved
    } cases[] = {
        {L"missing", 0, 0, 0, 0},
        {L"nullopen", -50, 70, 0, 0},
        {L"good", -120, 35, -120, 35},
        {L"good", -32768, 32767, -32768, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "library " << c.variant);
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
        UseVariant(c.variant);
        LoadSensorSdk();
        watcher_.Seen();
        if (FakeSensorCallCounts* calls = Calls()) {
            calls->tiltX = c.tiltX;
            calls->tiltY = c.tiltY;
        }
        g_state.calibTiltX = 5;
        g_state.calibTiltY = 6;

        CalibrateTilt();

        EXPECT_EQ(c.restX, g_state.calibTiltX);
        EXPECT_EQ(c.restY, g_state.calibTiltY);
        for (const auto& value : {std::make_pair(L"tiltX", c.restX), std::make_pair(L"tiltY", c.restY)}) {
            DWORD stored = 0xDEADBEEF, size = sizeof stored, type = REG_NONE;
            EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, value.first, RRF_RT_ANY,
                                                  &type, &stored, &size));
            EXPECT_EQ(DWORD(REG_DWORD), type);
            EXPECT_EQ(static_cast<DWORD>(value.second), stored);
        }
        EXPECT_TRUE(watcher_.Seen().empty()) << "calibration shows nothing";
    }
}

TEST(WideLookup, FindsExportsByAsciiNamesOnly) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const struct {
        const wchar_t* name;
        bool found;
    } cases[] = {
        {L"GetTickCount", true}, {L"GetTickCountX", false}, {L"GetTick\u00e7ount", false}, {L"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.found, GetProcAddressW(kernel, c.name) != nullptr) << testing::PrintToString(c.found);
    }
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount")),
              reinterpret_cast<void*>(GetProcAddressW(kernel, L"GetTickCount")));
}

} // namespace
