// Scrambling and unscrambling of program images.
#include "scramble.h"

namespace image {

const uint8_t scrambleKey[ScrambleKeySize] = {
    0x5A, 0x13, 0xC7, 0x2E, 0x91, 0x4B, 0xF0, 0x68,
    0x0D, 0xB5, 0x7C, 0x22, 0xE9, 0x36, 0xA4, 0x8F,
};

namespace {

// Exchanges bits 3 (0x08) and 4 (0x10); its own inverse.
uint8_t swapBits34(uint8_t b)
{
    const uint8_t low = (b >> 3) & 1, high = (b >> 4) & 1;
    if (low == high) return b;
    return b ^ 0x18;
}

}  // namespace

void scramble(std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = static_cast<uint8_t>(bytes[i]);
        b ^= scrambleKey[i % ScrambleKeySize];
        b = static_cast<uint8_t>(~b);
        bytes[i] = static_cast<char>(swapBits34(b));
    }
}

void unscramble(std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = swapBits34(static_cast<uint8_t>(bytes[i]));
        b = static_cast<uint8_t>(~b);
        bytes[i] = static_cast<char>(b ^ scrambleKey[i % ScrambleKeySize]);
    }
}

}  // namespace image
