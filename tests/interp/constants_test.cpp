// The built-in constant table, read the way programs read it: through tokens
// in expressions. The expected values come from the image tools' own table,
// written separately, so a slip in either transcription shows here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "image/names.h"
#include "support/harness.h"

namespace {

TEST(Constants, EveryTokenReadsItsEntryUnsigned)
{
    auto o = prepareImage("");
    for (int i = 0; i < Ostrin::ConstantCount; ++i) {
        std::string token = "\xFE";
        token += static_cast<char>((i >> 4) < 30 ? 0xE0 + (i >> 4) : 0xC0 + (i >> 4));
        token += static_cast<char>(0xE0 + (i & 15));
        o->errorCode = 0;
        const double got = o->evaluate(token.c_str());
        EXPECT_EQ(0, o->errorCode) << "index " << i;
        EXPECT_EQ(static_cast<double>(static_cast<uint32_t>(image::constantValue(i))), got) << "index " << i;
    }
}

TEST(Constants, EventSlotsStartEmpty)
{
    auto o = prepareImage("");
    for (int slot : {0, 1, 2, 3, 4, 47, 55, 63, 72}) EXPECT_EQ(0, o->constants[slot]) << slot;
}

}  // namespace
