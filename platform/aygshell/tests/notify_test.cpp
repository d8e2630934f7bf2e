// The shell library's registry notifications with conditions: each registration watches one value and
// posts only for the changes of that value whose new value satisfies its condition.
#include "aygshell.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <vector>

// The game binds these two by name at run time; here they are imported.
extern "C" __declspec(dllimport) HRESULT WINAPI
    RegistryNotifyWindow(HKEY, LPCWSTR, LPCWSTR, HWND, UINT, DWORD, NOTIFICATIONCONDITION*, HREGNOTIFY*);
extern "C" __declspec(dllimport) HRESULT WINAPI RegistryCloseNotification(HREGNOTIFY);

namespace {

const wchar_t kKey[] = L"Software\\craterDipTests\\Notify";
const UINT kChanged = WM_APP + 7;

size_t g_write = 0;               // the write whose notifications are now due
std::vector<std::string> g_heard; // per registration: '1' at each write it posted for

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kChanged) {
        g_heard[lParam][g_write] = '1';
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Each registration's mark at the current write.
std::string Column(const std::vector<std::string>& table) {
    std::string column;
    for (const std::string& row : table) {
        column += row[g_write];
    }
    return column;
}

// Writes: a DWORD (unless 0), else a string (unless null), else the value is deleted. The fourth rewrites 3
// unchanged, so nobody hears it; the "Text" writes are another value to the "Number" rows. Rows: the
// watched value, the comparison (-1: no condition), its DWORD target and mask or its text, and the writes
// it must hear. DWORDs are masked (0x102 masked with 0xFF is 2), strings compared without regard to case.
TEST(RegistryNotifyWindow, ConditionsPickTheChangesThatNotify) {
    const std::tuple<const wchar_t*, DWORD, const wchar_t*> writes[] = {
        {L"Number", 1, nullptr},   {L"Number", 0x102, nullptr}, {L"Number", 3, nullptr},
        {L"Number", 3, nullptr},   {L"Number", 0, nullptr},     {L"Text", 0, L"Landscape Left"},
        {L"Text", 0, L"portrait"}, {L"Text", 0, L"LANDSCAPE"},  {L"Text", 0, nullptr}};
    const std::tuple<const wchar_t*, int, DWORD, DWORD, const wchar_t*, std::string> rows[] = {
        {L"Number", -1, 0, 0, nullptr, "111010000"},
        {L"Number", REG_CT_ANYCHANGE, 0, 0, nullptr, "111010000"},
        {L"Number", REG_CT_EQUAL, 2, 0xFF, nullptr, "010000000"},
        {L"Number", REG_CT_NOT_EQUAL, 2, 0xFF, nullptr, "101000000"},
        {L"Number", REG_CT_GREATER, 2, 0xFFFF, nullptr, "011000000"},
        {L"Number", REG_CT_GREATER_OR_EQUAL, 3, 0xFF, nullptr, "001000000"},
        {L"Number", REG_CT_LESS, 2, 0xFFFF, nullptr, "100000000"},
        {L"Number", REG_CT_LESS_OR_EQUAL, 2, 0xFF, nullptr, "110000000"},
        {L"Text", REG_CT_EQUAL, 0, 0, L"landscape", "000000010"},
        {L"Text", REG_CT_LESS, 0, 0, L"m", "000001010"},
        {L"Text", REG_CT_CONTAINS, 0, 0, L"SCAPE", "000001010"},
        {L"Text", REG_CT_STARTS_WITH, 0, 0, L"land", "000001010"},
        {L"Text", REG_CT_ENDS_WITH, 0, 0, L"LEFT", "000001000"}};
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    HWND window = CreateTestWindow(0, 0, 10, 10, Record);
    std::vector<std::string> due;
    std::vector<HREGNOTIFY> handles(std::size(rows));
    for (const auto& [value, comparison, number, mask, text, fires] : rows) {
        NOTIFICATIONCONDITION condition = {REG_COMPARISONTYPE(comparison), {number}, mask};
        condition.TargetValue.psz = text ? text : condition.TargetValue.psz;
        ASSERT_EQ(S_OK,
                  RegistryNotifyWindow(HKEY_CURRENT_USER, kKey, value, window, kChanged, DWORD(due.size()),
                                       comparison < 0 ? nullptr : &condition, &handles[due.size()]));
        due.push_back(fires);
        g_heard.push_back(std::string(std::size(writes), '0'));
    }
    for (g_write = 0; g_write < std::size(writes); ++g_write) {
        const auto& [value, number, text] = writes[g_write];
        if (number == 0 && text == nullptr) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, value);
        } else {
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, value, text ? REG_SZ : REG_DWORD,
                            text ? static_cast<const void*>(text) : &number,
                            text ? DWORD(wcslen(text) * 2 + 2) : 4);
        }
        PumpUntil([&] { return Column(g_heard) == Column(due); }, 5000); // before the next write
    }
    PumpUntil([] { return false; }, 300); // and nothing comes late
    EXPECT_EQ(due, g_heard);
    for (HREGNOTIFY handle : handles) {
        EXPECT_EQ(S_OK, RegistryCloseNotification(handle));
    }
    DestroyWindow(window);
}

} // namespace
