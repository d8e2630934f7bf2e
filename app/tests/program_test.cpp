// The built program's resources, read back from its PE file. Its runs as a process (a second start, the
// exit codes) are the end-to-end suite's; a second start's effect is also seen in-process.
#include "coredll.h"
#include "res/resource.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Resource templates are little-endian words: held here as UTF-16 units.
std::wstring W(std::initializer_list<unsigned> words) {
    return std::wstring(words.begin(), words.end());
}
std::wstring Z(const wchar_t* text) { // with its terminating zero
    return std::wstring(text, wcslen(text) + 1);
}

// A resource's words; it must exist in English (United States) and no other language.
std::wstring Resource(HMODULE module, LPCWSTR type, ULONG_PTR id) {
    const LPCWSTR name = reinterpret_cast<LPCWSTR>(id);
    std::vector<WORD> languages;
    auto add = [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
        reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
        return TRUE;
    };
    EnumResourceLanguagesW(module, type, name, add, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::vector<WORD>{1033}, languages) << id;
    HRSRC found = FindResourceExW(module, type, name, 1033);
    const wchar_t* data = static_cast<const wchar_t*>(LockResource(LoadResource(module, found)));
    return data ? std::wstring(data, SizeofResource(module, found) / 2) : std::wstring();
}

TEST(Program, ResourcesAsBuilt) {
    HMODULE module =
        LoadLibraryExW(BesideThisProgram(L"craterDip.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    // Items: flags (0x10 pop-up, 0x80 last), command unless a pop-up, text; separators are 0, 0, "".
    const std::wstring menu = W({0, 0, 0, 112}) + Z(L"Restart") + W({0x90}) + Z(L"Options") + W({0, 113}) +
                              Z(L"About") + W({0, 114}) + Z(L"Calibrate Tilt") + W({0, 0, 0}) + W({0, 123}) +
                              Z(L"Expert") + W({0, 122}) + Z(L"Hard") + W({0, 121}) + Z(L"Medium") +
                              W({0, 120}) + Z(L"Easy") + W({0, 0, 0, 0x80, 119}) + Z(L"Exit");
    EXPECT_EQ(menu, Resource(module, RT_MENU, IDR_MENU));
    EXPECT_EQ(W({103, 2, 0xFFFE, 112, 4, 0x10, 104, 0, 0xFFFF, 0xFFFE, 109, 4, 0x18, 111, 0, 1}),
              Resource(module, RT_RCDATA, IDR_MENU));
    // Block 7 of the string table, ids 96 to 111: counted strings, 104 and 111 the only ones.
    EXPECT_EQ(std::wstring(8, 0) + W({7}) + L"Restart" + std::wstring(6, 0) + W({7}) + L"Options",
              Resource(module, RT_STRING, IDS_RESTART / 16 + 1));
    std::wstring dialog =
        W({0x0AC0, 0x80C0, 0, 0, 5, 0, 0, 129, 68, 0, 0}) + Z(L"About craterDip") + W({8}) + Z(L"System");
    // Each control DWORD-aligned: style, extended style 0, position, size, id, class ordinal, text, no data.
    auto control = [&](DWORD style, unsigned x, unsigned y, unsigned cx, unsigned cy, unsigned id,
                       unsigned classOrdinal, const std::wstring& text) {
        dialog.resize((dialog.size() + 1) & ~size_t(1));
        dialog +=
            W({LOWORD(style), HIWORD(style), 0, 0, x, y, cx, cy, id, 0xFFFF, classOrdinal}) + text + W({0});
    };
    control(0x50020080, 29, 5, 99, 8, IDC_VERSION, 0x82, Z(L"craterDip v0.95"));
    control(0x50020000, 29, 17, 99, 8, IDC_NOTICE, 0x82, Z(L"(c) 2026 tundraBit"));
    control(0x50000103, 4, 7, 20, 20, IDC_APPICON, 0x82, W({0xFFFF, IDI_APP}));
    control(0x50020000, 29, 29, 98, 8, IDC_WEBADDRESS, 0x82, Z(L"www.tundrabit.example"));
    control(0x50010001, 35, 51, 50, 14, IDOK, 0x80, Z(L"OK"));
    EXPECT_EQ(dialog, Resource(module, RT_DIALOG, IDD_ABOUT));
    EXPECT_EQ(W({1}), Resource(module, L"CEUX", reinterpret_cast<ULONG_PTR>(L"HI_RES_AWARE")));

    // The icon group: a 3-word header, then 7-word entries of three square images of 8 bits per pixel.
    const std::wstring icons = Resource(module, RT_GROUP_ICON, IDI_APP);
    ASSERT_EQ(3u + 3 * 7, icons.size());
    std::vector<int> sizes;
    for (size_t entry = 3; entry < icons.size(); entry += 7) {
        EXPECT_EQ(icons[entry] & 0xFF, icons[entry] >> 8) << "square";
        EXPECT_EQ(8, icons[entry + 3]) << "bits per pixel";
        EXPECT_FALSE(Resource(module, RT_ICON, icons[entry + 6]).empty());
        sizes.push_back(icons[entry] & 0xFF);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32, 48}), sizes);
    FreeLibrary(module);
}

} // namespace
