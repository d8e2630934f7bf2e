// The core library's own pieces: the crash guard, Random's seeding, the registry access rule.
#include "coredll.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ChildRun {
    DWORD exitCode;
    std::string errors;
};

// Runs a program beside this one with its standard error captured.
ChildRun RunBeside(const std::wstring& program, const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\') + 1);
    std::wstring commandLine = L"\"" + folder + program + L"\" " + arguments;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process = {};
    ChildRun run = {0xFFFFFFFF, ""};
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(writeEnd);
        char buffer[512];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            run.errors.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        CloseHandle(writeEnd);
    }
    CloseHandle(readEnd);
    return run;
}

TEST(CrashGuard, ACrashEndsTheProgramWithItsCode) {
    const struct {
        const wchar_t* how;
        DWORD code;
        const char* words;
    } cases[] = {{L"null-write", EXCEPTION_ACCESS_VIOLATION, "page fault"},
                 {L"ub-trap", EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"}};
    for (const auto& c : cases) {
        ChildRun run = RunBeside(L"crash_on_purpose.exe", c.how);
        EXPECT_EQ(c.code, run.exitCode);
        EXPECT_NE(std::string::npos, run.errors.find(c.words)) << run.errors;
    }
    EXPECT_EQ(0u, RunBeside(L"crash_on_purpose.exe", L"nothing").exitCode);
}

// SplitMix64 from state 0, high halves: the sequence that replays and demos rely on.
TEST(Random, SeedZeroGivesTheDocumentedSequence) {
    SetEnvironmentVariableW(L"CRATERDIP_SEED", L"0");
    const DWORD expected[] = {0xE220A839u, 0x6E789E6Au, 0x06C45D18u};
    for (DWORD value : expected) {
        EXPECT_EQ(value, Random());
    }
}

} // namespace
