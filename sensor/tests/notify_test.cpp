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
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", REG_DWORD, &value, sizeof value);
}

class Notifications : public testing::Test {
  protected:
    void SetUp() override {
        ResetSensorBinding();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\HTC");
        SetDllDirectoryW(BesideThisProgram(L"..\\bin").c_str());
        window_ = CreateCountingWindow();
    }
    void TearDown() override {
        StopSensorService();
        DestroyWindow(window_);
        ResetSensorBinding();
        SetDllDirectoryW(nullptr);
    }
    bool AwaitSensorChanges(size_t count, DWORD timeoutMs = 5000) {
        return PumpUntil([&] { return g_paintCounts.sensorChanges.size() >= count; }, timeoutMs);
    }
    HWND window_ = nullptr;
    BoxWatcher watcher_;
};

TEST_F(Notifications, WithoutTheServiceBothEndsReportAndNothingIsRegisteredOrClosed) {
    const HREGNOTIFY untouched = reinterpret_cast<HREGNOTIFY>(static_cast<INT_PTR>(0x1234));
    g_state.notifyHandle = untouched;

    EXPECT_FALSE(StartSensorNotifications(window_));
    EXPECT_FALSE(StopSensorNotifications());

    std::vector<SeenBox> boxes = watcher_.Seen();
    ASSERT_EQ(2u, boxes.size());
    const HWND owners[] = {window_, nullptr}; // at start, at stop
    for (int i = 0; i < 2; ++i) {
        ExpectErrorBox(boxes[i], L"Unable to create Sensor Event", owners[i]);
    }
    EXPECT_EQ(untouched, g_state.notifyHandle);
    EXPECT_EQ(nullptr, g_state.aygshellModule) << "neither registered nor closed";
    EXPECT_EQ(nullptr, OpenEventW(SYNCHRONIZE, FALSE, L"HTC_GSENSOR_SERVICESTART"))
        << "the probe keeps no event";
}

TEST_F(Notifications, WithTheServiceAChangeRepaintsWithoutErase) {
    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    PublishTilt(shared, 0, 0);
    SetEventChanged(kOrientationFaceUp); // as the service left it
    ASSERT_TRUE(StartSensorService());

    ASSERT_TRUE(StartSensorNotifications(window_));
    ASSERT_NE(nullptr, g_state.notifyHandle);
    HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, L"HTC_GSENSOR_SERVICESTART");
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(start, 0) == WAIT_TIMEOUT; }, 5000))
        << "the woken service resets its manual-reset event";
    CloseHandle(start);

    // Another value and an unchanged rewrite go unnoticed; a change written by anyone counts, and so does the
    // service's own as the phone turns to landscape.
    DWORD other = 5;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"Other", REG_DWORD, &other, sizeof other);
    SetEventChanged(kOrientationFaceUp); // written again unchanged
    EXPECT_FALSE(AwaitSensorChanges(1, 300));
    SetEventChanged(77);
    ASSERT_TRUE(AwaitSensorChanges(1));
    PublishTilt(shared, 900, 0);
    ASSERT_TRUE(AwaitSensorChanges(2));
    EXPECT_EQ(std::vector<LPARAM>({1, 1}), g_paintCounts.sensorChanges);
    PumpUntil([] { return g_paintCounts.paints > 0; }, 1000);
    EXPECT_EQ(0, g_paintCounts.erases);

    EXPECT_TRUE(StopSensorNotifications());
    SetEventChanged(78);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(std::vector<LPARAM>({1, 1}), g_paintCounts.sensorChanges) << "nothing after the close";
    EXPECT_TRUE(watcher_.Seen().empty());
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
        EXPECT_TRUE(!c.repaint || EqualRect(&update, &client));
        UpdateWindow(window_);
        EXPECT_EQ(c.repaint ? 1 : 0, g_paintCounts.paints);
        EXPECT_EQ(0, g_paintCounts.erases);
    }
}

TEST_F(Notifications, AMissingShellLibraryIsTriedAgainAtTheNextCall) {
    SetDllDirectoryW(BesideThisProgram(L"variants\\missing").c_str());
    HREGNOTIFY handle = nullptr;
    EXPECT_EQ(0, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                      WM_SENSORCHANGED, 1, nullptr, &handle));
    EXPECT_EQ(0, RegistryCloseNotification(nullptr));
    EXPECT_EQ(nullptr, g_state.aygshellModule);
    EXPECT_EQ(nullptr, handle);

    SetDllDirectoryW(BesideThisProgram(L"..\\bin").c_str());
    EXPECT_EQ(S_OK, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                         WM_SENSORCHANGED, 1, nullptr, &handle));
    ASSERT_NE(nullptr, handle);
    SetEventChanged(5);
    EXPECT_TRUE(AwaitSensorChanges(1));
    EXPECT_EQ(S_OK, RegistryCloseNotification(handle));
    EXPECT_EQ(S_OK, RegistryCloseNotification(nullptr)) << "closing nothing is harmless";
}

// The shell library's conditions: a message only when the watched value changes to one that matches.
TEST_F(Notifications, AConditionFiltersTheChanges) {
    const struct {
        REG_COMPARISONTYPE comparison;
        DWORD target, mask;
        size_t messages; // for the values 1, 2, 3, 2, 0x102 in turn
    } cases[] = {{REG_CT_EQUAL, 2, 0xFF, 3}, {REG_CT_GREATER, 2, 0xFFFF, 2}, {REG_CT_ANYCHANGE, 0, 0, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "comparison " << c.comparison);
        SetEventChanged(0);
        g_paintCounts = PaintCounts();
        NOTIFICATIONCONDITION condition = {c.comparison, {c.target}, c.mask};
        HREGNOTIFY handle = nullptr;
        ASSERT_EQ(S_OK, RegistryNotifyWindow(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", window_,
                                             WM_SENSORCHANGED, 9, &condition, &handle));
        for (DWORD value : {1, 2, 3, 2, 0x102}) {
            SetEventChanged(value);
            PumpUntil([] { return false; }, 100);
        }
        EXPECT_EQ(c.messages, g_paintCounts.sensorChanges.size());
        RegistryCloseNotification(handle);
    }
}

} // namespace
