// The sensor library's tilt sources: the script's reading rules, the keyboard ramp's promises to the
// player, and the library itself replaying a script and publishing it.
#include "HTCSensorSDK.h"
#include "tilt_shared.h"
#include "tilt_sources.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Samples = std::vector<std::pair<int, int>>;

Samples Flatten(const tilt::Script& script) {
    Samples out;
    for (const tilt::Sample& s : script.samples) {
        out.push_back({s.tiltX, s.tiltY});
    }
    return out;
}

TEST(TiltScript, ReadingRules) {
    // clang-format off
    const struct {
        const char* what;
        std::string text;
        Samples samples;
        size_t problems;
    } cases[] = {
        {"plain lines, last without newline", "1 2\n-3 -4", {{1, 2}, {-3, -4}}, 0},
        {"blank and comment lines skipped", "\n# start\n  \t\n7 8\n   # indented\n9 10\n", {{7, 8}, {9, 10}}, 0},
        {"comment after the values", "11 -12 # steady\n", {{11, -12}}, 0},
        {"CRLF, tabs, signs, spacing", "1\t2\r\n\r\n  +5   -0  \r\n", {{1, 2}, {5, 0}}, 0},
        {"range ends", "-32768 32767\n", {{-32768, 32767}}, 0},
        {"beyond the range", "32768 0\n0 -32769\n99999999999 1\n1 1\n", {{0, 0}, {0, 0}, {0, 0}, {1, 1}}, 3},
        {"one or three values", "5\n1 2 3\n6 7\n", {{0, 0}, {0, 0}, {6, 7}}, 2},
        {"not integers", "a b\n1.5 2\n0x10 3\n- 4\n1,2\n", {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, 5},
        {"empty", "", {}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tilt::Script script = tilt::ParseScript(c.text);
        EXPECT_EQ(c.samples, Flatten(script));
        EXPECT_EQ(c.problems, script.problems.size());
    }
}

// The flight turns dy <= -30 into thrust (1 per 30, at most 6) and |dx| > 60 into a sideways step of dx/40,
// dx/30 beyond 250 and dx/20 beyond 500.
TEST(KeyboardRamp, ATapIsSmallAndAHoldIsFull) {
    const struct {
        int direction, fullTilt;
        int tapAtMost;   // |tilt| after one sample
        int holdAtLeast; // |tilt| reached within kRampSamples samples
    } axes[] = {
        {-1, tilt::kKeyFullTiltY, 59, 180}, // up: thrust 1 at most on a tap, 6 when held
        {+1, tilt::kKeyFullTiltY, 59, 180}, // down
        {+1, tilt::kKeyFullTiltX, 79, 501}, // right: step 1 at most, then the fastest step
        {-1, tilt::kKeyFullTiltX, 79, 501}, // left
    };
    for (const auto& a : axes) {
        SCOPED_TRACE(testing::Message() << "direction " << a.direction << " full " << a.fullTilt);
        tilt::AxisRamp ramp;
        int tap = tilt::NextRampTilt(&ramp, a.direction, a.fullTilt);
        EXPECT_LE(std::abs(tap), a.tapAtMost);
        EXPECT_NE(0, tap) << "a tap still tilts";
        EXPECT_EQ(0, tilt::NextRampTilt(&ramp, 0, a.fullTilt)) << "letting go levels at once";

        int previous = 0, value = 0;
        for (int i = 0; i < tilt::kRampSamples; ++i) {
            value = tilt::NextRampTilt(&ramp, a.direction, a.fullTilt);
            EXPECT_GT(value * a.direction, 0) << "the sign follows the key";
            EXPECT_GE(std::abs(value), std::abs(previous)) << "holding never tilts back";
            previous = value;
        }
        EXPECT_GE(std::abs(value), a.holdAtLeast);
        EXPECT_LE(std::abs(value), tilt::kLimit);
        EXPECT_EQ(value, tilt::NextRampTilt(&ramp, a.direction, a.fullTilt)) << "full tilt holds";

        int reversed = tilt::NextRampTilt(&ramp, -a.direction, a.fullTilt);
        EXPECT_LE(std::abs(reversed), a.tapAtMost) << "reversing starts small";
        EXPECT_LT(reversed * a.direction, 0);
    }
}

// The library beside this program, replaying a script and publishing each sample.
TEST(SensorLibrary, ReplaysTheScriptAndPublishesEachSample) {
    const std::wstring path = TempPath(L"tilt_script_test.txt");
    WriteBytes(path, "# a short round\n-120 35\n\nnot a sample\n600 -240\n");
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", path.c_str());

    HMODULE library = LoadLibraryW(L"HTCSensorSDK.dll");
    ASSERT_NE(nullptr, library);
    auto entry = [&](const char* name) {
        return reinterpret_cast<void (*)()>(GetProcAddress(library, name));
    };
    auto open = reinterpret_cast<HTCSensorOpenProc>(entry("HTCSensorOpen"));
    auto read = reinterpret_cast<HTCSensorGetDataOutputProc>(entry("HTCSensorGetDataOutput"));
    auto close = reinterpret_cast<HTCSensorCloseProc>(entry("HTCSensorClose"));
    ASSERT_TRUE(open && read && close);

    EXPECT_EQ(nullptr, open(2)) << "only the tilt sensor exists";
    HANDLE sensor = open(HTC_SENSOR_TILT);
    ASSERT_NE(nullptr, sensor);
    HANDLE mapping;
    TiltShared* shared = OpenTiltShared(&mapping);
    ASSERT_NE(nullptr, shared);

    const Samples expected = {{-120, 35}, {0, 0}, {600, -240}, {0, 0}, {0, 0}};
    LONG lastSequence = shared->sequence;
    for (size_t i = 0; i < expected.size(); ++i) {
        TiltSample sample;
        memset(&sample, 0xCD, sizeof sample);
        EXPECT_EQ(DWORD(ERROR_SUCCESS), read(sensor, &sample));
        EXPECT_EQ(expected[i], std::make_pair(int(sample.tiltX), int(sample.tiltY))) << "sample " << i;
        int16_t x, y;
        LONG sequence;
        ASSERT_TRUE(ReadTiltShared(shared, &x, &y, &sequence));
        EXPECT_EQ(expected[i], std::make_pair(int(x), int(y)));
        EXPECT_EQ(lastSequence + 2, sequence);
        lastSequence = sequence;
    }
    EXPECT_EQ(DWORD(ERROR_SUCCESS), close(sensor));
    TiltSample sample;
    EXPECT_NE(DWORD(ERROR_SUCCESS), read(sensor, &sample)) << "a closed handle is no longer known";

    CloseTiltShared(shared, mapping);
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", nullptr);
    DeleteFileW(path.c_str());
}

} // namespace
