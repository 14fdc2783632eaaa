#pragma once

// Arithmetic on the program's 16-bit counters and positions: it wraps or faults exactly where a
// signed 16-bit integer would, and rounds halves to the even neighbour.

#include <cmath>
#include <cstdint>

#include "fault/Fault.h"

namespace kestrix {

// Round to the nearest whole number, halves to the even neighbour (2.5 → 2, 3.5 → 4).
inline double roundHalfEven(double value) {
    return value - std::remainder(value, 1.0);
}

// A 16-bit result of a wider computation; faults with Overflow (6) outside −32768..32767.
inline int16_t checked16(int64_t value) {
    if (value < INT16_MIN || value > INT16_MAX) {
        raiseFault(ErrorNumber::Overflow);
    }
    return static_cast<int16_t>(value);
}

inline int16_t add16(int16_t a, int16_t b) {
    return checked16(int64_t{a} + b);
}
inline int16_t sub16(int16_t a, int16_t b) {
    return checked16(int64_t{a} - b);
}

// A floating value held in a 16-bit integer: rounded half to even, Overflow outside the range.
inline int16_t toInt16(double value) {
    double rounded = roundHalfEven(value);
    if (!(rounded >= INT16_MIN && rounded <= INT16_MAX)) {  // NaN lands here too
        raiseFault(ErrorNumber::Overflow);
    }
    return static_cast<int16_t>(rounded);
}

// The same for 32-bit integers.
inline int32_t toInt32(double value) {
    double rounded = roundHalfEven(value);
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) {
        raiseFault(ErrorNumber::Overflow);
    }
    return static_cast<int32_t>(rounded);
}

// The low 16 bits of a number, read as a signed 16-bit integer (70000 → 4464, 65535 → −1).
inline int16_t wrapLow16(uint32_t value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFFu));
}

}  // namespace kestrix
