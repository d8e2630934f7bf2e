// The core library's own pieces: the crash guard and Random's seeding.
#include "coredll.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CrashGuard, ACrashEndsTheProgramWithItsCode) {
    const struct {
        const wchar_t* how;
        DWORD code;
        const char* words;
    } cases[] = {{L"null-write", EXCEPTION_ACCESS_VIOLATION, "page fault"},
                 {L"ub-trap", EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
                 {L"nothing", 0, ""}};
    for (const auto& c : cases) {
        ChildProcess run;
        ASSERT_TRUE(run.Start(L"crash_on_purpose.exe", c.how, ChildProcess::kOutputAndErrors));
        EXPECT_EQ(c.code, run.Wait());
        EXPECT_NE(std::string::npos, run.output.find(c.words)) << run.output;
    }
}

// SplitMix64 from state 0, high halves: the sequence that replays and demos rely on.
TEST(Random, SeedZeroGivesTheDocumentedSequence) {
    SetEnvironmentVariableW(L"CRATERDIP_SEED", L"0");
    EXPECT_EQ(std::vector<DWORD>({0xE220A839u, 0x6E789E6Au, 0x06C45D18u}),
              std::vector<DWORD>({Random(), Random(), Random()}));
}

} // namespace
