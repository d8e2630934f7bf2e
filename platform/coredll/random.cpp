// Random: the core library's pseudo-random source.
//
// SplitMix64, returning the high 32 bits of each output. The sequence for a given seed is part of the
// phone's contract with replay tests and demos: seed s yields the outputs of SplitMix64 started at state s.
#include "coredll.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

bool g_seeded = false;
uint64_t g_randomState = 0;

// Reads CRATERDIP_SEED as an unsigned decimal number; false when it is unset or not such a number.
bool SeedFromEnvironment(uint64_t* seed) {
    char text[32];
    DWORD length = GetEnvironmentVariableA("CRATERDIP_SEED", text, sizeof text);
    if (length == 0) {
        return false;
    }
    if (length >= sizeof text) {
        fprintf(stderr, "CRATERDIP_SEED is too long; seeding from the clock\n");
        return false;
    }
    char* end = nullptr;
    unsigned long long value = strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-') {
        fprintf(stderr, "CRATERDIP_SEED=\"%s\" is not a decimal number; seeding from the clock\n", text);
        return false;
    }
    *seed = value;
    return true;
}

uint64_t SeedFromClock() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<uint64_t>(counter.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32);
}

} // namespace

extern "C" DWORD Random(void) {
    if (!g_seeded) {
        uint64_t seed;
        g_randomState = SeedFromEnvironment(&seed) ? seed : SeedFromClock();
        g_seeded = true;
    }
    g_randomState += 0x9E3779B97F4A7C15ull;
    uint64_t z = g_randomState;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<DWORD>(z >> 32);
}
