// The crash guard of every program of ours.
//
// Under Wine an unhandled exception starts the auto-debugger, which can hang a headless run and whose exit
// code is unreliable. This filter reports the exception on standard error and ends the process at once with
// the exception code as its exit code, so that a crash (or an undefined-behaviour trap, an illegal
// instruction) always fails the run that met it.
#include "coredll.h"

#include <stdio.h>

namespace {

LONG WINAPI ReportAndTerminate(EXCEPTION_POINTERS* info) {
    DWORD code = info->ExceptionRecord->ExceptionCode;
    const char* what = code == EXCEPTION_ILLEGAL_INSTRUCTION ? "illegal instruction"
                       : code == EXCEPTION_ACCESS_VIOLATION  ? "page fault"
                                                             : "exception";
    fprintf(stderr, "Unhandled exception 0x%08lx (%s) at %p\n", static_cast<unsigned long>(code), what,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct CrashGuard {
    CrashGuard() {
        SetUnhandledExceptionFilter(ReportAndTerminate);
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    }
};

CrashGuard g_crashGuard;

} // namespace

// Referenced by the link options of coredll_compat, so that every program links this file in.
extern "C" {
int craterdip_crash_guard = 1;
}
