// Scratch space for the string values that an expression evaluation holds
// while it runs: literals, string variables, function results and
// concatenations, each up to the 65,536 bytes of SYSTEM_STRING0.
//
// Evaluations nest strictly (a function called inside an expression
// evaluates its own arguments, and returns before its caller goes on), so
// the space is a stack: an evaluation takes a mark on entry and gives back
// everything above it on exit. Blocks are kept once allocated and never
// move, so a pointer stays valid while nested evaluations push above it,
// and a steady run allocates nothing.
#pragma once

#include <cstddef>
#include <vector>

class ScratchStack {
public:
    struct Mark {
        size_t block;
        size_t used;
    };

    ScratchStack() = default;
    ScratchStack(const ScratchStack&) = delete;
    ScratchStack& operator=(const ScratchStack&) = delete;
    ~ScratchStack();

    // n bytes above the current top; null when memory runs out or the
    // whole stack would exceed its limit.
    char* push(size_t n);
    Mark mark() const { return {current, blocks.empty() ? 0 : blocks[current].used}; }
    void release(Mark m);

    static constexpr size_t BlockSize = 256 * 1024;
    static constexpr size_t MaxBlocks = 256;   // 64 MB in all

private:
    struct Block {
        char* data;
        size_t used;
    };
    std::vector<Block> blocks;
    size_t current = 0;
};
