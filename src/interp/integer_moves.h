// The integer form of a numeric expression: its moves again, run on 32-bit
// integers while every name holds an INT (Ostrin::integerFromCode). One
// code per move, an operation's operand (a place or a number) included,
// so that one dispatch runs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct NameSite;

// The places of a numeric expression's moves, at most: larger expressions
// take the general run.
constexpr size_t MaxNumberPlaces = 64;

struct IntegerMove {
    enum Code : uint8_t {
        Literal, Copy, Name, Element, ElementAt, ElementAmong,
        Add, AddNumber, Sub, SubNumber, Mul, MulNumber, Mod, ModNumber,
        Eq, EqNumber, Ne, NeNumber, Lt, LtNumber, Gt, GtNumber, Le, LeNumber, Ge, GeNumber,
        ModBy,   // a remainder by the number, at least 2, through its reciprocal
        // An Add whose operand is the Name or Element read just before it,
        // in one dispatch: «S + A[I]». `site` and `move` are the read's.
        AddName, AddElement,
    };
    Code code = Literal;
    bool negate = false;
    uint16_t to = 0;
    // Copy, ElementAt (its index), ElementAmong (its first), an operation
    // on a place: the place; else the number.
    int32_t operand = 0;
    NameSite* site = nullptr;  // Name, Element: the operand's sites; ElementAt, ElementAmong: the array's
    uint16_t move = 0;         // Name, ElementAt, ElementAmong: its numeric move, for a lookup again
    uint8_t parts = 1;         // ElementAmong: its indices, in places from `operand` on
    bool refuses = false;      // Mod, ModNumber in an index: a remainder by zero is left to the doubles
    uint8_t shift = 0;         // ModBy: the reciprocal's
    int32_t magic = 0;

    // The read this move makes: an AddName's is a Name's, an AddElement's
    // an Element's; any other move's, its own code.
    Code read() const { return code == AddName ? Name : code == AddElement ? Element : code; }
};

// A remainder by a constant is a multiplication by the divisor's reciprocal
// and a shift: a division takes several times as long, and a loop such as
// «S = S + I % 7» makes one every turn. The magic number and the shift
// are the standard ones for signed division by d, 2 <= d < 2^31.
struct Reciprocal {
    int32_t magic;
    uint8_t shift;
};

inline Reciprocal reciprocalOf(uint32_t d)
{
    constexpr uint32_t two31 = 0x80000000u;
    const uint32_t nc = two31 - 1 - two31 % d;   // the largest dividend whose remainder is d - 1
    uint32_t q1 = two31 / nc, r1 = two31 - q1 * nc, q2 = two31 / d, r2 = two31 - q2 * d, delta;
    int p = 31;
    do {
        ++p;
        q1 *= 2;
        r1 *= 2;
        if (r1 >= nc) ++q1, r1 -= nc;
        q2 *= 2;
        r2 *= 2;
        if (r2 >= d) ++q2, r2 -= d;
        delta = d - r2;
    } while (q1 < delta || (q1 == delta && r1 == 0));
    return {static_cast<int32_t>(q2 + 1), static_cast<uint8_t>(p - 32)};
}

// a % d, the sign the dividend's as in C, for the d of the reciprocal r.
[[gnu::always_inline]] inline int32_t remainderBy(int32_t a, uint32_t d, Reciprocal r)
{
    auto q = static_cast<uint32_t>(static_cast<int64_t>(r.magic) * a >> 32);
    if (r.magic < 0) q += static_cast<uint32_t>(a);   // the magic number is 2^32 larger
    q = static_cast<uint32_t>(static_cast<int32_t>(q) >> r.shift);
    q += q >> 31;   // toward zero
    return static_cast<int32_t>(static_cast<uint32_t>(a) - q * d);
}

struct IntegerCode {
    std::vector<IntegerMove> moves;
    uint16_t resultAt = 0;
};
