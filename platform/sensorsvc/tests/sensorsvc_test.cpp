// The sensor service: its start event, the orientation it reads from the published tilt and writes when it
// changes, and its stand-alone program.
#include "sensorsvc.h"

#include "coredll.h"
#include "tilt_shared.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kSensorKey[] = L"Software\\HTC\\HTCSensor\\GSensor";

DWORD EventChanged() {
    DWORD value = 0xFFFFFFFF, size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSensorKey, L"EventChanged", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return 0xFFFFFFFF;
    }
    return value;
}

template <typename Done> bool WaitFor(Done done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(5);
    }
    return true;
}

HANDLE OpenStartEvent() {
    return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, L"HTC_GSENSOR_SERVICESTART");
}

TEST(Orientation, FromTheTilt) {
    const struct {
        int16_t x, y;
        SensorOrientation expected;
    } cases[] = {
        {0, 0, kOrientationFaceUp},          {399, -399, kOrientationFaceUp},
        {-399, 399, kOrientationFaceUp},     {400, 0, kOrientationLandscape},
        {-1000, 300, kOrientationLandscape}, {0, -400, kOrientationPortrait},
        {300, 1000, kOrientationPortrait},   {700, -700, kOrientationPortrait},
        {-32768, 0, kOrientationLandscape},  {0, -32768, kOrientationPortrait},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, OrientationOf(c.x, c.y)) << c.x << " " << c.y;
    }
}

TEST(Service, WakesOnItsEventAndWritesEachNewOrientation) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\HTC");
    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    ASSERT_NE(nullptr, shared);
    PublishTilt(shared, 0, 0);

    ASSERT_EQ(nullptr, OpenStartEvent());
    ASSERT_TRUE(StartSensorService());
    EXPECT_TRUE(StartSensorService()) << "a second start keeps the running service";
    HANDLE start = OpenStartEvent();
    ASSERT_NE(nullptr, start);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(start, 0)) << "created not signalled";

    // Asleep, it leaves the registry alone; woken, it resets the (manual-reset) event and starts to follow.
    Sleep(200);
    EXPECT_EQ(0xFFFFFFFF, EventChanged());
    SetEvent(start);
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(start, 0) == WAIT_TIMEOUT; }));
    EXPECT_TRUE(WaitFor([] { return EventChanged() == kOrientationFaceUp; }));

    const struct {
        int16_t x, y;
        DWORD expected;
    } turns[] = {{900, 0, kOrientationLandscape},
                 {0, -900, kOrientationPortrait},
                 {10, 10, kOrientationFaceUp},
                 {-600, -240, kOrientationLandscape}};
    for (const auto& t : turns) {
        PublishTilt(shared, t.x, t.y);
        EXPECT_TRUE(WaitFor([&] { return EventChanged() == t.expected; })) << t.x << " " << t.y;
    }

    // A write that does not change the orientation leaves the value alone.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSensorKey, 0, KEY_NOTIFY, &key));
    HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE);
    PublishTilt(shared, -700, 100);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(changed, 300));
    CloseHandle(changed);
    RegCloseKey(key);

    StopSensorService();
    CloseHandle(start);
    EXPECT_EQ(nullptr, OpenStartEvent()) << "the service released its event";
    PublishTilt(shared, 0, 900);
    Sleep(200);
    EXPECT_EQ(DWORD(kOrientationLandscape), EventChanged()) << "a stopped service writes nothing";

    ASSERT_TRUE(StartSensorService()) << "and it can start again";
    StopSensorService();
    CloseTiltShared(shared, mapping);
}

TEST(ServiceProgram, RunsUntilAskedToStop) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine(self);
    commandLine.resize(commandLine.find_last_of(L'\\') + 1);
    commandLine = L"\"" + commandLine + L"sensorsvc.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    EXPECT_TRUE(WaitFor([] {
        HANDLE start = OpenStartEvent();
        if (start != nullptr) {
            CloseHandle(start);
        }
        return start != nullptr;
    }));
    HANDLE stop = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] { return (stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"craterDipSensorServiceStop")); }));
    SetEvent(stop);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 10000));
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(stop);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

} // namespace
