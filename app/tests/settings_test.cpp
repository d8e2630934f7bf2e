// The settings store against the test prefix's own registry: what each stored form of a value loads as,
// what the saves leave in the registry, and a save whose key cannot be created.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

const wchar_t kSettingsKey[] = L"Software\\tundraBit\\craterDip";
const wchar_t kInstallKey[] = L"Software\\Apps\\tundraBit craterDip";
const wchar_t kDefaultDir[] = L"\\Program Files\\craterDip";

// One stored value: its name, type and raw bytes.
struct Stored {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> Dword(DWORD value) {
    return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
}

// The UTF-16 bytes of `text`, with or without its terminating zero.
std::vector<BYTE> Utf16(const std::wstring& text, bool terminated) {
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t), 0);
    memcpy(bytes.data(), text.data(), text.size() * sizeof(wchar_t));
    return bytes;
}

void Forget(HKEY root, const wchar_t* key) {
    RegDeleteTreeW(root, key);
    RegDeleteKeyW(root, key);
}

// Creates `key` (with full access, bypassing the phone's access rule) holding exactly `values`.
void Store(HKEY root, const wchar_t* key, const std::vector<Stored>& values) {
    Forget(root, key);
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr));
    for (const Stored& v : values) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(handle, v.name, 0, v.type, v.bytes.data(), v.bytes.size()));
    }
    RegCloseKey(handle);
}

// The raw type and bytes of a stored value; type REG_NONE when it is missing.
Stored Read(HKEY root, const wchar_t* key, const wchar_t* name) {
    Stored value = {name, REG_NONE, std::vector<BYTE>(64)};
    DWORD size = value.bytes.size();
    if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, value.bytes.data(), &size) !=
        ERROR_SUCCESS) {
        value.type = REG_NONE;
        size = 0;
    }
    value.bytes.resize(size);
    return value;
}

class Settings : public testing::Test {
  protected:
    void SetUp() override {
        Forget(HKEY_CURRENT_USER, L"Software\\tundraBit");
        Forget(HKEY_LOCAL_MACHINE, L"Software\\Apps\\tundraBit craterDip");
        g_state = GameState();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Settings, LoadTakesOnlyFourByteDwordsAndKeepsTheRest) {
    const struct {
        const char* what;
        bool keyExists;
        std::vector<Stored> values;
        int tiltX, tiltY, level; // expected, loading over fields that start at 5, 6 and 1
    } cases[] = {
        {"first start: no key", false, {}, 5, 6, 1},
        {"empty key", true, {}, 5, 6, 1},
        {"all three",
         true,
         {{L"tiltX", REG_DWORD, Dword(0xFFFFFF88)},
          {L"tiltY", REG_DWORD, Dword(35)},
          {L"level", REG_DWORD, Dword(2)}},
         -120,
         35,
         2},
        {"only tiltY", true, {{L"tiltY", REG_DWORD, Dword(0xFFFF8000)}}, 5, -32768, 1},
        {"level 7 as stored", true, {{L"level", REG_DWORD, Dword(7)}}, 5, 6, 7},
        {"level -1 as stored", true, {{L"level", REG_DWORD, Dword(0xFFFFFFFF)}}, 5, 6, -1},
        {"two-byte DWORD", true, {{L"tiltX", REG_DWORD, {0x34, 0x12}}}, 5, 6, 1},
        {"one-byte DWORD", true, {{L"level", REG_DWORD, {3}}}, 5, 6, 1},
        {"eight-byte DWORD", true, {{L"tiltY", REG_DWORD, {1, 0, 0, 0, 2, 0, 0, 0}}}, 5, 6, 1},
        {"QWORD", true, {{L"level", REG_QWORD, {3, 0, 0, 0, 0, 0, 0, 0}}}, 5, 6, 1},
        {"four-byte binary", true, {{L"tiltX", REG_BINARY, Dword(9)}}, 5, 6, 1},
        {"big-endian DWORD", true, {{L"tiltY", REG_DWORD_BIG_ENDIAN, Dword(9)}}, 5, 6, 1},
        {"string", true, {{L"level", REG_SZ, Utf16(L"3", true)}}, 5, 6, 1},
        {"a bad value beside good ones",
         true,
         {{L"tiltX", REG_SZ, Utf16(L"-7", true)},
          {L"tiltY", REG_DWORD, Dword(8)},
          {L"level", REG_DWORD, Dword(0)}},
         5,
         8,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Forget(HKEY_CURRENT_USER, kSettingsKey);
        if (c.keyExists) {
            Store(HKEY_CURRENT_USER, kSettingsKey, c.values);
        }
        g_state.calibTiltX = 5;
        g_state.calibTiltY = 6;
        g_state.level = Medium;

        LoadSettings();

        EXPECT_EQ(c.tiltX, g_state.calibTiltX);
        EXPECT_EQ(c.tiltY, g_state.calibTiltY);
        EXPECT_EQ(c.level, g_state.level);
    }
}

TEST_F(Settings, FirstStartGetsTheDefaults) {
    LoadSettings();
    EXPECT_EQ(0, g_state.calibTiltX);
    EXPECT_EQ(0, g_state.calibTiltY);
    EXPECT_EQ(Medium, g_state.level);
}

TEST_F(Settings, SavesWriteTwosComplementDwordsThatLoadBack) {
    g_state.calibTiltX = -120;
    g_state.calibTiltY = 35;
    SaveCalibration();
    EXPECT_EQ(REG_DWORD, Read(HKEY_CURRENT_USER, kSettingsKey, L"tiltX").type);
    EXPECT_EQ(Dword(0xFFFFFF88), Read(HKEY_CURRENT_USER, kSettingsKey, L"tiltX").bytes);
    EXPECT_EQ(Dword(35), Read(HKEY_CURRENT_USER, kSettingsKey, L"tiltY").bytes);
    EXPECT_EQ(DWORD(REG_NONE), Read(HKEY_CURRENT_USER, kSettingsKey, L"level").type);

    g_state = GameState();
    LoadSettings();
    EXPECT_EQ(-120, g_state.calibTiltX);
    EXPECT_EQ(35, g_state.calibTiltY);
    EXPECT_EQ(Medium, g_state.level);
}

TEST_F(Settings, LevelSavedAloneOnAFreshKeyAndKeptAsItIs) {
    for (int level : {int(Hard), 7}) {
        Forget(HKEY_CURRENT_USER, kSettingsKey);
        g_state = GameState();
        g_state.level = level;
        SaveLevel();
        Stored stored = Read(HKEY_CURRENT_USER, kSettingsKey, L"level");
        EXPECT_EQ(REG_DWORD, stored.type);
        EXPECT_EQ(Dword(level), stored.bytes);
        EXPECT_EQ(DWORD(REG_NONE), Read(HKEY_CURRENT_USER, kSettingsKey, L"tiltX").type);
        EXPECT_EQ(DWORD(REG_NONE), Read(HKEY_CURRENT_USER, kSettingsKey, L"tiltY").type);

        g_state = GameState();
        LoadSettings();
        EXPECT_EQ(level, g_state.level);
        EXPECT_EQ(0, g_state.calibTiltX);
    }
}

// The settings key's parent is redirected to a deleted key, so creating the settings key really fails.
TEST_F(Settings, ASaveWhoseKeyCannotBeCreatedIsSkipped) {
    HKEY gone;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &gone, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\tundraBit\\gone"));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, gone));
    HKEY probe;
    DWORD disposition;
    wchar_t noClass[] = L"";
    EXPECT_NE(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, noClass, 0, 0, nullptr,
                                             &probe, &disposition));

    g_state.calibTiltX = -3;
    g_state.calibTiltY = 4;
    g_state.level = Expert;
    SaveCalibration();
    SaveLevel();

    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(gone);
    EXPECT_EQ(-3, g_state.calibTiltX);
    EXPECT_EQ(4, g_state.calibTiltY);
    EXPECT_EQ(Expert, g_state.level);
    HKEY settings;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &settings));
}

TEST_F(Settings, InstallDirAsStoredOrTheDefault) {
    const std::wstring longest(259, L'x'); // 259 units and the zero fill the 260-unit buffer exactly
    const std::wstring full(260, L'y');
    const struct {
        const char* what;
        bool keyExists;
        std::vector<Stored> values;
        std::wstring expected;
    } cases[] = {
        {"no install key", false, {}, L""},
        {"key without the value", true, {}, kDefaultDir},
        {"empty value", true, {{L"InstallDir", REG_SZ, Utf16(L"", true)}}, kDefaultDir},
        {"zero-byte value", true, {{L"InstallDir", REG_SZ, {}}}, kDefaultDir},
        {"trailing backslash kept",
         true,
         {{L"InstallDir", REG_SZ, Utf16(L"\\Storage Card\\Games\\", true)}},
         L"\\Storage Card\\Games\\"},
        {"no backslash added", true, {{L"InstallDir", REG_SZ, Utf16(L"C:\\dip", true)}}, L"C:\\dip"},
        {"unterminated short value",
         true,
         {{L"InstallDir", REG_SZ, Utf16(L"\\Apps\\dip", false)}},
         L"\\Apps\\dip"},
        {"expandable string, unexpanded",
         true,
         {{L"InstallDir", REG_EXPAND_SZ, Utf16(L"%ProgramFiles%\\dip", true)}},
         L"%ProgramFiles%\\dip"},
        {"259 units", true, {{L"InstallDir", REG_SZ, Utf16(longest, true)}}, longest},
        {"260 units, unterminated", true, {{L"InstallDir", REG_SZ, Utf16(full, false)}}, kDefaultDir},
        {"260 units and the zero", true, {{L"InstallDir", REG_SZ, Utf16(full, true)}}, kDefaultDir},
        {"1000 units", true, {{L"InstallDir", REG_SZ, Utf16(std::wstring(1000, L'z'), true)}}, kDefaultDir},
        {"DWORD", true, {{L"InstallDir", REG_DWORD, Dword(0x5C)}}, kDefaultDir},
        {"binary string bytes", true, {{L"InstallDir", REG_BINARY, Utf16(L"\\bin", true)}}, kDefaultDir},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Forget(HKEY_LOCAL_MACHINE, kInstallKey);
        if (c.keyExists) {
            Store(HKEY_LOCAL_MACHINE, kInstallKey, c.values);
        }
        g_state = GameState();

        LoadInstallDir();

        EXPECT_EQ(c.expected, std::wstring(g_state.installDir));
        EXPECT_EQ(L'\0', g_state.installDir[kInstallDirLength - 1]);
    }
}

TEST_F(Settings, MissingInstallKeyLeavesTheFolderAsItWas) {
    wcscpy(g_state.installDir, L"\\kept");
    LoadInstallDir();
    EXPECT_STREQ(L"\\kept", g_state.installDir);
}

} // namespace
