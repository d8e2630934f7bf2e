// The settings store against the test prefix's own registry: what each stored form of a value loads as,
// what the saves leave behind, and a save whose key cannot be created.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";
const std::wstring kDefaultDir = L"\\Program Files\\craterDip";

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
    return std::vector<BYTE>(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Replaces `key` by one holding exactly `values`; no key at all when `exists` is false.
void Store(HKEY root, const wchar_t* key, bool exists, const std::vector<Stored>& values) {
    RegDeleteTreeW(root, key);
    HKEY handle;
    if (exists && RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) == 0) {
        for (const Stored& v : values) {
            RegSetValueExW(handle, v.name, 0, v.type, v.bytes.data(), v.bytes.size());
        }
        RegCloseKey(handle);
    }
}

// The stored value's type and bytes; type REG_NONE when it is missing.
Stored Read(const wchar_t* name) {
    Stored value = {name, REG_NONE, std::vector<BYTE>(16)};
    DWORD size = value.bytes.size();
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &value.type, value.bytes.data(),
                     &size)) {
        value.type = REG_NONE, size = 0;
    }
    value.bytes.resize(size);
    return value;
}

class Settings : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstallKey);
        g_state = GameState();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Settings, LoadTakesFourByteDwordsOnlyAndKeepsTheRest) {
    // clang-format off
    const struct {
        const char* what;
        bool keyExists;
        std::vector<Stored> values;
        int tiltX, tiltY, level;  // loaded over fields that hold 5, 6 and 1
    } cases[] = {
        {"no key", false, {}, 5, 6, 1},
        {"empty key", true, {}, 5, 6, 1},
        {"all three", true, {{L"tiltX", REG_DWORD, Dword(0xFFFFFF88)}, {L"tiltY", REG_DWORD, Dword(35)},
                             {L"level", REG_DWORD, Dword(2)}}, -120, 35, 2},
        {"only tiltY", true, {{L"tiltY", REG_DWORD, Dword(0xFFFF8000)}}, 5, -32768, 1},
        {"level 7 as stored", true, {{L"level", REG_DWORD, Dword(7)}}, 5, 6, 7},
        {"two-byte DWORD", true, {{L"tiltX", REG_DWORD, {0x34, 0x12}}}, 5, 6, 1},
        {"eight-byte DWORD", true, {{L"tiltY", REG_DWORD, {1, 0, 0, 0, 2, 0, 0, 0}}}, 5, 6, 1},
        {"four-byte binary", true, {{L"tiltX", REG_BINARY, Dword(9)}}, 5, 6, 1},
        {"string beside good values", true, {{L"level", REG_SZ, Utf16(L"3")}, {L"tiltY", REG_DWORD, Dword(8)}},
         5, 8, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store(HKEY_CURRENT_USER, kSettingsKey, c.keyExists, c.values);
        g_state.calibTiltX = 5, g_state.calibTiltY = 6, g_state.level = Medium;
        LoadSettings();
        EXPECT_EQ(c.tiltX, g_state.calibTiltX);
        EXPECT_EQ(c.tiltY, g_state.calibTiltY);
        EXPECT_EQ(c.level, g_state.level);
    }
}

// Each save writes its own values only, as two's-complement DWORDs that the next start loads back.
TEST_F(Settings, SavesRoundTrip) {
    g_state.calibTiltX = -120, g_state.calibTiltY = 35, g_state.level = 7;
    SaveCalibration();
    EXPECT_EQ(DWORD(REG_DWORD), Read(L"tiltX").type);
    EXPECT_EQ(Dword(0xFFFFFF88), Read(L"tiltX").bytes);
    EXPECT_EQ(Dword(35), Read(L"tiltY").bytes);
    EXPECT_EQ(DWORD(REG_NONE), Read(L"level").type);

    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tundraBit");
    SaveLevel();
    EXPECT_EQ(Dword(7), Read(L"level").bytes);
    EXPECT_EQ(DWORD(REG_NONE), Read(L"tiltX").type);

    SaveCalibration();
    g_state = GameState();
    LoadSettings();
    EXPECT_EQ(-120, g_state.calibTiltX);
    EXPECT_EQ(35, g_state.calibTiltY);
    EXPECT_EQ(7, g_state.level);
}

// HKCU is redirected to a deleted key, so creating the settings key really fails.
TEST_F(Settings, ASaveWhoseKeyCannotBeCreatedIsSkipped) {
    HKEY gone;
    ASSERT_EQ(0, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &gone, nullptr));
    ASSERT_EQ(0, RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone"));
    ASSERT_EQ(0, RegOverridePredefKey(HKEY_CURRENT_USER, gone));
    g_state.calibTiltX = -3, g_state.calibTiltY = 4, g_state.level = Expert;
    SaveCalibration();
    SaveLevel();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(gone);

    EXPECT_EQ(-3, g_state.calibTiltX);
    EXPECT_EQ(Expert, g_state.level);
    HKEY settings;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &settings));
}

TEST_F(Settings, InstallDirAsStoredOrTheDefault) {
    const std::wstring longest(259, L'x'), full(260, L'y');
    // clang-format off
    const struct {
        const char* what;
        bool keyExists;
        std::vector<Stored> values;
        std::wstring expected;
    } cases[] = {
        {"no install key", false, {}, L""},
        {"no value", true, {}, kDefaultDir},
        {"empty value", true, {{L"InstallDir", REG_SZ, Utf16(L"")}}, kDefaultDir},
        {"trailing backslash kept", true, {{L"InstallDir", REG_SZ, Utf16(L"\\SD Card\\Games\\")}}, L"\\SD Card\\Games\\"},
        {"unterminated short value", true, {{L"InstallDir", REG_SZ, Utf16(L"\\Apps\\dip", false)}}, L"\\Apps\\dip"},
        {"259 units", true, {{L"InstallDir", REG_SZ, Utf16(longest)}}, longest},
        {"260 units, unterminated", true, {{L"InstallDir", REG_SZ, Utf16(full, false)}}, kDefaultDir},
        {"260 units and the zero", true, {{L"InstallDir", REG_SZ, Utf16(full)}}, kDefaultDir},
        {"DWORD", true, {{L"InstallDir", REG_DWORD, Dword(0x5C)}}, kDefaultDir},
        {"string bytes as binary", true, {{L"InstallDir", REG_BINARY, Utf16(L"\\bin")}}, kDefaultDir},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Store(HKEY_LOCAL_MACHINE, kInstallKey, c.keyExists, c.values);
        g_state = GameState();
        LoadInstallDir();
        EXPECT_EQ(c.expected, std::wstring(g_state.installDir));
    }
}

} // namespace
