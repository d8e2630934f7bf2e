// The sensor library's tilt sources: the script's reading rules, the keyboard ramp's promises to the
// player, the mouse and stick rules, and the library itself replaying a script.
#include "HTCSensorSDK.h"
#include "tilt_sources.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Samples = std::vector<std::pair<int, int>>;

TEST(TiltScript, ReadingRules) {
    const struct {
        std::string text;
        Samples samples;
        size_t problems; // one per bad line, each read as 0 0
    } cases[] = {
        {"\n  \t\n   # note\n11 -12 # steady\n1\t2\r\n\r\n +5  -0 \r\n", {{11, -12}, {1, 2}, {5, 0}}, 0},
        {"32768 0\n0 -32769\n99999999999 1\n1 1\n", {{0, 0}, {0, 0}, {0, 0}, {1, 1}}, 3},
        {"5\n1 2 3\n6 7\n", {{0, 0}, {0, 0}, {6, 7}}, 2},
        {"a b\n1.5 2\n0x10 3\n- 4\n1,2\n", {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        tilt::Script script = tilt::ParseScript(c.text);
        Samples samples;
        for (const tilt::Sample& s : script.samples) {
            samples.push_back({s.tiltX, s.tiltY});
        }
        EXPECT_EQ(c.samples, samples);
        EXPECT_EQ(c.problems, script.problems.size());
    }
}

// The flight turns dy <= -30 into thrust (1 per 30, at most 6) and |dx| > 60 into a sideways step of dx/40,
// dx/30 beyond 250 and dx/20 beyond 500. Per key: its direction, its full tilt, the most a one-sample tap may
// give (thrust 1, step 1) and the least a hold must reach within kRampSamples (thrust 6, the fastest step).
// The other direction of each axis is the reversal at the end.
TEST(KeyboardRamp, ATapIsSmallAndAHoldIsFull) {
    const int keys[][4] = {{-1, tilt::kKeyFullTiltY, 59, 180}, {+1, tilt::kKeyFullTiltX, 79, 501}};
    for (const auto& k : keys) {
        SCOPED_TRACE(testing::Message() << "direction " << k[0] << " full " << k[1]);
        const int direction = k[0];
        tilt::AxisRamp ramp;
        // Each tilt below is taken along the key's direction, so a wrong sign shows as a value below 1.
        const int tap = tilt::NextRampTilt(&ramp, direction, k[1]) * direction;
        EXPECT_TRUE(tap >= 1 && tap <= k[2]) << tap;
        EXPECT_EQ(0, tilt::NextRampTilt(&ramp, 0, k[1])) << "letting go levels at once";
        int value = 0;
        for (int i = 0, previous = 1; i < tilt::kRampSamples; ++i, previous = value) {
            value = tilt::NextRampTilt(&ramp, direction, k[1]) * direction;
            EXPECT_GE(value, previous) << "holding never tilts back";
        }
        EXPECT_TRUE(value >= k[3] && value <= tilt::kLimit) << value;
        EXPECT_EQ(value, tilt::NextRampTilt(&ramp, direction, k[1]) * direction) << "full tilt holds";
        const int reversed = -tilt::NextRampTilt(&ramp, -direction, k[1]) * direction;
        EXPECT_TRUE(reversed >= 1 && reversed <= k[2]) << "reversing starts small: " << reversed;
    }
}

template <typename Entry> Entry Find(HMODULE library, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Mouse and stick: the stick's first step past the dead zone and its rim on both sides (-32768 has no
// positive twin), a drag clamped at full tilt, and the sources' sum kept within it.
TEST(PointerAndStick, DeadZoneRimAndClamps) {
    const int stick[][3] = {{7849, 1000, 0},   {7874, 1000, 1},       {-7874, 1000, -1},  {20308, 1000, 500},
                            {32767, 300, 300}, {-32768, 1000, -1000}, {-32767, 300, -300}};
    for (const auto& c : stick) {
        EXPECT_EQ(c[2], tilt::StickTilt(c[0], c[1])) << c[0];
    }
    const int drag[][2] = {{0, 0}, {-25, -100}, {250, 1000}, {251, 1000}, {-100000, -1000}};
    for (const auto& c : drag) {
        EXPECT_EQ(c[1], tilt::DragTilt(c[0])) << c[0];
    }
    EXPECT_EQ(1000, tilt::Combine(600, 1000, 1000));
    EXPECT_EQ(-1000, tilt::Combine(-600, -1000, 0));
    EXPECT_EQ(-100, tilt::Combine(600, -1000, 300));
}

// The library beside this program: the script's bad line, and every request past its end, read 0 0; only
// the tilt sensor opens, and a closed handle is refused.
TEST(SensorLibrary, ReplaysTheScriptThroughItsHandle) {
    const std::wstring path = TempPath(L"tilt_script_test.txt");
    WriteBytes(path, "-120 35\nnot a sample\n600 -240\n");
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", path.c_str());
    HMODULE library = LoadLibraryW(L"HTCSensorSDK.dll");
    ASSERT_NE(nullptr, library);
    auto open = Find<HTCSensorOpenProc>(library, "HTCSensorOpen");
    auto read = Find<HTCSensorGetDataOutputProc>(library, "HTCSensorGetDataOutput");
    auto close = Find<HTCSensorCloseProc>(library, "HTCSensorClose");
    ASSERT_TRUE(open && read && close);

    EXPECT_EQ(nullptr, open(2));
    HANDLE sensor = open(HTC_SENSOR_TILT);
    ASSERT_NE(nullptr, sensor);
    Samples samples;
    TiltSample sample;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(DWORD(ERROR_SUCCESS), read(sensor, &sample));
        samples.push_back({sample.tiltX, sample.tiltY});
    }
    EXPECT_EQ(Samples({{-120, 35}, {0, 0}, {600, -240}, {0, 0}}), samples);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), close(sensor));
    EXPECT_NE(DWORD(ERROR_SUCCESS), read(sensor, &sample));

    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", nullptr);
    DeleteFileW(path.c_str());
}

} // namespace
