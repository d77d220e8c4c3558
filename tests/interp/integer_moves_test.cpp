// Remainders by constants taken through reciprocals must be C's remainders
// for every dividend, the sign the dividend's.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "interp/integer_moves.h"

namespace {

TEST(IntegerMoves, RemaindersByReciprocalsAreRemainders)
{
    std::vector<uint32_t> divisors;
    for (uint32_t d = 2; d <= 1100; ++d) divisors.push_back(d);
    for (int s = 11; s <= 31; ++s)   // powers of two and their neighbours
        for (int64_t off = -1; off <= 1; ++off)
            if (const int64_t d = (int64_t{1} << s) + off; d <= INT32_MAX) divisors.push_back(static_cast<uint32_t>(d));
    for (const uint32_t d : {1000003u, 65521u, 99991u, 1000000007u, 715827883u, 1431655765u})
        divisors.push_back(d);

    const int64_t edges[] = {INT32_MIN, INT32_MIN + 1, -1000000007, -1, 0, 1, 1000000007, INT32_MAX - 1, INT32_MAX};
    for (const uint32_t d : divisors) {
        const Reciprocal r = reciprocalOf(d);
        const auto expect = [&](int64_t a) {
            if (a < INT32_MIN || a > INT32_MAX) return;
            ASSERT_EQ(remainderBy(static_cast<int32_t>(a), d, r), a % d) << a << " % " << d;
        };
        for (const int64_t a : edges) expect(a);
        // Around the multiples where the quotient steps, both signs.
        for (int64_t k = -3; k <= 3; ++k)
            for (int64_t off = -1; off <= 1; ++off) expect(k * d + off);
        const int64_t ends[] = {INT32_MAX / int64_t{d}, INT32_MIN / int64_t{d}};   // the largest quotients
        for (const int64_t k : ends)
            for (int64_t off = -1; off <= 1; ++off) expect(k * d + off);
    }
}

}  // namespace
