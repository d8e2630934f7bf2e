// Feedback, seen through the phone's event trace: which sound is requested (an existing file, however
// broken, whose path fits), and the crash's vibration, with or without its sound.
#include "feedback.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A folder whose path is `length` characters long, holding an empty "cheer.wav" and a "destroyed.wav"
// that is a bare RIFF header: neither can play, but both exist.
std::wstring FolderWithSounds(size_t length) {
    const std::wstring path = TempPath(std::wstring(length - TempPath(L"").size(), L'd'));
    CreateDirectoryW(path.c_str(), nullptr);
    std::ofstream((path + L"\\cheer.wav").c_str());
    std::ofstream((path + L"\\destroyed.wav").c_str(), std::ios::binary).write("RIFF\x04\0\0\0WAVE", 12);
    return path;
}

// The path is the folder, a backslash and the name, and must fit 260 units with its terminator; a missing
// file and a path that does not fit are not requested (nor written past the buffer). A crash then switches
// LED 1 on and off three times, each pulse at least 70 ms long (less the tick count's granularity), also
// without its sound; a landing never vibrates. The rows run one after another into one trace, so a late
// pulse or a landing's stray vibration shows up among a later row's lines. Rows: the length of the
// installation folder's path (0: a folder that does not exist), a crash (or a landing), and whether its sound
// is requested.
TEST(Feedback, EachOutcomeRequestsItsSoundAndOnlyACrashVibrates) {
    const std::wstring trace = TempPath(L"feedback_trace.txt");
    DeleteFileW(trace.c_str());
    SetEnvironmentVariableW(L"CRATERDIP_TRACE", trace.c_str());
    std::vector<std::string> expected, lines;
    std::vector<unsigned long> stamps;
    // Reads the trace's lines (without their times) and their times; true once they are as many as expected.
    const auto read = [&] {
        std::ifstream file(std::string(trace.begin(), trace.end()));
        lines.clear(), stamps.clear();
        for (std::string line; std::getline(file, line);) {
            stamps.push_back(std::stoul(line));
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines.size() >= expected.size();
    };
    const std::tuple<size_t, bool, bool> cases[] = {
        {249, false, true}, {250, false, false}, {0, true, false}, {245, true, true}};
    for (const auto& [length, crash, heard] : cases) {
        const std::wstring installDir = length ? FolderWithSounds(length) : TempPath(L"nowhere");
        const std::string sound =
            std::string(installDir.begin(), installDir.end()) + (crash ? "\\destroyed" : "\\cheer");
        expected.insert(expected.end(), heard, "sound " + sound + ".wav");
        const size_t pulses = expected.size();
        for (int i = 0; crash && i < 6; ++i) {
            expected.push_back(i % 2 ? "led 1 off" : "led 1 on");
        }
        wcsncpy(g_state.installDir, installDir.c_str(), kInstallDirLength - 1);
        crash ? PlayCrashFeedback() : PlayLandingFeedback();
        // The pulses take about 219 ms; a busy machine may take longer to run the thread at all.
        PumpUntil(read, 10000);
        ASSERT_EQ(expected, lines);
        for (size_t on = pulses; on < lines.size(); on += 2) {
            EXPECT_GE(stamps[on + 1] - stamps[on], 54u) << "pulse " << (on - pulses) / 2;
        }
    }
}

} // namespace
