// arithmetic.h: the game's number rules, in one place.
//
// Integers are 32-bit two's complement and conversions from floating point truncate toward zero. C++ leaves
// signed overflow and out-of-range conversions undefined, so the few places where a stored value could push
// a result past 32 bits go through these helpers, which give the two's-complement result explicitly.
// Used by the round rules, the scene layout and the menu's radio mark.
#pragma once

#include <stdint.h>

// trunc(v): toward zero, as a 32-bit integer. Values beyond the 32-bit range (never reached by a round's
// own arithmetic) saturate instead of being undefined.
inline int Trunc(double value) {
    if (!(value > -2147483649.0)) {
        return value != value ? 0 : INT32_MIN;
    }
    if (!(value < 2147483648.0)) {
        return INT32_MAX;
    }
    return static_cast<int>(value);
}

// The 32-bit two's-complement sum and product.
inline int WrapAdd(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int WrapMul(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// a - b computed in 32 bits, reduced to its low 16 bits and read as a signed 16-bit number.
inline int16_t Difference16(int a, int b) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)));
}
