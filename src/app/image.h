// The program image as the engine receives it: scrambled bytes in the
// executable's RT_RCDATA resource "A6F2D1FB".
#pragma once

#include <cstddef>
#include <cstdint>

// Undoes the compiler's scrambling in place: per byte, swap bits 3 and 4,
// invert, XOR with key[i mod 16].
void unscrambleImage(char* data, size_t size, const uint8_t key[16]);

// Finds the image resource of the running module and returns an unscrambled,
// zero-terminated heap copy (free with std::free), or null when it is
// missing or cannot be loaded.
char* loadProgramImage(const uint8_t key[16]);
