// The phone shell's command line.
#include "phone.h"

#include <errno.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

bool ParseSeconds(const wchar_t* text, int* seconds) {
    wchar_t* end = nullptr;
    errno = 0;
    long value = wcstol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || value < 0 || value > 86400) {
        return false;
    }
    *seconds = static_cast<int>(value);
    return true;
}

} // namespace

bool ParsePhoneOptions(int argc, const wchar_t* const* argv, PhoneOptions* options, wchar_t* error,
                       size_t errorSize) {
    for (int i = 0; i < argc; ++i) {
        const wchar_t* option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (wcscmp(option, L"--exit-after") == 0) {
            if (!hasValue || !ParseSeconds(argv[i + 1], &options->exitAfterSeconds)) {
                swprintf(error, errorSize, L"--exit-after needs a number of seconds from 0 to 86400");
                return false;
            }
            ++i;
        } else if (wcscmp(option, L"--game") == 0) {
            if (!hasValue || argv[i + 1][0] == 0 || wcslen(argv[i + 1]) >= MAX_PATH) {
                swprintf(error, errorSize, L"--game needs the path of a program");
                return false;
            }
            wcscpy(options->game, argv[++i]);
        } else if (wcscmp(option, L"--no-game") == 0) {
            options->startGame = false;
        } else if (wcscmp(option, L"--no-service") == 0) {
            options->hostService = false;
        } else {
            swprintf(error, errorSize, L"unknown option %ls", option);
            return false;
        }
    }
    return true;
}
