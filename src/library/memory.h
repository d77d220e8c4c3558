// Memory blocks of MEMORY variables.
//
// A MEMORY variable's element holds a block address; the variable keeps the
// block's recorded size in its returnType field (the field a record variable
// uses for its packing). A program may store any address in the variable,
// and one variable may be an array of blocks, so the blocks the engine
// allocates are registered with their exact size and their owner: the
// element (slot) of the variable that allocated them. Only a block's owner
// resizes it, releasing the owner frees it, and an address merely held
// (copied from another variable, returned by a DLL) is never freed.
// Statements of other subsystems that create blocks (resources) allocate
// them here so that programs can use them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "values.h"

inline uint32_t recordedSize(const Variable* v) { return static_cast<uint32_t>(v->returnType); }
inline void setRecordedSize(Variable* v, uint32_t size) { v->returnType = static_cast<int32_t>(size); }

// A zero-filled block of `size` bytes (size > 0), registered as owned by
// the slot `owner`; null when memory runs out. One zero byte more than the
// size follows the block and is never reached by a transfer, so a block
// used as a text still ends.
char* allocateMemoryBlock(uint32_t size, char** owner);
// Resizes a registered block, keeping its contents up to the smaller size
// and zero-filling any growth. On failure the block is freed and null is
// returned, so a variable never keeps a block of an unknown size.
char* resizeMemoryBlock(char* block, uint32_t size);
// Frees a registered block; false (and nothing freed) for any other address.
bool freeMemoryBlock(char* block);
// The size of a registered block, 0 for any other address.
uint32_t memoryBlockSize(const char* block);
// True when `block` is registered as owned by the slot.
bool ownsMemoryBlock(char* const* slot, const char* block);
// Frees every block owned by one of the `count` slots from `first` on,
// whatever those slots hold now: called when a variable is released.
void releaseMemoryBlocks(char* const* first, size_t count);

// The bytes a program may reach through `block`, the block held by the
// MEMORY variable v: the registered size of a block the engine allocated,
// 0 for anything else. The recorded size is not trusted here: assigning an
// address keeps it, so it may describe a block the variable no longer holds.
uint32_t usableMemorySize(const Variable* v, const char* block);
