// The crash guard: a crashing program of ours names the exception on standard error and exits with its code.
#include "coredll.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
