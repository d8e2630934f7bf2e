// The core library's own contracts: the crash guard (a crashing program of ours names the exception on
// standard error and exits with its code), entry points by wide name, and the seeded random sequence that
// recorded runs rely on.
#include "coredll.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <tuple>

namespace {

// Rows: how the helper crashes (or not), the exit code and a word of its report. It runs through the command
// interpreter, its standard error joined to its output.
TEST(CrashGuard, ACrashEndsTheProgramWithItsCode) {
    const std::tuple<const wchar_t*, DWORD, const char*> cases[] = {
        {L"null-write", EXCEPTION_ACCESS_VIOLATION, "page fault"},
        {L"ub-trap", EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
        {L"", 0, ""}};
    for (const auto& [how, code, words] : cases) {
        const std::wstring command =
            L"\"" + BesideThisProgram(L"crash_on_purpose.exe") + L"\" " + how + L" 2>&1";
        FILE* pipe = _wpopen(command.c_str(), L"r");
        char output[4096] = "";
        fread(output, 1, sizeof output - 1, pipe);
        EXPECT_EQ(std::make_tuple(code, true),
                  std::make_tuple(DWORD(_pclose(pipe)), strstr(output, words) != nullptr))
            << output;
    }
}

// CE looks entry points up by wide names; one that is not ASCII names none (its low bytes would name one).
TEST(GetProcAddressW, NamesOnlyAsciiExports) {
    EXPECT_EQ(nullptr, GetProcAddressW(GetModuleHandleW(L"kernel32.dll"), L"GetTick\u0143ount"));
}

// SplitMix64 from the seed, the high 32 bits of each output: a seed replays a recorded run (the demo's seed
// 2027 draws the pad it was recorded with).
TEST(Random, ASeedGivesItsSequence) {
    SetEnvironmentVariableA("CRATERDIP_SEED", "7");
    const std::tuple<DWORD, DWORD, DWORD> drawn{Random(), Random(), Random()}; // in this order
    EXPECT_EQ(std::make_tuple(0x63CBE1E4ul, 0x044C3CD7ul, 0xE6984080ul), drawn);
}

} // namespace
