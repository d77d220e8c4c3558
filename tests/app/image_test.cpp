// The engine's unscrambling is the inverse of the tools' scrambling.
#include <gtest/gtest.h>

#include <string>

#include "app/image.h"
#include "image/scramble.h"

namespace {

const uint8_t key[16] = {0x5A, 0x13, 0xC7, 0x2E, 0x91, 0x4B, 0xF0, 0x68,
                         0x0D, 0xB5, 0x7C, 0x22, 0xE9, 0x36, 0xA4, 0x8F};

TEST(Image, UnscramblesWhatTheToolsScramble)
{
    std::string all;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string bytes = all;
    image::scramble(bytes);
    EXPECT_NE(all, bytes);
    unscrambleImage(bytes.data(), bytes.size(), key);
    EXPECT_EQ(all, bytes);
}

TEST(Image, KeyPositionFollowsTheByteIndex)
{
    // The same byte at positions 0 and 16 scrambles alike, at 0 and 1 not.
    std::string bytes(17, 'A');
    image::scramble(bytes);
    EXPECT_EQ(bytes[0], bytes[16]);
    EXPECT_NE(bytes[0], bytes[1]);
    unscrambleImage(bytes.data(), bytes.size(), key);
    EXPECT_EQ(std::string(17, 'A'), bytes);
}

}  // namespace
