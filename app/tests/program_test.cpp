// The built program: its resources read back from the PE file, and two runs side by side: the second
// start ends at once, and both end with exit code 0.
#include "coredll.h"
#include "res/resource.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Resource templates as little-endian words, strings zero-terminated, items DWORD-aligned.
struct Template {
    std::vector<BYTE> bytes;
    Template& W(unsigned value) {
        bytes.push_back(static_cast<BYTE>(value));
        bytes.push_back(static_cast<BYTE>(value >> 8));
        return *this;
    }
    Template& D(unsigned value) { return W(value & 0xFFFF).W(value >> 16); }
    Template& S(const wchar_t* text) {
        for (; *text; ++text) {
            W(*text);
        }
        return W(0);
    }
    Template& Align() {
        bytes.resize((bytes.size() + 3) & ~size_t(3));
        return *this;
    }
    // A dialog control: style, extended style 0, position and size, id, class ordinal, text, no data.
    Template& Control(DWORD style, int x, int y, int cx, int cy, int id, int classOrdinal,
                      const wchar_t* text) {
        Align().D(style).D(0).W(x).W(y).W(cx).W(cy).W(id).W(0xFFFF).W(classOrdinal);
        return (text ? S(text) : W(0xFFFF).W(IDI_APP)).W(0);
    }
};

// The bytes of a resource, which must exist in English (United States) and no other language.
std::vector<BYTE> ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(
        module, type, name,
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
            reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::vector<WORD>{1033}, languages);
    HRSRC found = FindResourceExW(module, type, name, 1033);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return data ? std::vector<BYTE>(data, data + SizeofResource(module, found)) : std::vector<BYTE>();
}

TEST(Program, ResourcesAsBuilt) {
    HMODULE module =
        LoadLibraryExW(BesideThisProgram(L"craterDip.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    Template menu, bar, strings, dialog;
    // Items: flags (0x10 pop-up, 0x80 last), command unless a pop-up, text; separators are 0, 0, "".
    menu.W(0).W(0).W(0).W(112).S(L"Restart").W(0x90).S(L"Options");
    menu.W(0).W(113).S(L"About").W(0).W(114).S(L"Calibrate Tilt").W(0).W(0).S(L"");
    menu.W(0).W(123).S(L"Expert").W(0).W(122).S(L"Hard").W(0).W(121).S(L"Medium").W(0).W(120).S(L"Easy");
    menu.W(0).W(0).S(L"").W(0x80).W(119).S(L"Exit");
    for (unsigned word : {103, 2, 0xFFFE, 112, 4, 0x10, 104, 0, 0xFFFF, 0xFFFE, 109, 4, 0x18, 111, 0, 1}) {
        bar.W(word);
    }
    for (int id = 96; id < 112; ++id) { // block 7 of the string table: counted strings
        const wchar_t* text = id == IDS_RESTART ? L"Restart" : id == IDS_OPTIONS ? L"Options" : L"";
        strings.W(static_cast<unsigned>(wcslen(text)));
        for (; *text; ++text) {
            strings.W(*text);
        }
    }
    dialog.D(0x80C00AC0).D(0).W(5).W(0).W(0).W(129).W(68).W(0).W(0).S(L"About craterDip").W(8).S(L"System");
    dialog.Control(0x50020080, 29, 5, 99, 8, IDC_VERSION, 0x82, L"craterDip v0.95")
        .Control(0x50020000, 29, 17, 99, 8, IDC_NOTICE, 0x82, L"(c) 2026 tundraBit")
        .Control(0x50000103, 4, 7, 20, 20, IDC_APPICON, 0x82, nullptr)
        .Control(0x50020000, 29, 29, 98, 8, IDC_WEBADDRESS, 0x82, L"www.tundrabit.example")
        .Control(0x50010001, 35, 51, 50, 14, IDOK, 0x80, L"OK");
    EXPECT_EQ(menu.bytes, ResourceBytes(module, RT_MENU, MAKEINTRESOURCEW(IDR_MENU)));
    EXPECT_EQ(bar.bytes, ResourceBytes(module, RT_RCDATA, MAKEINTRESOURCEW(IDR_MENU)));
    EXPECT_EQ(strings.bytes, ResourceBytes(module, RT_STRING, MAKEINTRESOURCEW(IDS_RESTART / 16 + 1)));
    EXPECT_EQ(dialog.bytes, ResourceBytes(module, RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT)));
    EXPECT_EQ((std::vector<BYTE>{1, 0}), ResourceBytes(module, L"CEUX", L"HI_RES_AWARE"));

    // The icon group: three square images of 8 bits per pixel, 48, 32 and 16 pixels.
    const std::vector<BYTE> icons = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
    ASSERT_EQ(6u + 3 * 14, icons.size());
    std::vector<int> sizes;
    for (size_t entry = 6; entry < icons.size(); entry += 14) {
        EXPECT_EQ(icons[entry], icons[entry + 1]);
        EXPECT_EQ(8, icons[entry + 6]) << "bits per pixel";
        EXPECT_FALSE(ResourceBytes(module, RT_ICON, MAKEINTRESOURCEW(icons[entry + 12])).empty());
        sizes.push_back(icons[entry]);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32, 48}), sizes);
    FreeLibrary(module);
}

// Clicks away the sensor's "Error" boxes (no sensor service runs here), as a player would.
struct ErrorBoxWatcher {
    std::atomic<bool> stop{false};
    std::atomic<DWORD> lastSeen{0};
    std::thread thread{[this] {
        for (; !stop; Sleep(50)) {
            for (HWND box; (box = FindWindowW(L"#32770", L"Error")) != nullptr; Sleep(50)) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                lastSeen = GetTickCount();
            }
        }
    }};
    ~ErrorBoxWatcher() {
        stop = true;
        thread.join();
    }
};

TEST(Program, ASecondStartBringsTheFirstForwardAndBothEndWithZero) {
    ErrorBoxWatcher watcher;
    ChildProcess first, second;
    ASSERT_TRUE(first.Start(L"craterDip.exe"));
    // Started once its window is up and enabled (no report box of the sensor open) for a while.
    HWND game = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(50)) {
        game = FindWindowW(L"craterDipClass", L"craterDip");
        if (game && IsWindowEnabled(game) && GetTickCount() - watcher.lastSeen > 1500 &&
            GetTickCount() - start > 1500) {
            break;
        }
    }
    ASSERT_NE(nullptr, game);
    EXPECT_TRUE(IsWindowVisible(FindWindowW(L"craterDipMenuBar", nullptr)));

    ASSERT_TRUE(second.Start(L"craterDip.exe"));
    EXPECT_EQ(0u, second.Wait()) << "a second start ends with 0";
    EXPECT_EQ(nullptr, FindWindowExW(nullptr, game, L"craterDipClass", nullptr)) << "no second window";
    EXPECT_EQ(game, GetForegroundWindow()) << "the running game is in front";

    // What the shutdown leaves behind is seen in-process; here, the process's own exit code.
    PostMessageW(game, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(0u, first.Wait());
}

} // namespace
