// Crashes on purpose, the way named by its argument: "null-write" (a page fault) or "ub-trap" (a signed
// overflow caught by the undefined-behaviour trap, an illegal instruction).
#include "coredll.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Without the sanitizer here, or it would trap on the null pointer before the write faults.
__attribute__((no_sanitize("undefined"))) void WriteThroughNull() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

int OverflowSignedSum() {
    volatile int big = INT32_MAX;
    return big + atoi("1");
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "null-write") == 0) {
        WriteThroughNull();
    }
    if (argc > 1 && strcmp(argv[1], "ub-trap") == 0) {
        return OverflowSignedSum();
    }
    return 0;
}
