// The settings store against the test prefix's own registry: the stored forms of a value that load and
// those that count as missing, and what each save leaves behind.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";

using Stored = std::tuple<const wchar_t*, DWORD, std::vector<BYTE>>; // name, type, bytes

// A REG_DWORD value of 4 bytes.
Stored Dword(const wchar_t* name, DWORD v) {
    return {name, REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}};
}

// UTF-16 bytes of `text`, with or without the terminating zero.
std::vector<BYTE> Utf16(const std::wstring& text, bool terminated = true) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + terminated) * sizeof(wchar_t));
}

// No keys and the record as a new process has it; the test prefix is this program's own.
void Clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstallKey);
    g_state = GameState();
}

// The record's settings as "tiltX tiltY level|installDir".
std::wstring Fields() {
    return std::to_wstring(g_state.calibTiltX) + L" " + std::to_wstring(g_state.calibTiltY) + L" " +
           std::to_wstring(g_state.level) + L"|" + g_state.installDir;
}

// Settings rows store under HKCU, InstallDir rows under HKLM (a row without values stores no key); what a
// row does not store keeps the record's initial value: rest 0 0, Medium, no folder. A settings value of
// another type or size counts as missing, and so does an InstallDir with no room for its terminating zero;
// numbers load as they stand, strings character for character.
TEST(Settings, LoadTakesFourByteDwordsAndUsableStringsOnly) {
    const std::wstring longest(259, L'x'), full(260, L'y'), kept = L"0 0 1|";
    const std::wstring fallback = kept + L"\\Program Files\\craterDip";
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const wchar_t dir[] = L"InstallDir";
    const std::tuple<HKEY, std::vector<Stored>, std::wstring> cases[] = {
        {user, {}, kept},
        {user, {Dword(L"tiltX", -120), Dword(L"tiltY", 35), Dword(L"level", 7)}, L"-120 35 7|"},
        {user, {Dword(L"tiltX", 0x80000000), Dword(L"level", -1)}, L"-2147483648 0 -1|"},
        {user, {Dword(L"level", 0x7FFFFFFF)}, L"0 0 2147483647|"},
        {user, {{L"tiltX", REG_DWORD, {0x34, 0x12}}}, kept},
        {user, {{L"tiltX", REG_BINARY, {9, 0, 0, 0}}}, kept},
        {user, {{L"level", REG_SZ, Utf16(L"3")}, Dword(L"tiltY", 8)}, L"0 8 1|"},
        {user, {{L"level", REG_QWORD, {3, 0, 0, 0, 0, 0, 0, 0}}}, kept},
        {machine, {{dir, REG_SZ, Utf16(L"")}}, fallback},
        {machine, {{dir, REG_SZ, Utf16(L"\\Apps\\dip\\", false)}}, kept + L"\\Apps\\dip\\"},
        {machine, {{dir, REG_SZ, Utf16(longest)}}, kept + longest},
        {machine, {{dir, REG_SZ, Utf16(full, false)}}, fallback},
        {machine, {{dir, REG_SZ, Utf16(full)}}, fallback},
        {machine, {{dir, REG_BINARY, Utf16(L"\\bin")}}, fallback},
    };
    int row = 0;
    for (const auto& [root, values, loaded] : cases) {
        SCOPED_TRACE(testing::Message() << "row " << row++);
        Clear();
        for (const auto& [name, type, bytes] : values) {
            RegSetKeyValueW(root, root == user ? kSettingsKey : kInstallKey, name, type, bytes.data(),
                            bytes.size());
        }
        LoadSettings();
        LoadInstallDir();
        EXPECT_EQ(loaded, Fields());
    }
}

// Each save writes its own values only, as 4-byte two's-complement DWORDs (the only form that loads),
// creating the key; a "level" of another type is rewritten as a DWORD.
TEST(Settings, EachSaveWritesItsOwnValues) {
    Clear();
    g_state.calibTiltX = -120, g_state.calibTiltY = 35, g_state.level = 7;
    SaveCalibration();
    g_state = GameState();
    LoadSettings();
    EXPECT_EQ(L"-120 35 1|", Fields());
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"level", REG_SZ, L"3", 4);
    g_state.calibTiltX = 0, g_state.level = 7;
    SaveLevel();
    g_state = GameState();
    LoadSettings();
    EXPECT_EQ(L"-120 35 7|", Fields());
}

} // namespace
