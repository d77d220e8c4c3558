// The scratch stack of expression evaluations (see scratch.h).
#include "scratch.h"

#include <cstdlib>
#include <new>

ScratchStack::~ScratchStack()
{
    for (Block& b : blocks) std::free(b.data);
}

char* ScratchStack::push(size_t n)
{
    if (n > BlockSize) return nullptr;
    if (blocks.empty()) {
        char* data = static_cast<char*>(std::malloc(BlockSize));
        if (!data) return nullptr;
        blocks.push_back({data, 0});
        current = 0;
    }
    // Values never straddle blocks: move to the next one (reusing it when
    // an earlier evaluation already made it) once the current one is full.
    while (BlockSize - blocks[current].used < n) {
        if (current + 1 == blocks.size()) {
            if (blocks.size() >= MaxBlocks) return nullptr;
            char* data = static_cast<char*>(std::malloc(BlockSize));
            if (!data) return nullptr;
            try {
                blocks.push_back({data, 0});
            } catch (const std::bad_alloc&) {
                std::free(data);
                return nullptr;
            }
        }
        ++current;
        blocks[current].used = 0;
    }
    char* p = blocks[current].data + blocks[current].used;
    // Keep every value 8-byte aligned; nothing else needs more.
    blocks[current].used += (n + 7) & ~static_cast<size_t>(7);
    if (blocks[current].used > BlockSize) blocks[current].used = BlockSize;
    return p;
}

void ScratchStack::release(Mark m)
{
    if (blocks.empty()) return;
    current = m.block;
    blocks[current].used = m.used;
}
