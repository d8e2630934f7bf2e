// Feedback, seen through the phone's event trace: which sound is requested, the vibration's pulses and
// their timing, missing and over-long paths, and that a crash never waits for its vibration.
#include "feedback.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

struct TraceLine {
    unsigned long ms;
    std::string text;
};

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"feedback_test";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow(text.size() * 4 + 1, '\0');
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0],
                                     static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(length > 0 ? length - 1 : 0);
    return narrow;
}

void MakeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Narrow(path);
    CloseHandle(file);
}

// Creates `depth` nested folders so that the innermost one's path is exactly `length` characters long.
std::wstring FolderOfLength(size_t length) {
    std::wstring path = TempFolder() + L"\\long";
    CreateDirectoryW(path.c_str(), nullptr);
    while (path.size() + 1 < length) {
        size_t part = length - path.size() - 1;
        if (part > 60) {
            part = 60;
        }
        if (length - path.size() - 1 - part == 1) {
            --part; // never leave room for a single separator without a name
        }
        path += L"\\" + std::wstring(part, L'd');
        CreateDirectoryW(path.c_str(), nullptr);
    }
    return path;
}

class Feedback : public testing::Test {
  protected:
    void SetUp() override {
        trace_ = TempFolder() + L"\\trace.txt";
        DeleteFileW(trace_.c_str());
        SetEnvironmentVariableW(L"CRATERDIP_TRACE", trace_.c_str());
        sounds_ = TempFolder() + L"\\sounds";
        CreateDirectoryW(sounds_.c_str(), nullptr);
        MakeFile(sounds_ + L"\\cheer.wav");
        MakeFile(sounds_ + L"\\destroyed.wav");
        empty_ = TempFolder() + L"\\empty";
        CreateDirectoryW(empty_.c_str(), nullptr);
    }
    void TearDown() override { SetEnvironmentVariableW(L"CRATERDIP_TRACE", nullptr); }
    void SetInstallDir(const std::wstring& folder) {
        ASSERT_LT(folder.size(), static_cast<size_t>(kInstallDirLength));
        wcscpy(g_state.installDir, folder.c_str());
    }
    std::vector<TraceLine> Trace() const {
        std::vector<TraceLine> lines;
        FILE* file = _wfopen(trace_.c_str(), L"rb");
        if (file == nullptr) {
            return lines;
        }
        char buffer[1024];
        while (fgets(buffer, sizeof buffer, file)) {
            std::string line(buffer);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
                line.pop_back();
            }
            size_t space = line.find(' ');
            lines.push_back({strtoul(line.c_str(), nullptr, 10), line.substr(space + 1)});
        }
        fclose(file);
        return lines;
    }
    std::vector<TraceLine> LedLines() const {
        std::vector<TraceLine> leds;
        for (const TraceLine& line : Trace()) {
            if (line.text.compare(0, 4, "led ") == 0) {
                leds.push_back(line);
            }
        }
        return leds;
    }
    // A started vibration writes six lines within about 219 ms; waits up to two seconds for `count`.
    void WaitForLedLines(size_t count) const {
        for (int i = 0; i < 200 && LedLines().size() < count; ++i) {
            Sleep(10);
        }
    }
    std::wstring trace_, sounds_, empty_;
};

TEST_F(Feedback, EachOutcomeRequestsItsSoundAndOnlyACrashVibrates) {
    const struct {
        bool crash;
        bool soundThere;
        const wchar_t* expectedFile; // null: no sound requested
        size_t ledLines;
    } cases[] = {
        {false, true, L"cheer.wav", 0},
        {false, false, nullptr, 0},
        {true, true, L"destroyed.wav", 6},
        {true, false, nullptr, 6}, // a missing crash sound still vibrates
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "crash " << c.crash << " sound there " << c.soundThere);
        DeleteFileW(trace_.c_str());
        SetInstallDir(c.soundThere ? sounds_ : empty_);
        if (c.crash) {
            PlayCrashFeedback();
        } else {
            PlayLandingFeedback();
        }
        Sleep(c.crash ? 0 : 300); // time enough for a vibration that must not come
        WaitForLedLines(c.ledLines);

        std::vector<TraceLine> lines = Trace();
        ASSERT_EQ(c.ledLines + (c.expectedFile ? 1 : 0), lines.size());
        if (c.expectedFile) {
            EXPECT_EQ("sound " + Narrow(sounds_ + L"\\" + c.expectedFile), lines[0].text)
                << "the sound is requested before the first pulse";
        }
        EXPECT_EQ(c.ledLines, LedLines().size());
    }
}

TEST_F(Feedback, ACrashPulsesThreeTimesAndEndsOff) {
    SetInstallDir(sounds_);
    PlayCrashFeedback();
    WaitForLedLines(6);
    std::vector<TraceLine> leds = LedLines();
    ASSERT_EQ(6u, leds.size());
    for (size_t i = 0; i < leds.size(); ++i) {
        EXPECT_EQ(i % 2 == 0 ? "led 1 on" : "led 1 off", leds[i].text) << i;
    }
    // Lower bounds only: 70 ms on (less a tick of the clock's granularity), then the 3 ms pause.
    for (size_t i = 0; i + 1 < leds.size(); ++i) {
        const unsigned long gap = leds[i + 1].ms - leds[i].ms;
        if (i % 2 == 0) {
            EXPECT_GE(gap, 60u) << "pulse " << i / 2;
        }
    }
    EXPECT_GE(leds.back().ms - leds.front().ms, 3u * 60u);
}

TEST_F(Feedback, APlayRequestReturnsBeforeTheVibrationEnds) {
    SetInstallDir(sounds_);
    PlayCrashFeedback();
    // The pulses take at least 216 ms on their own thread; the request itself only starts them.
    EXPECT_LT(LedLines().size(), 6u);
    WaitForLedLines(6);
    EXPECT_EQ(6u, LedLines().size());
}

TEST_F(Feedback, ThePathIsTheFolderABackslashAndTheName) {
    const struct {
        std::wstring installDir, expectedPath;
    } cases[] = {
        {sounds_, sounds_ + L"\\cheer.wav"},
        {sounds_ + L"\\", sounds_ + L"\\\\cheer.wav"}, // nothing is tidied up
    };
    for (const auto& c : cases) {
        DeleteFileW(trace_.c_str());
        SetInstallDir(c.installDir);
        PlayLandingFeedback();
        std::vector<TraceLine> lines = Trace();
        ASSERT_EQ(1u, lines.size()) << Narrow(c.installDir);
        EXPECT_EQ("sound " + Narrow(c.expectedPath), lines[0].text);
    }
}

// Folder, backslash, name and terminator must fit 260 units; a path that does not is a missing sound.
TEST_F(Feedback, APathThatDoesNotFitIsAMissingSound) {
    const struct {
        size_t folderLength;
        bool crash;
        bool played;
    } cases[] = {
        {249, false, true}, {250, false, false}, {258, false, false},
        {245, true, true},  {246, true, false},  {259, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "folder of " << c.folderLength << " crash " << c.crash);
        DeleteFileW(trace_.c_str());
        std::wstring folder = FolderOfLength(c.folderLength);
        ASSERT_EQ(c.folderLength, folder.size());
        std::wstring file = folder + (c.crash ? L"\\destroyed.wav" : L"\\cheer.wav");
        if (c.played) {
            MakeFile(file);
        }
        SetInstallDir(folder);
        if (c.crash) {
            PlayCrashFeedback();
        } else {
            PlayLandingFeedback();
        }
        WaitForLedLines(c.crash ? 6 : 0);
        size_t sounds = Trace().size() - LedLines().size();
        EXPECT_EQ(c.played ? 1u : 0u, sounds);
        EXPECT_EQ(c.crash ? 6u : 0u, LedLines().size());
        if (c.played) {
            DeleteFileW(file.c_str());
        }
    }
}

// The vibrator's driver: only a switch request with a record is taken, and each one is traced.
TEST_F(Feedback, TheLedDriverTracesEverySwitchAndRejectsBadRequests) {
    NLED_SETTINGS_INFO record = {};
    const struct {
        UINT id;
        UINT led;
        int offOnBlink;
        bool withRecord;
        BOOL result;
        const char* line;
    } cases[] = {
        {NLED_SETTINGS_INFO_ID, 1, 1, true, TRUE, "led 1 on"},
        {NLED_SETTINGS_INFO_ID, 1, 0, true, TRUE, "led 1 off"},
        {NLED_SETTINGS_INFO_ID, 0, 2, true, TRUE, "led 0 on"},
        {NLED_SETTINGS_INFO_ID, 1, 3, true, FALSE, nullptr},
        {NLED_SETTINGS_INFO_ID, 1, -1, true, FALSE, nullptr},
        {NLED_SETTINGS_INFO_ID, 1, 1, false, FALSE, nullptr},
        {1, 1, 1, true, FALSE, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " led " << c.led << " state " << c.offOnBlink);
        DeleteFileW(trace_.c_str());
        record.LedNum = c.led;
        record.OffOnBlink = c.offOnBlink;
        EXPECT_EQ(c.result, NLedSetDevice(c.id, c.withRecord ? &record : nullptr));
        std::vector<TraceLine> lines = Trace();
        ASSERT_EQ(c.line ? 1u : 0u, lines.size());
        if (c.line) {
            EXPECT_EQ(c.line, lines[0].text);
        }
    }
}

} // namespace
