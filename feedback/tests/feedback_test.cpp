// Feedback, seen through the phone's event trace: which sound is requested, the vibration's pulses and
// their timing, and paths that end in a backslash or do not fit.
#include "feedback.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TraceLine {
    unsigned long ms;
    std::string text;
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // the test's paths are ASCII
}

// A folder whose path is exactly `length` characters, holding `file` (when that path can exist).
std::wstring FolderWith(size_t length, const wchar_t* file) {
    std::wstring path = TempPath(L"fb");
    CreateDirectoryW(path.c_str(), nullptr);
    while (path.size() < length) {
        path += L"\\" + std::wstring(std::min<size_t>(length - path.size() - 1, 50), L'd');
        if (path.size() + 1 == length) { // never leave room for a lone separator
            path.pop_back();
        }
        CreateDirectoryW(path.c_str(), nullptr);
    }
    CloseHandle(
        CreateFileW((path + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return path;
}

std::vector<TraceLine> Trace(const std::wstring& path) {
    std::vector<TraceLine> lines;
    std::ifstream file(Narrow(path));
    for (std::string line; std::getline(file, line);) {
        lines.push_back({std::stoul(line), line.substr(line.find(' ') + 1)});
    }
    return lines;
}

// Runs one feedback request with the given installation folder; returns the trace once any vibration is
// over, and in `during` the trace as it stood when the request returned.
std::vector<TraceLine> Feedback(bool crash, const std::wstring& installDir,
                                std::vector<TraceLine>* during = nullptr) {
    const std::wstring trace = TempPath(L"feedback_trace.txt");
    DeleteFileW(trace.c_str());
    SetEnvironmentVariableW(L"CRATERDIP_TRACE", trace.c_str());
    wcsncpy(g_state.installDir, installDir.c_str(), kInstallDirLength - 1);
    crash ? PlayCrashFeedback() : PlayLandingFeedback();
    if (during) {
        *during = Trace(trace);
    }
    // The pulses take about 219 ms; a busy machine may take longer to run the thread at all.
    auto pulsesSwitched = [&] {
        std::vector<TraceLine> lines = Trace(trace);
        return std::count_if(lines.begin(), lines.end(), [](const TraceLine& l) { return l.text[0] == 'l'; });
    };
    for (DWORD start = GetTickCount(); crash && pulsesSwitched() < 6 && GetTickCount() - start < 5000;) {
        Sleep(20);
    }
    Sleep(crash ? 50 : 400);
    return Trace(trace);
}

// The path is the folder, a backslash and the name, unchanged, and must fit 260 units with its terminator;
// a path that does not fit is a missing sound (and is never written past its buffer). A missing crash sound
// still vibrates.
TEST(Feedback, EachOutcomeRequestsItsSoundAndOnlyACrashVibrates) {
    const std::wstring folder = FolderWith(0, L"cheer.wav"), empty = TempPath(L"fb_empty");
    FolderWith(0, L"destroyed.wav");
    CreateDirectoryW(empty.c_str(), nullptr);
    const std::wstring longest = FolderWith(249, L"cheer.wav"),
                       longestCrash = FolderWith(245, L"destroyed.wav");
    const struct {
        std::wstring installDir;
        bool crash;
        std::string requested; // empty: none
    } cases[] = {
        {folder, false, "sound " + Narrow(folder) + "\\cheer.wav"},
        {empty, false, ""},
        {folder, true, "sound " + Narrow(folder) + "\\destroyed.wav"},
        {empty, true, ""},
        {folder + L"\\", false, "sound " + Narrow(folder) + "\\\\cheer.wav"},
        {longest, false, "sound " + Narrow(longest) + "\\cheer.wav"},
        {FolderWith(250, L"cheer.wav"), false, ""},
        {longestCrash, true, "sound " + Narrow(longestCrash) + "\\destroyed.wav"},
        {FolderWith(246, L"destroyed.wav"), true, ""},
        {std::wstring(kInstallDirLength - 1, L'x'), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "crash " << c.crash << " in " << Narrow(c.installDir));
        std::vector<TraceLine> lines = Feedback(c.crash, c.installDir);
        ASSERT_EQ((c.requested.empty() ? 0u : 1u) + (c.crash ? 6u : 0u), lines.size());
        if (!c.requested.empty()) {
            EXPECT_EQ(c.requested, lines[0].text) << "before the first pulse";
        }
    }
}

TEST(Feedback, ACrashPulsesThreeTimesOnItsOwnThreadAndEndsOff) {
    std::vector<TraceLine> during;
    std::vector<TraceLine> lines = Feedback(true, TempPath(L"fb_empty"), &during);
    EXPECT_LT(during.size(), 6u) << "the request returned before the vibration ended";
    ASSERT_EQ(6u, lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(i % 2 == 0 ? "led 1 on" : "led 1 off", lines[i].text) << i;
        if (i % 2 == 1) { // lower bounds only, less the tick count's granularity (about 16 ms under Wine)
            EXPECT_GE(lines[i].ms - lines[i - 1].ms, 54u) << "pulse " << i / 2 << " lasts 70 ms";
        }
    }
    EXPECT_GE(lines.back().ms - lines.front().ms, 200u);
}

} // namespace
