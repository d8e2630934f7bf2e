// The sensor library's tilt sources: the script's reading rules, the keyboard ramp's promises to the
// player, and the library itself replaying a script and publishing it.
#include "HTCSensorSDK.h"
#include "tilt_shared.h"
#include "tilt_sources.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        {"1 2\n-3 -4", {{1, 2}, {-3, -4}}, 0},
        {"\n# start\n  \t\n7 8\n   # indented\n11 -12 # steady\n", {{7, 8}, {11, -12}}, 0},
        {"1\t2\r\n\r\n  +5   -0  \r\n-32768 32767\r\n", {{1, 2}, {5, 0}, {-32768, 32767}}, 0},
        {"32768 0\n0 -32769\n99999999999 1\n1 1\n", {{0, 0}, {0, 0}, {0, 0}, {1, 1}}, 3},
        {"5\n1 2 3\n6 7\n", {{0, 0}, {0, 0}, {6, 7}}, 2},
        {"a b\n1.5 2\n0x10 3\n- 4\n1,2\n", {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, 5},
        {"", {}, 0},
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
TEST(KeyboardRamp, ATapIsSmallAndAHoldIsFull) {
    const int keys[][4] = {{-1, tilt::kKeyFullTiltY, 59, 180},
                           {+1, tilt::kKeyFullTiltY, 59, 180},
                           {+1, tilt::kKeyFullTiltX, 79, 501},
                           {-1, tilt::kKeyFullTiltX, 79, 501}};
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

// The library beside this program, replaying a script and publishing each sample.
TEST(SensorLibrary, ReplaysTheScriptAndPublishesEachSample) {
    const std::wstring path = TempPath(L"tilt_script_test.txt");
    WriteBytes(path, "# a short round\n-120 35\n\nnot a sample\n600 -240\n");
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", path.c_str());
    HMODULE library = LoadLibraryW(L"HTCSensorSDK.dll");
    ASSERT_NE(nullptr, library);
    auto open = Find<HTCSensorOpenProc>(library, "HTCSensorOpen");
    auto read = Find<HTCSensorGetDataOutputProc>(library, "HTCSensorGetDataOutput");
    auto close = Find<HTCSensorCloseProc>(library, "HTCSensorClose");
    ASSERT_TRUE(open && read && close);

    EXPECT_EQ(nullptr, open(2)) << "only the tilt sensor exists";
    HANDLE sensor = open(HTC_SENSOR_TILT), mapping;
    ASSERT_NE(nullptr, sensor);
    TiltShared* shared = OpenTiltShared(&mapping);
    ASSERT_NE(nullptr, shared);

    // The bad line, and every request past the end, read 0 0.
    LONG last = shared->sequence, sequence;
    for (const auto& expected : Samples({{-120, 35}, {0, 0}, {600, -240}, {0, 0}, {0, 0}})) {
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        EXPECT_EQ(DWORD(ERROR_SUCCESS), read(sensor, &sample));
        int16_t x, y;
        ASSERT_TRUE(ReadTiltShared(shared, &x, &y, &sequence));
        EXPECT_EQ(Samples({expected, expected, {last + 2, 0}}),
                  Samples({{sample.tiltX, sample.tiltY}, {x, y}, {sequence, 0}}))
            << "handed out, published, and counted";
        last = sequence;
    }
    EXPECT_EQ(DWORD(ERROR_SUCCESS), close(sensor));
    TiltSample sample;
    EXPECT_NE(DWORD(ERROR_SUCCESS), read(sensor, &sample)) << "a closed handle is no longer known";

    CloseTiltShared(shared, mapping);
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", nullptr);
    DeleteFileW(path.c_str());
}

} // namespace
