// Feedback, seen through the phone's event trace: which sound is requested, where the sound's path stops
// fitting, and the vibration's pulses and their timing.
#include "feedback.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // the test's paths are ASCII
}

// A folder whose path is `length` characters long, holding both sounds.
std::wstring FolderWithSounds(size_t length) {
    const std::wstring parent = TempPath(L"fb");
    const std::wstring path = parent + L"\\" + std::wstring(length - parent.size() - 1, L'd');
    CreateDirectoryW(parent.c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    WriteBytes(path + L"\\cheer.wav", "");
    WriteBytes(path + L"\\destroyed.wav", "");
    return path;
}

// The trace's lines: a millisecond stamp and the event.
std::vector<std::pair<unsigned long, std::string>> Trace(const std::wstring& path) {
    std::vector<std::pair<unsigned long, std::string>> lines;
    std::ifstream file(Narrow(path));
    for (std::string line; std::getline(file, line);) {
        lines.push_back({std::stoul(line), line.substr(line.find(' ') + 1)});
    }
    return lines;
}

// The path is the folder, a backslash and the name, and must fit 260 units with its terminator; a path that
// does not fit is a missing sound (and is never written past its buffer). A crash then pulses LED 1 three
// times (70 ms on, then off) on a thread of its own, so the request returns first, and a missing crash sound
// still vibrates. A landing never vibrates.
TEST(Feedback, EachOutcomeRequestsItsSoundAndOnlyACrashVibrates) {
    const struct {
        std::wstring installDir;
        bool crash, heard;
    } cases[] = {{FolderWithSounds(249), false, true},
                 {FolderWithSounds(250), false, false},
                 {FolderWithSounds(245), true, true},
                 {std::wstring(kInstallDirLength - 1, L'x'), true, false}};
    const std::wstring trace = TempPath(L"feedback_trace.txt");
    SetEnvironmentVariableW(L"CRATERDIP_TRACE", trace.c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "crash " << c.crash << " in " << Narrow(c.installDir));
        DeleteFileW(trace.c_str());
        wcsncpy(g_state.installDir, c.installDir.c_str(), kInstallDirLength - 1);
        c.crash ? PlayCrashFeedback() : PlayLandingFeedback();
        const size_t sound = c.heard, expected = sound + (c.crash ? 6 : 0);
        EXPECT_LT(Trace(trace).size(), c.crash ? expected : expected + 1) << "the vibration is still to come";
        // The pulses take about 219 ms; a busy machine may take longer to run the thread at all.
        for (DWORD start = GetTickCount(); Trace(trace).size() < expected && GetTickCount() - start < 5000;) {
            Sleep(20);
        }
        Sleep(c.crash ? 50 : 400);
        const auto lines = Trace(trace);
        ASSERT_EQ(expected, lines.size());
        if (c.heard) {
            EXPECT_EQ("sound " + Narrow(c.installDir) + (c.crash ? "\\destroyed.wav" : "\\cheer.wav"),
                      lines[0].second);
        }
        for (size_t i = sound; i < lines.size(); ++i) {
            const bool off = (i - sound) % 2;
            EXPECT_EQ(off ? "led 1 off" : "led 1 on", lines[i].second) << i;
            if (off) { // lower bounds only, less the tick count's granularity (about 16 ms under Wine)
                EXPECT_GE(lines[i].first - lines[i - 1].first, 54u)
                    << "pulse " << (i - sound) / 2 << " lasts 70 ms";
            }
        }
        if (c.crash) {
            EXPECT_GE(lines.back().first - lines[sound].first, 200u);
        }
    }
}

} // namespace
