// The core library's own contracts: the crash guard (a crashing program of ours names the exception on
// standard error and exits with its code) and the seeded random sequence that recorded runs rely on.
#include "coredll.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

TEST(CrashGuard, ACrashEndsTheProgramWithItsCode) {
    // The helper runs through the command interpreter, its standard error joined to its output.
    const auto run = [](const wchar_t* how, std::string* output) {
        const std::wstring command =
            L"\"" + BesideThisProgram(L"crash_on_purpose.exe") + L"\" " + how + L" 2>&1";
        FILE* pipe = _wpopen(command.c_str(), L"r");
        for (char line[256]; fgets(line, sizeof line, pipe);) {
            *output += line;
        }
        return static_cast<DWORD>(_pclose(pipe));
    };
    const struct {
        const wchar_t* how;
        DWORD code;
        const char* words;
    } cases[] = {{L"null-write", EXCEPTION_ACCESS_VIOLATION, "page fault"},
                 {L"ub-trap", EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
                 {L"nothing", 0, ""}};
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(c.code, run(c.how, &output));
        EXPECT_NE(std::string::npos, output.find(c.words)) << output;
    }
}

// CE looks entry points up by wide names; a name that is not ASCII, or too long for any export, names none.
TEST(GetProcAddressW, FindsExportsByAsciiNamesOnly) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount")),
              reinterpret_cast<void*>(GetProcAddressW(kernel, L"GetTickCount")));
    const std::wstring tooLong(300, L'A');
    for (const wchar_t* name : {L"GetTickCountX", L"GetTick\u0143ount", tooLong.c_str()}) {
        EXPECT_EQ(nullptr, GetProcAddressW(kernel, name)) << static_cast<int>(name[7]);
    }
}

// SplitMix64 from the seed, the high 32 bits of each output: a seed replays a recorded run (the demo's seed
// 2027 draws the pad it was recorded with).
TEST(Random, ASeedGivesItsSequence) {
    SetEnvironmentVariableA("CRATERDIP_SEED", "7");
    EXPECT_EQ((std::vector<DWORD>{0x63CBE1E4, 0x044C3CD7, 0xE6984080}),
              (std::vector<DWORD>{Random(), Random(), Random()}));
}

} // namespace
