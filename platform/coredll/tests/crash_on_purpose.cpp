// Crashes on purpose, the way named by its argument: "null-write" (a page fault) or "ub-trap" (a signed
// overflow caught by the undefined-behaviour trap, an illegal instruction); with no argument it ends well.
#include "coredll.h"

// The null check is off here, or it would trap on the null pointer before the write faults.
__attribute__((no_sanitize("null"))) int main(int argc, char** argv) {
    volatile int big = INT32_MAX;
    volatile int* volatile nowhere = nullptr;
    const char how = argc > 1 ? argv[1][0] : '\0';
    return how == 'n' ? *nowhere = 1 : how == 'u' ? big + argc : 0;
}
