// The built program: its resources read back from the PE file, a second start while one runs, and the
// shutdown as another process sees it (windows gone, level saved, exit code 0).
#include "coredll.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::wstring ProgramPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L'\\') + 1);
    return path + L"craterDip.exe";
}

// ---- Resources
// -----------------------------------------------------------------------------------------------

class Resources : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }
    void SetUp() override { ASSERT_NE(nullptr, module_) << "craterDip.exe beside the test"; }

    // The bytes of one resource, which must exist in English (United States) and in no other language.
    static std::vector<BYTE> Bytes(LPCWSTR type, LPCWSTR name) {
        std::vector<WORD> languages;
        EnumResourceLanguagesW(
            module_, type, name,
            [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
                reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(std::vector<WORD>{kEnglishUs}, languages);
        HRSRC found = FindResourceExW(module_, type, name, kEnglishUs);
        if (found == nullptr) {
            return {};
        }
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
        return std::vector<BYTE>(data, data + SizeofResource(module_, found));
    }
    static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

// Reads the little-endian words and zero-terminated strings of a resource template.
struct Reader {
    const std::vector<BYTE>& bytes;
    size_t at = 0;
    WORD Word() {
        WORD value = 0;
        if (at + 2 <= bytes.size()) {
            value = static_cast<WORD>(bytes[at] | bytes[at + 1] << 8);
        }
        at += 2;
        return value;
    }
    DWORD Dword() {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    std::wstring String() {
        std::wstring text;
        for (WORD c = Word(); c != 0 && at <= bytes.size(); c = Word()) {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }
    // A name or ordinal field: 0xFFFF and a number, or a string.
    std::wstring NameOrOrdinal() {
        if (at + 2 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    void AlignDword() { at = (at + 3) & ~static_cast<size_t>(3); }
    bool AtEnd() const { return at >= bytes.size(); }
};

struct MenuItem {
    WORD flags;
    int id; // -1 for a pop-up
    std::wstring text;
    bool operator==(const MenuItem& o) const { return flags == o.flags && id == o.id && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const MenuItem& item) {
    return out << "{0x" << std::hex << item.flags << std::dec << ", " << item.id << ", "
               << std::string(item.text.begin(), item.text.end()) << "}";
}

TEST_F(Resources, TheMenuTemplateHasTheItemsInOrderWithTheirFlags) {
    const std::vector<BYTE> bytes = Bytes(RT_MENU, MAKEINTRESOURCEW(IDR_MENU));
    Reader read{bytes};
    EXPECT_EQ(0, read.Word()) << "version";
    EXPECT_EQ(0, read.Word()) << "header size";
    std::vector<MenuItem> items;
    while (!read.AtEnd()) {
        MenuItem item;
        item.flags = read.Word();
        item.id = item.flags & MF_POPUP ? -1 : read.Word();
        item.text = read.String();
        items.push_back(item);
    }
    const std::vector<MenuItem> expected = {
        {0x00, 112, L"Restart"}, {0x90, -1, L"Options"},
        {0x00, 113, L"About"},   {0x00, 114, L"Calibrate Tilt"},
        {0x00, 0, L""},          {0x00, 123, L"Expert"},
        {0x00, 122, L"Hard"},    {0x00, 121, L"Medium"},
        {0x00, 120, L"Easy"},    {0x00, 0, L""},
        {0x80, 119, L"Exit"},
    };
    EXPECT_EQ(expected, items);
}

TEST_F(Resources, TheMenuBarDefinitionIsSixteenWords) {
    const std::vector<BYTE> bytes = Bytes(RT_RCDATA, MAKEINTRESOURCEW(IDR_MENU));
    ASSERT_EQ(32u, bytes.size());
    Reader read{bytes};
    std::vector<WORD> words;
    for (int i = 0; i < 16; ++i) {
        words.push_back(read.Word());
    }
    const std::vector<WORD> expected = {103,    2,      0xFFFE, 112, 4,    0x10, 104, 0,
                                        0xFFFF, 0xFFFE, 109,    4,   0x18, 111,  0,   1};
    EXPECT_EQ(expected, words);
}

TEST_F(Resources, TheButtonCaptionsAreTheOnlyStringsOfTheirBlock) {
    // Strings 96 to 111 form block 7: sixteen counted strings.
    const std::vector<BYTE> bytes = Bytes(RT_STRING, MAKEINTRESOURCEW(104 / 16 + 1));
    Reader read{bytes};
    for (int id = 96; id < 112; ++id) {
        std::wstring text;
        for (WORD length = read.Word(); length > 0; --length) {
            text += static_cast<wchar_t>(read.Word());
        }
        const wchar_t* expected = id == IDS_RESTART ? L"Restart" : id == IDS_OPTIONS ? L"Options" : L"";
        EXPECT_EQ(std::wstring(expected), text) << "string " << id;
    }
}

TEST_F(Resources, TheAboutDialogTemplate) {
    const std::vector<BYTE> bytes = Bytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT));
    Reader read{bytes};
    EXPECT_EQ(0x80C00AC0u, read.Dword()) << "style";
    EXPECT_EQ(0u, read.Dword()) << "extended style";
    const WORD controls = read.Word();
    EXPECT_EQ(5, controls);
    const short frame[] = {0, 0, 129, 68};
    for (short expected : frame) {
        EXPECT_EQ(expected, static_cast<short>(read.Word()));
    }
    EXPECT_EQ(L"", read.NameOrOrdinal()) << "no menu";
    EXPECT_EQ(L"", read.NameOrOrdinal()) << "the standard dialog class";
    EXPECT_EQ(L"About craterDip", read.String());
    EXPECT_EQ(8, read.Word()) << "points";
    EXPECT_EQ(L"System", read.String());

    const struct {
        DWORD style;
        short x, y, cx, cy;
        WORD id;
        const wchar_t* className;
        const wchar_t* text;
    } expected[] = {
        {0x50020080, 29, 5, 99, 8, IDC_VERSION, L"#130", L"craterDip v0.95"},
        {0x50020000, 29, 17, 99, 8, IDC_NOTICE, L"#130", L"(c) 2026 tundraBit"},
        {0x50000103, 4, 7, 20, 20, IDC_APPICON, L"#130", L"#102"},
        {0x50020000, 29, 29, 98, 8, IDC_WEBADDRESS, L"#130", L"www.tundrabit.example"},
        {0x50010001, 35, 51, 50, 14, IDOK, L"#128", L"OK"},
    };
    for (int i = 0; i < controls && i < 5; ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE(testing::Message() << "control " << i);
        read.AlignDword();
        EXPECT_EQ(e.style, read.Dword());
        EXPECT_EQ(0u, read.Dword());
        EXPECT_EQ(e.x, static_cast<short>(read.Word()));
        EXPECT_EQ(e.y, static_cast<short>(read.Word()));
        EXPECT_EQ(e.cx, static_cast<short>(read.Word()));
        EXPECT_EQ(e.cy, static_cast<short>(read.Word()));
        EXPECT_EQ(e.id, read.Word());
        EXPECT_EQ(std::wstring(e.className), read.NameOrOrdinal()) << "0x80 button, 0x82 static";
        EXPECT_EQ(std::wstring(e.text), read.NameOrOrdinal());
        EXPECT_EQ(0, read.Word()) << "no creation data";
    }
    EXPECT_TRUE(read.AtEnd());
}

TEST_F(Resources, TheIconHasThreeSizesOf256Colours) {
    const std::vector<BYTE> bytes = Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
    Reader read{bytes};
    EXPECT_EQ(0, read.Word());
    EXPECT_EQ(1, read.Word()) << "icons";
    const WORD count = read.Word();
    ASSERT_EQ(3, count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const size_t entry = read.at;
        const int width = bytes[entry], height = bytes[entry + 1];
        read.at += 4;
        EXPECT_EQ(1, read.Word()) << "planes";
        EXPECT_EQ(8, read.Word()) << "bits per pixel";
        const DWORD size = read.Dword();
        const WORD id = read.Word();
        EXPECT_EQ(width, height);
        sizes.push_back(width);
        EXPECT_EQ(size, Bytes(RT_ICON, MAKEINTRESOURCEW(id)).size()) << "image " << id;
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32, 48}), sizes);
}

TEST_F(Resources, TheProgramDeclaresItselfHighResolutionAware) {
    EXPECT_EQ((std::vector<BYTE>{1, 0}), Bytes(L"CEUX", L"HI_RES_AWARE"));
}

// ---- Runs of the program
// -------------------------------------------------------------------------------------

// Without the phone's sensor service (and maybe its library) the game reports on start; a player would
// click the boxes away, and so does this watcher.
class ErrorBoxWatcher {
  public:
    ErrorBoxWatcher()
        : thread_([this] {
              while (!stop_) {
                  HWND box = nullptr;
                  while ((box = FindWindowExW(nullptr, box, L"#32770", L"Error")) != nullptr) {
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                      lastSeen_ = GetTickCount();
                  }
                  Sleep(50);
              }
          }) {}
    ~ErrorBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    DWORD lastSeen() const { return lastSeen_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> lastSeen_{0};
    std::thread thread_;
};

struct GameRun {
    PROCESS_INFORMATION process = {};
    bool Start() {
        std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        return CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process) != 0;
    }
    // The exit code once the program has ended, or STILL_ACTIVE after `ms` milliseconds.
    DWORD ExitCode(DWORD ms) {
        WaitForSingleObject(process.hProcess, ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    ~GameRun() {
        if (process.hProcess) {
            if (ExitCode(0) == STILL_ACTIVE) {
                TerminateProcess(process.hProcess, 1);
            }
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

int WindowsOfClass(const wchar_t* className) {
    int count = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, className, nullptr)) {
        ++count;
    }
    return count;
}

// Waits until the game's window is up and start-up has finished (no report box open or pending).
HWND WaitForGame(const ErrorBoxWatcher& watcher, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        HWND game = FindWindowW(L"craterDipClass", L"craterDip");
        if (game && IsWindowEnabled(game) && GetTickCount() - watcher.lastSeen() > 1500 &&
            GetTickCount() - start > 1500) {
            return game;
        }
        Sleep(50);
    }
    return nullptr;
}

TEST(Program, ASecondStartBringsTheFirstForwardAndTheFirstShutsDownCleanly) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    ErrorBoxWatcher watcher;
    GameRun first;
    ASSERT_TRUE(first.Start());
    HWND game = WaitForGame(watcher, 60000);
    ASSERT_NE(nullptr, game);
    EXPECT_EQ(1, WindowsOfClass(L"craterDipMenuBar"));

    GameRun second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(0u, second.ExitCode(60000)) << "a second start ends with 0";
    EXPECT_EQ(1, WindowsOfClass(L"craterDipClass")) << "without a window of its own";
    EXPECT_EQ(game, GetForegroundWindow()) << "the running game is in front";
    EXPECT_EQ(STILL_ACTIVE, first.ExitCode(0));

    // Hard, then Exit, as the pop-up would send them.
    PostMessageW(game, WM_COMMAND, IDM_HARD, 0);
    PostMessageW(game, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0u, first.ExitCode(60000));
    EXPECT_EQ(0, WindowsOfClass(L"craterDipClass"));
    EXPECT_EQ(0, WindowsOfClass(L"craterDipMenuBar")) << "the menu bar is gone";
    DWORD level = 0, size = sizeof level;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", RRF_RT_REG_DWORD,
                                          nullptr, &level, &size));
    EXPECT_EQ(2u, level) << "the difficulty is saved at exit";
}

} // namespace
