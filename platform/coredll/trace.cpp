// The phone's event trace: what a test machine without a speaker or a vibrator would otherwise not show.
#include "coredll.h"

#include <stdarg.h>
#include <stdio.h>

extern "C" void PhoneTrace(const char* format, ...) {
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"CRATERDIP_TRACE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    char line[512];
    int used = snprintf(line, sizeof line, "%lu ", static_cast<unsigned long>(GetTickCount()));
    va_list args;
    va_start(args, format);
    int added = vsnprintf(line + used, sizeof line - used - 1, format, args);
    va_end(args);
    if (added < 0) {
        return;
    }
    used += added;
    if (used > static_cast<int>(sizeof line) - 2) {
        used = sizeof line - 2;
    }
    line[used++] = '\n';

    // FILE_APPEND_DATA alone makes each write land at the end, even with several processes appending.
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(used), &written, nullptr);
    CloseHandle(file);
}
