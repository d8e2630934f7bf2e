// The built program's resources, read back from its file: what only the file shows. The menu bar, its
// pop-up and the About dialog at work are the in-process shell tests' and the end-to-end suite's.
#include "res/resource.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace {

// A resource's 16-bit words; it must exist in English (United States) and no other language.
std::wstring Resource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    std::set<WORD> languages;
    auto add = [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
        reinterpret_cast<std::set<WORD>*>(found)->insert(language);
        return TRUE;
    };
    EnumResourceLanguagesW(module, type, name, add, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::set<WORD>{1033}, languages) << reinterpret_cast<ULONG_PTR>(name);
    HRSRC found = FindResourceExW(module, type, name, 1033);
    const wchar_t* data = static_cast<const wchar_t*>(LockResource(LoadResource(module, found)));
    return data ? std::wstring(data, SizeofResource(module, found) / 2) : std::wstring();
}

TEST(Program, ResourcesAsBuilt) {
    HMODULE module =
        LoadLibraryExW(BesideThisProgram(L"craterDip.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    // Block 7 of the string table holds the two captions, ids 104 and 111.
    const std::pair<LPCWSTR, int> others[] = {{RT_MENU, IDR_MENU}, {RT_RCDATA, IDR_MENU}, {RT_STRING, 7}};
    for (const auto& [type, id] : others) {
        EXPECT_NE(L"", Resource(module, type, MAKEINTRESOURCEW(id)));
    }
    // The About dialog's style, low word first: WS_POPUP, WS_CAPTION, DS_MODALFRAME, DS_SETFONT,
    // DS_SETFOREGROUND and DS_CENTER, and no system menu, so no close box: only OK ends it.
    EXPECT_EQ((std::wstring{0x0AC0, 0x80C0}),
              Resource(module, RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT)).substr(0, 2));
    EXPECT_EQ(std::wstring(1, 1), Resource(module, L"CEUX", L"HI_RES_AWARE")) << "two bytes holding 1";

    // The icon group: a 3-word header, then 7-word entries of square images of 8 bits per pixel, each there.
    const std::wstring icons = Resource(module, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP));
    std::multiset<int> sizes;
    for (size_t entry = 3; entry + 7 <= icons.size(); entry += 7) {
        EXPECT_EQ(icons[entry] & 0xFF, icons[entry] >> 8) << "square";
        EXPECT_EQ(8, icons[entry + 3]) << "bits per pixel";
        EXPECT_NE(L"", Resource(module, RT_ICON, MAKEINTRESOURCEW(icons[entry + 6])));
        sizes.insert(icons[entry] & 0xFF);
    }
    EXPECT_EQ((std::multiset<int>{16, 32, 48}), sizes) << icons.size() << " words";
}

} // namespace
