// The settings store against the test prefix's own registry: the stored forms of a value that load and
// those that count as missing, what each save leaves behind, and a save whose key cannot be created.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";
const std::wstring kKept = L"5 6 1|", kDefault = kKept + L"\\Program Files\\craterDip";

struct Stored {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> Dword(DWORD v) {
    return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
}

// UTF-16 bytes of `text`, with or without the terminating zero.
std::vector<BYTE> Utf16(const std::wstring& text, bool terminated = true) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + terminated) * sizeof(wchar_t));
}

// The saved values that are 4-byte DWORDs, as "name=value " in a fixed order.
std::wstring Saved() {
    std::wstring saved;
    for (const wchar_t* name : {L"tiltX", L"tiltY", L"level"}) {
        DWORD value, size = sizeof value;
        if (!RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) &&
            size == sizeof value) {
            saved += name + (L"=" + std::to_wstring(int(value)) + L" ");
        }
    }
    return saved;
}

// No keys and a fresh state; the test prefix is this program's own.
void Clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstallKey);
    g_state = GameState();
}

// Settings rows store under HKCU, InstallDir rows under HKLM (a row without values stores no key). A value
// of the wrong type or size counts as missing; so does an InstallDir with no room for its terminating zero.
TEST(Settings, LoadTakesFourByteDwordsAndUsableStringsOnly) {
    const std::wstring longest(259, L'x'), full(260, L'y');
    const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
    const wchar_t dir[] = L"InstallDir";
    const std::vector<Stored> all = {{L"tiltX", REG_DWORD, Dword(0xFFFFFF88)},
                                     {L"tiltY", REG_DWORD, Dword(35)},
                                     {L"level", REG_DWORD, Dword(2)}};
    const struct {
        const char* what;
        HKEY root;
        std::vector<Stored> values;
        std::wstring loaded; // "tiltX tiltY level|installDir" over fields that hold 5, 6, 1 and ""
    } cases[] = {
        {"no keys", user, {}, kKept},
        {"all three", user, all, L"-120 35 2|"},
        {"two-byte DWORD", user, {{L"tiltX", REG_DWORD, {0x34, 0x12}}}, kKept},
        {"eight-byte DWORD", user, {{L"tiltY", REG_DWORD, {1, 0, 0, 0, 2, 0, 0, 0}}}, kKept},
        {"four-byte binary", user, {{L"tiltX", REG_BINARY, Dword(9)}}, kKept},
        {"string level", user, {{L"level", REG_SZ, Utf16(L"3")}, {L"tiltY", REG_DWORD, Dword(8)}}, L"5 8 1|"},
        {"no InstallDir", machine, {{L"Version", REG_SZ, Utf16(L"0.95")}}, kDefault},
        {"unterminated", machine, {{dir, REG_SZ, Utf16(L"\\Apps\\dip", false)}}, kKept + L"\\Apps\\dip"},
        {"259 units", machine, {{dir, REG_SZ, Utf16(longest)}}, kKept + longest},
        {"260 units, unterminated", machine, {{dir, REG_SZ, Utf16(full, false)}}, kDefault},
        {"260 units and the zero", machine, {{dir, REG_SZ, Utf16(full)}}, kDefault},
        {"string bytes as binary", machine, {{dir, REG_BINARY, Utf16(L"\\bin")}}, kDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        for (const Stored& v : c.values) {
            RegSetKeyValueW(c.root, c.root == user ? kSettingsKey : kInstallKey, v.name, v.type,
                            v.bytes.data(), v.bytes.size());
        }
        g_state.calibTiltX = 5, g_state.calibTiltY = 6, g_state.level = Medium;
        LoadSettings();
        LoadInstallDir();
        EXPECT_EQ(c.loaded, std::to_wstring(g_state.calibTiltX) + L" " + std::to_wstring(g_state.calibTiltY) +
                                L" " + std::to_wstring(g_state.level) + L"|" + g_state.installDir);
    }
}

// Each save writes its own values only, as two's-complement DWORDs; a key that cannot be created (HKCU
// redirected to a deleted key) skips the save.
TEST(Settings, EachSaveWritesItsOwnValuesOrIsSkipped) {
    Clear();
    g_state.calibTiltX = -120, g_state.calibTiltY = 35, g_state.level = 7;
    HKEY gone;
    ASSERT_EQ(0, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &gone, nullptr));
    ASSERT_EQ(0, RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone"));
    ASSERT_EQ(0, RegOverridePredefKey(HKEY_CURRENT_USER, gone));
    SaveCalibration();
    SaveLevel();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(gone);
    EXPECT_EQ(L"", Saved());

    SaveCalibration();
    EXPECT_EQ(L"tiltX=-120 tiltY=35 ", Saved());
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    SaveLevel();
    EXPECT_EQ(L"level=7 ", Saved());
}

} // namespace
