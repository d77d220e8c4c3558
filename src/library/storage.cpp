// Sizes and handles behind file, memory and string variables.
#include "library/storage.h"

#include <cstring>

#include "library/memory.h"

namespace storage {

size_t storageBytes(const Variable* v)
{
    if (!v->data) return 0;
    if (v->type == TypeString && v->width <= 1) {
        // A single string: its capacity is what is visible from data on.
        return v->capacity > 0 ? static_cast<size_t>(v->capacity) : 0;
    }
    const size_t total = static_cast<size_t>(v->count) * static_cast<size_t>(typeSize(v->type));
    if (!v->indexed || !v->base) return total;
    const size_t offset = static_cast<size_t>(v->data - v->base);
    return offset < total ? total - offset : 0;
}

FILE* fileStream(const Variable* v)
{
    if (!v || !v->data) return nullptr;
    FILE* stream = nullptr;
    std::memcpy(&stream, v->data, sizeof stream);
    return stream;
}

void setFileStream(Variable* v, FILE* stream)
{
    if (v->data)
        std::memcpy(v->data, &stream, sizeof stream);
}

char* memoryBlock(const Variable* v)
{
    char* block = nullptr;
    if (v->data) std::memcpy(&block, v->data, sizeof block);
    return block;
}

size_t memoryBytes(const Variable* v)
{
    return usableMemorySize(v, memoryBlock(v));
}

}  // namespace storage
