// The sensor library's tilt sources: the script's reading rules, the keyboard ramp's promises to the
// player, the mouse and stick rules, and the library itself past the end of a script and after a close.
#include "HTCSensorSDK.h"
#include "tilt_sources.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

// The library's entries, imported (the game binds them at run time).
extern "C" __declspec(dllimport) HANDLE WINAPI HTCSensorOpen(DWORD sensor);
extern "C" __declspec(dllimport) DWORD WINAPI HTCSensorGetDataOutput(HANDLE sensor, TiltSample* sample);
extern "C" __declspec(dllimport) DWORD WINAPI HTCSensorClose(HANDLE sensor);

namespace {

using Samples = std::vector<std::pair<int, int>>;

// Blanks, comments, tabs, CRs and signs are fine; a value out of 16 bits, a count other than two or a
// non-decimal number makes a bad line, read as 0 0 with one problem each.
TEST(TiltScript, ReadingRules) {
    const std::tuple<std::string, Samples, size_t> cases[] = {
        {"\n  \t\n   # note\n11 -12 # steady\n1\t2\r\n\r\n +5  -0 \r\n", {{11, -12}, {1, 2}, {5, 0}}, 0},
        {"32768 0\n0 -32769\n99999999999 1\n1 1\n", {{0, 0}, {0, 0}, {0, 0}, {1, 1}}, 3},
        {"5\n1 2 3\n6 7\n", {{0, 0}, {0, 0}, {6, 7}}, 2},
        {"a b\n1.5 2\n0x10 3\n- 4\n1,2\n", {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, 5}};
    for (const auto& [text, expected, problems] : cases) {
        const tilt::Script script = tilt::ParseScript(text);
        Samples samples;
        for (const tilt::Sample& s : script.samples) {
            samples.push_back({s.tiltX, s.tiltY});
        }
        EXPECT_EQ(expected, samples) << text;
        EXPECT_EQ(problems, script.problems.size()) << text;
    }
}

// The flight turns dy <= -30 into thrust (1 per 30, at most 6) and |dx| > 60 into a sideways step of dx/40,
// dx/30 beyond 250 and dx/20 beyond 500. Per key: its direction, its full tilt, the most a one-sample tap may
// give (thrust 1, step 1) and the least a hold must reach within kRampSamples (thrust 6, the fastest step).
// Each tilt is taken along the key's direction, so a wrong sign shows as a value below 1.
TEST(KeyboardRamp, ATapIsSmallAndAHoldIsFull) {
    const int keys[][4] = {{-1, tilt::kKeyFullTiltY, 59, 180}, {+1, tilt::kKeyFullTiltX, 79, 501}};
    for (const auto& [direction, full, tap, hold] : keys) {
        tilt::AxisRamp ramp;
        const int tapped = tilt::NextRampTilt(&ramp, direction, full) * direction;
        EXPECT_TRUE(tapped >= 1 && tapped <= tap) << tapped;
        EXPECT_EQ(0, tilt::NextRampTilt(&ramp, 0, full)) << "letting go levels at once";
        int value = 0;
        for (int i = 0, previous = 1; i < tilt::kRampSamples; ++i, previous = value) {
            value = tilt::NextRampTilt(&ramp, direction, full) * direction;
            EXPECT_GE(value, previous) << "holding never tilts back";
        }
        EXPECT_TRUE(value >= hold && value <= tilt::kLimit) << value;
        EXPECT_EQ(value, tilt::NextRampTilt(&ramp, direction, full) * direction) << "full tilt holds";
        const int reversed = -tilt::NextRampTilt(&ramp, -direction, full) * direction;
        EXPECT_TRUE(reversed >= 1 && reversed <= tap) << "reversing starts small: " << reversed;
    }
}

// The stick's first step past the dead zone and its rim on both sides (-32768 has no positive twin), a drag
// clamped at full tilt, and the sources' sum kept within it. Rows: a stick's thumb and full tilt, or a drag's
// pixels (full tilt 0), and the tilt.
TEST(PointerAndStick, DeadZoneRimAndClamps) {
    const int rows[][3] = {{7849, 1000, 0},     {7874, 1000, 1},   {-7874, 1000, -1},
                           {20308, 1000, 500},  {32767, 300, 300}, {-32768, 1000, -1000},
                           {-32767, 300, -300}, {0, 0, 0},         {-25, 0, -100},
                           {250, 0, 1000},      {251, 0, 1000},    {-100000, 0, -1000}};
    for (const auto& [input, full, expected] : rows) {
        EXPECT_EQ(expected, full ? tilt::StickTilt(input, full) : tilt::DragTilt(input)) << input;
    }
    EXPECT_EQ(std::vector<int>({1000, -1000, -100}),
              std::vector<int>({tilt::Combine(600, 1000, 1000), tilt::Combine(-600, -1000, 0),
                                tilt::Combine(600, -1000, 300)}));
}

// The library beside this program: only the tilt sensor opens, a request past the script's end reads 0 0,
// and a closed handle is refused.
TEST(SensorLibrary, ReadsThroughItsHandleOnly) {
    const std::wstring path = TempPath(L"tilt_script_test.txt");
    WriteBytes(path, "-120 35\n");
    SetEnvironmentVariableW(L"CRATERDIP_TILT_SCRIPT", path.c_str());
    EXPECT_EQ(nullptr, HTCSensorOpen(2));
    HANDLE sensor = HTCSensorOpen(HTC_SENSOR_TILT);
    TiltSample first, past;
    EXPECT_EQ(0u, HTCSensorGetDataOutput(sensor, &first));
    EXPECT_EQ(0u, HTCSensorGetDataOutput(sensor, &past));
    EXPECT_EQ(Samples({{-120, 35}, {0, 0}}), Samples({{first.tiltX, first.tiltY}, {past.tiltX, past.tiltY}}));
    EXPECT_EQ(0u, HTCSensorClose(sensor));
    EXPECT_NE(0u, HTCSensorGetDataOutput(sensor, &first));
}

} // namespace
