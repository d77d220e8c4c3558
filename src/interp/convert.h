// Conversions from doubles to integers that never invoke undefined
// behaviour: a program image can put any double in front of a bitwise
// operator or an integer-wanting handler.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

// Truncates toward zero; out-of-range values saturate, NaN gives 0.
inline int64_t truncToInt64(double d)
{
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return INT64_MAX;
    if (d <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(d);
}

// The low 32 bits of the 64-bit truncation, so 4294967295.0 gives -1 and a
// bit pattern read back from an unsigned constant keeps its bits.
inline int32_t truncToInt32(double d)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(truncToInt64(d))));
}

// A numeric literal as a C integer with automatic base: "0x" hexadecimal,
// a leading zero octal (read up to the first digit that is not octal, so
// «08» is 0), else decimal. Stored programs rely on «010» being 8, as
// console input and menu ids read it.
inline uint64_t literalInt(const char* text) { return std::strtoull(text, nullptr, 0); }
