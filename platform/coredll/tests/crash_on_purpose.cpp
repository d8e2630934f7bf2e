// Crashes on purpose, the way named by its argument: "null-write" (a page fault) or "ub-trap" (a signed
// overflow caught by the undefined-behaviour trap, an illegal instruction).
#include "coredll.h"

#include <stdlib.h>
#include <string.h>

// Without the sanitizer here, or it would trap on the null pointer before the write faults.
__attribute__((no_sanitize("undefined"))) static void WriteThroughNull() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

int main(int argc, char** argv) {
    volatile int big = INT32_MAX;
    if (argc > 1 && strcmp(argv[1], "null-write") == 0) {
        WriteThroughNull();
    }
    return argc > 1 && strcmp(argv[1], "ub-trap") == 0 ? big + atoi("1") : 0;
}
