// Locating and unscrambling the program image.
#include "image.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

void unscrambleImage(char* data, size_t size, const uint8_t key[16])
{
    for (size_t i = 0; i < size; ++i) {
        auto b = static_cast<uint8_t>(data[i]);
        const uint8_t b3 = (b >> 3) & 1, b4 = (b >> 4) & 1;
        b = static_cast<uint8_t>((b & ~0x18) | (b3 << 4) | (b4 << 3));
        b = static_cast<uint8_t>(~b);
        data[i] = static_cast<char>(b ^ key[i % 16]);
    }
}

char* loadProgramImage(const uint8_t key[16])
{
    HRSRC res = FindResourceA(nullptr, "A6F2D1FB", MAKEINTRESOURCEA(10));   // RT_RCDATA
    if (!res) return nullptr;
    const DWORD size = SizeofResource(nullptr, res);
    HGLOBAL handle = LoadResource(nullptr, res);
    const void* bytes = handle ? LockResource(handle) : nullptr;
    if (!bytes) return nullptr;
    // One byte more than the resource: an image that lacks its final zero
    // still ends inside the block.
    char* block = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!block) return nullptr;
    std::memcpy(block, bytes, size);
    unscrambleImage(block, size, key);
    block[size] = 0;
    return block;
}
