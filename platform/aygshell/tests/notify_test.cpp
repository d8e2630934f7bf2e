// The shell library's registry notifications with conditions: each registration watches one value and
// posts only for the changes of that value whose new value satisfies its condition.
#include "aygshell.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

// The game binds it by name at run time; here it is imported.
extern "C" __declspec(dllimport) HRESULT WINAPI
    RegistryNotifyWindow(HKEY, LPCWSTR, LPCWSTR, HWND, UINT, DWORD, NOTIFICATIONCONDITION*, HREGNOTIFY*);

namespace {

const wchar_t kKey[] = L"Software\\craterDipTests\\Notify";
const UINT kChanged = WM_APP + 7;

std::string g_heard; // per registration: '1' once it posted for the current write

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kChanged) {
        g_heard[lParam] = '1';
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Registrations: the comparison, its DWORD target and mask, or its text; a text watches "Text", a number
// "Number". DWORDs are masked (0x102 masked with 0xFF is 2, each order comparison's boundary; 3 is the
// boundary of the last), strings compared without regard to case. Writes:
// a DWORD (unless 0), else a string (unless null), else the value is deleted, and which registrations hear
// it. The fourth write rewrites 3 unchanged, so nobody hears it; "Text" is another value to the numbers.
TEST(RegistryNotifyWindow, ConditionsPickTheChangesThatNotify) {
    const std::tuple<REG_COMPARISONTYPE, DWORD, DWORD, const wchar_t*> registrations[] = {
        {REG_CT_ANYCHANGE, 0, 0, nullptr},    {REG_CT_EQUAL, 2, 0xFF, nullptr},
        {REG_CT_NOT_EQUAL, 2, 0xFF, nullptr}, {REG_CT_GREATER, 2, 0xFF, nullptr},
        {REG_CT_LESS, 2, 0xFF, nullptr},      {REG_CT_LESS_OR_EQUAL, 2, 0xFF, nullptr},
        {REG_CT_EQUAL, 0, 0, L"landscape"},   {REG_CT_LESS, 0, 0, L"m"},
        {REG_CT_CONTAINS, 0, 0, L"SCAPE"},    {REG_CT_STARTS_WITH, 0, 0, L"land"},
        {REG_CT_ENDS_WITH, 0, 0, L"LEFT"},    {REG_CT_GREATER_OR_EQUAL, 3, 0xFF, nullptr}};
    const std::tuple<const wchar_t*, DWORD, const wchar_t*, std::string> writes[] = {
        {L"Number", 1, nullptr, "101011000000"},   {L"Number", 0x102, nullptr, "110001000000"},
        {L"Number", 3, nullptr, "101100000001"},   {L"Number", 3, nullptr, "000000000000"},
        {L"Number", 0, nullptr, "100000000000"},   {L"Text", 0, L"Landscape Left", "000000011110"},
        {L"Text", 0, L"portrait", "000000000000"}, {L"Text", 0, L"LANDSCAPE", "000000111100"},
        {L"Text", 0, nullptr, "000000000000"}};
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    const HWND window = CreateTestWindow(0, 0, 10, 10, Record);
    HREGNOTIFY handles[std::size(registrations)];
    for (size_t i = 0; i < std::size(registrations); ++i) {
        const auto& [comparison, number, mask, text] = registrations[i];
        NOTIFICATIONCONDITION condition = {comparison, {number}, mask};
        condition.TargetValue.psz = text ? text : condition.TargetValue.psz;
        ASSERT_EQ(S_OK, RegistryNotifyWindow(HKEY_CURRENT_USER, kKey, text ? L"Text" : L"Number", window,
                                             kChanged, DWORD(i), &condition, &handles[i]));
    }
    for (const auto& [value, number, text, heardBy] : writes) {
        g_heard.assign(std::size(registrations), '0');
        number || text ? RegSetKeyValueW(HKEY_CURRENT_USER, kKey, value, text ? REG_SZ : REG_DWORD,
                                         text ? static_cast<const void*>(text) : &number,
                                         text ? DWORD(wcslen(text) * 2 + 2) : 4)
                       : RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, value);
        PumpUntil([&] { return g_heard == heardBy; }, 5000); // one that comes late shows at the next write
        EXPECT_EQ(heardBy, g_heard) << value << " " << number;
    }
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(std::string(std::size(registrations), '0'), g_heard) << "nothing comes late";
}

} // namespace
