// The shell library's registry notifications with conditions: each registration watches one value and
// posts only for the changes whose new value satisfies its condition.
#include "aygshell.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

const wchar_t kKey[] = L"Software\\craterDipTests\\Notify";
const UINT kChanged = WM_APP + 7;

int g_write = 0;                  // the write whose notifications are now due
std::vector<std::string> g_fired; // per registration: '1' at each write it posted for

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kChanged) {
        g_fired[lParam][g_write] = '1';
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The library's two entries, found by name as the game finds them.
template <typename Entry> Entry ShellEntry(const char* name) {
    return reinterpret_cast<Entry>(
        reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(L"aygshell.dll"), name)));
}

TEST(RegistryNotifyWindow, ConditionsPickTheChangesThatNotify) {
    const auto RegistryNotifyWindow = ShellEntry<RegistryNotifyWindowProc>("RegistryNotifyWindow");
    const auto RegistryCloseNotification =
        ShellEntry<RegistryCloseNotificationProc>("RegistryCloseNotification");
    ASSERT_TRUE(RegistryNotifyWindow != nullptr && RegistryCloseNotification != nullptr);
    const struct {
        const wchar_t* value;
        DWORD number;        // a DWORD written, unless 0
        const wchar_t* text; // else a string written, unless null: then the value is deleted
    } writes[] = {{L"Number", 1, nullptr},   {L"Number", 2, nullptr},    {L"Number", 0x102, nullptr},
                  {L"Number", 3, nullptr},   {L"Number", 0, nullptr},    {L"Text", 0, L"Landscape Left"},
                  {L"Text", 0, L"portrait"}, {L"Text", 0, L"LANDSCAPE"}, {L"Text", 0, nullptr}};
    const int kNoCondition = -1;
    const struct {
        const wchar_t* value;
        int comparison; // a REG_CT_ type, or kNoCondition
        DWORD number, mask;
        const wchar_t* text;
        const char* fires; // at each write
    } rows[] = {
        {L"Number", kNoCondition, 0, 0, nullptr, "111110000"},
        {L"Number", REG_CT_ANYCHANGE, 0, 0, nullptr, "111110000"},
        {L"Number", REG_CT_EQUAL, 2, 0xFF, nullptr, "011000000"}, // 0x102 masked is 2
        {L"Number", REG_CT_NOT_EQUAL, 2, 0xFF, nullptr, "100100000"},
        {L"Number", REG_CT_GREATER, 2, 0xFFFF, nullptr, "001100000"},
        {L"Number", REG_CT_GREATER_OR_EQUAL, 3, 0xFF, nullptr, "000100000"},
        {L"Number", REG_CT_LESS, 2, 0xFFFF, nullptr, "100000000"},
        {L"Number", REG_CT_LESS_OR_EQUAL, 2, 0xFF, nullptr, "111000000"},
        {L"Text", REG_CT_EQUAL, 0, 0, L"landscape", "000000010"}, // case is ignored
        {L"Text", REG_CT_LESS, 0, 0, L"m", "000001010"},
        {L"Text", REG_CT_CONTAINS, 0, 0, L"SCAPE", "000001010"},
        {L"Text", REG_CT_STARTS_WITH, 0, 0, L"land", "000001010"},
        {L"Text", REG_CT_ENDS_WITH, 0, 0, L"LEFT", "000001000"},
    };
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    HWND window = CreateTestWindow(0, 0, 10, 10, Record);
    std::vector<HREGNOTIFY> handles;
    for (const auto& row : rows) {
        NOTIFICATIONCONDITION condition = {REG_COMPARISONTYPE(row.comparison), {row.number}, row.mask};
        if (row.text != nullptr) {
            condition.TargetValue.psz = row.text;
        }
        g_fired.push_back(std::string(std::size(writes), '0'));
        handles.push_back(nullptr);
        ASSERT_EQ(S_OK, RegistryNotifyWindow(
                            HKEY_CURRENT_USER, kKey, row.value, window, kChanged, DWORD(handles.size() - 1),
                            row.comparison == kNoCondition ? nullptr : &condition, &handles.back()));
    }
    for (size_t w = 0; w < std::size(writes); ++w) {
        const auto& write = writes[w];
        g_write = int(w);
        if (write.number != 0) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, write.value, REG_DWORD, &write.number, 4);
        } else if (write.text != nullptr) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, write.value, REG_SZ, write.text,
                            DWORD((wcslen(write.text) + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, write.value);
        }
        // Every notification due for this write arrives before the next write.
        PumpUntil(
            [&] {
                for (size_t i = 0; i < handles.size(); ++i) {
                    if (rows[i].fires[w] == '1' && g_fired[i][w] != '1') {
                        return false;
                    }
                }
                return true;
            },
            5000);
    }
    PumpUntil([] { return false; }, 300); // and nothing comes late
    for (size_t i = 0; i < handles.size(); ++i) {
        EXPECT_EQ(rows[i].fires, g_fired[i]) << "row " << i;
        EXPECT_EQ(S_OK, RegistryCloseNotification(handles[i]));
    }
    DestroyWindow(window);
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

} // namespace
