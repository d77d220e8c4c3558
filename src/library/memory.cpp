// Memory blocks: allocating, resizing and freeing the block of a MEMORY
// variable, and copying values and whole records between variables and
// numbered slots of a block.
//
// Every slot access is checked against what the block really holds (see
// memory.h): a slot that does not fit is error 7, for records too. A block
// the engine did not allocate holds nothing a program may reach, and it is
// never resized or freed.
#include "ostrin.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "library/memory.h"

namespace {

// Engine-allocated blocks and their sizes. Heap addresses are unique among
// live blocks, so one registry serves every interpreter in the process.
std::unordered_map<const char*, uint32_t>& registry()
{
    static std::unordered_map<const char*, uint32_t> blocks;
    return blocks;
}

bool enter(char* block, uint32_t size)
{
    try {
        registry()[block] = size;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The element of the MEMORY argument: where the block address is kept.
inline char** blockSlot(const ArgValue& mem) { return reinterpret_cast<char**>(mem.dataPtr); }

// Types whose element owns an object that releasing the variable destroys:
// raw bytes from a block must never land there.
bool ownsObject(uint8_t type)
{
    return type == TypeFile || type == TypeBFile || type == TypeWindow || type == TypeDialog;
}

// Bytes of a plain variable's storage from its selected element on: all of
// its elements, but never past the end of its allocation when an index has
// moved `data` into the middle of it.
uint32_t storageBytes(const Variable* v)
{
    uint64_t bytes = static_cast<uint64_t>(v->count) * static_cast<uint32_t>(typeSize(v->type));
    if (v->indexed && v->base && v->data >= v->base) {
        const uint64_t skipped = static_cast<uint64_t>(v->data - v->base);
        bytes = skipped < bytes ? bytes - skipped : 0;
    }
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

// Copies one slot between a block and a variable (either direction).
// Arguments: MEMORY value, slot number, variable name, optional offset.
Statement* copySlot(Ostrin& o, Statement* st, bool intoVariable)
{
    if (st->argCount != 3 && st->argCount != 4) return o.fail(ErrArgCount);

    ArgValue mem;
    if (!o.evalArg(st, 0, TypeMemory, mem)) return nullptr;
    char* block = blockSlot(mem) ? *blockSlot(mem) : nullptr;
    if (!block) return st;                      // no block: nothing happens

    ArgValue slot;
    if (!o.evalArg(st, 1, KindNumber, slot)) return nullptr;
    if (slot.int64Value < 1) return o.fail(ErrRange);
    // The offset is read before the lookup: evaluating it could select
    // another element of the very variable being copied.
    int64_t offset = 0;
    if (st->argCount == 4) {
        ArgValue off;
        if (!o.evalArg(st, 3, KindNumber, off)) return nullptr;
        offset = off.int64Value;
    }

    Variable* v = o.findVariable(st->args[2], nullptr, false);
    if (!v) {
        o.failOnce(ErrUndefined);
        return nullptr;
    }
    char* data = v->data;
    if (!data) return o.fail(ErrType);

    Variable* record = nullptr;
    uint32_t size;
    if (v->type == TypeUser) {
        record = *reinterpret_cast<Variable**>(data);
        size = o.recordSize(record);
    } else {
        if (intoVariable && ownsObject(v->type)) return o.fail(ErrType);
        size = storageBytes(v);
    }

    // "Fits": size × (N − 1) + offset + size ≤ the bytes the block holds.
    const uint32_t limit = usableMemorySize(mem.variable, block);
    const int64_t n = slot.int64Value - 1;
    if (size > 0 && n > static_cast<int64_t>(limit / size)) return o.fail(ErrRange);
    if (offset < -static_cast<int64_t>(0xFFFFFFFFu) || offset > static_cast<int64_t>(limit)) return o.fail(ErrRange);
    const int64_t start = static_cast<int64_t>(size) * n + offset;
    if (start < 0 || start + size > static_cast<int64_t>(limit)) return o.fail(ErrRange);

    char* at = block + start;
    if (record) {
        if (intoVariable) o.unpackRecord(record, at);
        else o.packRecord(record, at);
    } else if (intoVariable) {
        std::memmove(data, at, size);
        // The variable now holds an address from raw bytes, whose size the
        // engine cannot know.
        if (v->type == TypeMemory) setRecordedSize(v, 0);
    } else {
        std::memmove(at, data, size);
    }
    return st;
}

}  // namespace

char* allocateMemoryBlock(uint32_t size)
{
    if (size == 0) return nullptr;
    char* block = static_cast<char*>(std::calloc(size, 1));
    if (!block) return nullptr;
    if (!enter(block, size)) {
        std::free(block);
        return nullptr;
    }
    return block;
}

char* resizeMemoryBlock(char* block, uint32_t size)
{
    auto it = registry().find(block);
    if (it == registry().end()) return nullptr;
    const uint32_t old = it->second;
    registry().erase(it);
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    char* grown = static_cast<char*>(std::realloc(block, size));
    if (!grown) {
        std::free(block);
        return nullptr;
    }
    if (size > old) std::memset(grown + old, 0, size - old);
    if (!enter(grown, size)) {
        std::free(grown);
        return nullptr;
    }
    return grown;
}

bool freeMemoryBlock(char* block)
{
    auto it = registry().find(block);
    if (it == registry().end()) return false;
    registry().erase(it);
    std::free(block);
    return true;
}

uint32_t memoryBlockSize(const char* block)
{
    if (!block) return 0;
    auto it = registry().find(block);
    return it == registry().end() ? 0 : it->second;
}

uint32_t usableMemorySize(const Variable*, const char* block)
{
    return memoryBlockSize(block);
}

// Allocates or resizes the variable's block to count × element size bytes.
// The result is the size, or -1 when the variable holds no block afterwards.
Statement* Ostrin::allocateMemory(Statement* st)
{
    if (st->argCount != 3) return fail(ErrArgCount);

    ArgValue mem, count, size;
    if (!evalArg(st, 0, TypeMemory, mem) || !evalArg(st, 1, KindNumber, count) ||
        !evalArg(st, 2, KindNumber, size))
        return nullptr;
    if (!mem.variable || !blockSlot(mem)) return fail(ErrType);

    // A negative, zero or oversized product is a failed allocation.
    const int64_t c = count.int64Value, e = size.int64Value;
    const bool valid = c > 0 && e > 0 && c <= 0x7FFFFFFF && e <= 0x7FFFFFFF && c * e <= 0x7FFFFFFF;
    const uint32_t bytes = valid ? static_cast<uint32_t>(c * e) : 0;

    char* block = *blockSlot(mem);
    if (memoryBlockSize(block)) {
        if (valid) {
            block = resizeMemoryBlock(block, bytes);
        } else {
            freeMemoryBlock(block);
            block = nullptr;
        }
    } else {
        // Not a block of ours (none, or an address the program stored):
        // it is left alone and a fresh one is made.
        block = valid ? allocateMemoryBlock(bytes) : nullptr;
    }

    *blockSlot(mem) = block;
    setRecordedSize(mem.variable, block ? bytes : 0);
    return setIntResult(st, block ? static_cast<int32_t>(bytes) : -1);
}

// Frees the variable's block and clears it. An address the engine did not
// allocate is only cleared: freeing it would corrupt the heap.
Statement* Ostrin::freeMemory(Statement* st)
{
    if (st->argCount != 1) return fail(ErrArgCount);

    ArgValue mem;
    if (!evalArg(st, 0, TypeMemory, mem)) return nullptr;
    if (!mem.variable || !blockSlot(mem)) return fail(ErrType);

    if (char* block = *blockSlot(mem)) {
        freeMemoryBlock(block);
        *blockSlot(mem) = nullptr;
        setRecordedSize(mem.variable, 0);
    }
    return st;
}

Statement* Ostrin::memoryToVariable(Statement* st) { return copySlot(*this, st, true); }

Statement* Ostrin::variableToMemory(Statement* st) { return copySlot(*this, st, false); }
