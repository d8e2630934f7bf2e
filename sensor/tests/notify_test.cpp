// The sensor service's change notification: waking the service, subscribing through the late-bound shell
// library, the repaint on WM_SENSORCHANGED, and the failures when the service or the library is missing.
#include "sensor/sensor.h"

#include "platform/sensorsdk/include/tilt_shared.h"
#include "platform/sensorsvc/include/sensorsvc.h"
#include "watcher.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";

void SetEventChanged(DWORD value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSensorKey, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, L"EventChanged", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

bool ServiceEventExists() {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"HTC_GSENSOR_SERVICESTART");
    if (event != nullptr) {
        CloseHandle(event);
    }
    return event != nullptr;
}

class Notifications : public testing::Test {
  protected:
    void SetUp() override {
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\HTC");
        SetDllDirectoryW(BesideTest(L"..\\bin").c_str());
        window_ = CreateCountingWindow();
    }
    void TearDown() override {
        StopSensorService();
        if (g_state.notifyHandle != nullptr && g_state.closeNotificationFn != nullptr) {
            g_state.closeNotificationFn(g_state.notifyHandle);
        }
        DestroyWindow(window_);
        ResetSensorBinding();
        SetDllDirectoryW(nullptr);
    }
    bool AwaitSensorChange(size_t count) {
        return PumpUntil([&] { return g_paintCounts.sensorChanges.size() >= count; }, 5000);
    }
    HWND window_ = nullptr;
    BoxWatcher watcher_;
};

TEST_F(Notifications, WithoutTheServiceBothEndsReportAndNothingIsRegisteredOrClosed) {
    ASSERT_FALSE(ServiceEventExists());
    HREGNOTIFY untouched = reinterpret_cast<HREGNOTIFY>(static_cast<INT_PTR>(0x1234));
    g_state.notifyHandle = untouched;

    EXPECT_FALSE(StartSensorNotifications(window_));
    PumpUntil([] { return false; }, 50);
    EXPECT_FALSE(StopSensorNotifications());

    std::vector<SeenBox> boxes = watcher_.Seen();
    ASSERT_EQ(2u, boxes.size());
    const HWND owners[] = {window_, nullptr};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "at start" : "at stop");
        EXPECT_EQ(L"Unable to create Sensor Event", boxes[i].text);
        EXPECT_EQ(L"Error", boxes[i].caption);
        EXPECT_TRUE(boxes[i].topmost);
        EXPECT_FALSE(boxes[i].icon);
        EXPECT_EQ(1, boxes[i].buttons);
        EXPECT_EQ(owners[i], boxes[i].owner);
    }
    EXPECT_EQ(untouched, g_state.notifyHandle);
    EXPECT_EQ(nullptr, g_state.aygshellModule) << "neither registered nor closed";
    EXPECT_FALSE(ServiceEventExists()) << "the game's probe of the event does not keep it";
    g_state.notifyHandle = nullptr;
}

TEST_F(Notifications, WithTheServiceAChangeRepaintsWithoutErase) {
    ASSERT_TRUE(StartSensorService());
    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    ASSERT_NE(nullptr, shared);
    PublishTilt(shared, 0, 0); // face up

    ASSERT_TRUE(StartSensorNotifications(window_));
    ASSERT_NE(nullptr, g_state.notifyHandle);
    EXPECT_NE(nullptr, g_state.notifyWindowFn);

    // A change written by anyone, then one the service makes when the phone turns to landscape.
    SetEventChanged(77);
    ASSERT_TRUE(AwaitSensorChange(1));
    PublishTilt(shared, 900, 0);
    ASSERT_TRUE(AwaitSensorChange(2));
    EXPECT_EQ(std::vector<LPARAM>({1, 1}), g_paintCounts.sensorChanges);
    PumpUntil([] { return g_paintCounts.paints > 0; }, 1000);
    EXPECT_GE(g_paintCounts.paints, 1);
    EXPECT_EQ(0, g_paintCounts.erases);

    EXPECT_TRUE(StopSensorNotifications());
    EXPECT_NE(nullptr, g_state.closeNotificationFn);
    SetEventChanged(78);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(2u, g_paintCounts.sensorChanges.size()) << "no message after the close";
    EXPECT_TRUE(watcher_.Seen().empty());
    g_state.notifyHandle = nullptr; // closed
    CloseTiltShared(shared, mapping);
}

TEST_F(Notifications, OnlyTheRegistrationsUserDataRepaints) {
    const struct {
        WPARAM wParam;
        LPARAM lParam;
        bool repaint;
    } cases[] = {{0, 1, true}, {7, 1, true}, {0, 0, false}, {0, 2, false}, {1, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "lParam " << c.lParam);
        ValidateRect(window_, nullptr);
        g_paintCounts = PaintCounts();

        EXPECT_EQ(0, SendMessageW(window_, WM_SENSORCHANGED, c.wParam, c.lParam));

        RECT update = {}, client = {};
        GetClientRect(window_, &client);
        EXPECT_EQ(c.repaint, GetUpdateRect(window_, &update, FALSE) != 0);
        if (c.repaint) {
            EXPECT_TRUE(EqualRect(&update, &client));
        }
        UpdateWindow(window_);
        EXPECT_EQ(c.repaint ? 1 : 0, g_paintCounts.paints);
        EXPECT_EQ(0, g_paintCounts.erases);
    }
}

// A missing shell library is looked for again at the next call, and then used.
TEST_F(Notifications, AMissingShellLibraryIsTriedAgain) {
    SetDllDirectoryW(BesideTest(L"variants\\missing").c_str());
    HREGNOTIFY handle = nullptr;
    EXPECT_EQ(0, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                      WM_SENSORCHANGED, 1, nullptr, &handle));
    EXPECT_EQ(0, RegistryCloseNotification(nullptr));
    EXPECT_EQ(nullptr, g_state.aygshellModule);
    EXPECT_EQ(nullptr, handle);

    SetDllDirectoryW(BesideTest(L"..\\bin").c_str());
    EXPECT_EQ(S_OK, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                         WM_SENSORCHANGED, 1, nullptr, &handle));
    ASSERT_NE(nullptr, handle);
    SetEventChanged(5);
    EXPECT_TRUE(AwaitSensorChange(1));
    EXPECT_EQ(S_OK, RegistryCloseNotification(handle));
    EXPECT_EQ(S_OK, RegistryCloseNotification(nullptr)) << "closing nothing is harmless";
}

// A library without the entry is looked up again at each call as well.
TEST_F(Notifications, AMissingEntryIsLookedUpAgain) {
    g_state.aygshellModule = LoadLibraryW(L"kernel32.dll");
    HREGNOTIFY handle = nullptr;
    EXPECT_EQ(0, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                      WM_SENSORCHANGED, 1, nullptr, &handle));
    EXPECT_EQ(nullptr, g_state.notifyWindowFn);
    EXPECT_EQ(nullptr, handle);
}

} // namespace
