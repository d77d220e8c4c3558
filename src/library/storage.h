// What the file and system statements need to know about a variable's
// storage: how many bytes a reference covers, the stream of a file
// variable, and the block and sizes of a MEMORY variable.
//
// Images are input, so every transfer between a variable and the outside
// (files, resources) is bounded by these sizes, never by a count alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "interp/values.h"

namespace storage {

// Bytes from the variable's selected element to the end of its storage:
// the whole variable when nothing is selected, the rest of an array from a
// selected element on, so a transfer never runs past the allocation.
size_t storageBytes(const Variable* v);

// The C stream a FILE or BFILE variable holds, null while closed.
FILE* fileStream(const Variable* v);
void setFileStream(Variable* v, FILE* stream);

// A MEMORY variable's block, null for none.
char* memoryBlock(const Variable* v);

// The bytes a MEMORY variable's block holds for a transfer: the size the
// engine allocated it with, else the variable's recorded size (library/
// memory.h keeps both); 0 without a block.
size_t memoryBytes(const Variable* v);

}  // namespace storage
