// The byte scrambling that hides a program image inside an executable.
//
// Byte i of the image is XORed with key[i mod 16], inverted and has bits 3
// and 4 swapped; the engine undoes the three steps in the reverse order.
// The key is shared with the engine, which builds its own copy at run time.
#pragma once

#include <cstdint>
#include <string>

namespace image {

constexpr int ScrambleKeySize = 16;
extern const uint8_t scrambleKey[ScrambleKeySize];

// Scrambles the bytes in place, counting positions from 0 (the binder's side).
void scramble(std::string& bytes);

// Restores scrambled bytes in place (the engine's side).
void unscramble(std::string& bytes);

}  // namespace image
