// Memory blocks: allocating, resizing and freeing the block of a MEMORY
// variable, and copying values and whole records between variables and
// numbered slots of a block.
//
// A slot access is bounded as the variable's recorded size and the block's
// allocated size say (plain values read only within a recorded size;
// records read from an address without one, such as a structure a DLL
// handed over, without a bound). On top of that an access through an
// address inside an engine block stays inside that block, and one through
// any other address touches no engine block and reaches only memory the
// process may read (or write): anything else is error 7, never a crash. A
// block the engine did not allocate is never resized or freed.
#include "ostrin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

#include "library/memory.h"
#include "platform.h"

namespace {

// Engine-allocated blocks by address (ordered, so the block holding any
// address can be found) with their sizes and owner slots, and the blocks
// by owner slot. Heap addresses are unique among live blocks and slots
// among live variables, so one registry serves every interpreter in the
// process.
struct Block {
    uint32_t size;
    char* const* owner;
};
struct Registry {
    std::map<const char*, Block> blocks;
    std::multimap<char* const*, char*> owners;
};

Registry& registry()
{
    static Registry r;
    return r;
}

bool enter(char* block, uint32_t size, char* const* owner)
{
    Registry& r = registry();
    try {
        r.blocks[block] = Block{size, owner};
    } catch (const std::bad_alloc&) {
        return false;
    }
    try {
        r.owners.emplace(owner, block);
    } catch (const std::bad_alloc&) {
        r.blocks.erase(block);
        return false;
    }
    return true;
}

// Removes a registered block from both indexes (it is not freed here).
void forget(std::map<const char*, Block>::iterator it)
{
    Registry& r = registry();
    auto [first, last] = r.owners.equal_range(it->second.owner);
    for (auto o = first; o != last; ++o)
        if (o->second == it->first) {
            r.owners.erase(o);
            break;
        }
    r.blocks.erase(it);
}

inline uint64_t addressOf(const char* p) { return reinterpret_cast<uintptr_t>(p); }
inline const char* pointerAt(uint64_t a) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(a)); }

// True when a transfer through the address `base` may touch [at, at +
// size): when base lies in an engine block, inside that block; otherwise
// touching no engine block, in memory that may be read (or written).
bool reachable(const char* base, uint64_t at, uint32_t size, bool write)
{
    if (size == 0) return true;
    if (at + size > 0x100000000ull) return false;
    const auto& blocks = registry().blocks;
    auto holder = blocks.upper_bound(base);
    if (holder != blocks.begin()) {
        --holder;
        const uint64_t begin = addressOf(holder->first), end = begin + holder->second.size;
        if (addressOf(base) < end || addressOf(base) == begin) return at >= begin && at + size <= end;
    }
    auto next = blocks.upper_bound(pointerAt(at));
    if (next != blocks.begin()) {
        auto before = std::prev(next);
        if (at < addressOf(before->first) + before->second.size) return false;
    }
    if (next != blocks.end() && addressOf(next->first) < at + size) return false;
    return platformAccessible(at, size, write);
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

    // The slot starts size × (N − 1) + offset bytes from the block. Nothing
    // in a 32-bit address space lies 2^33 bytes away.
    constexpr int64_t Far = int64_t{1} << 33;
    const int64_t n = slot.int64Value - 1;
    if (offset < -Far || offset > Far || (size > 0 && n > Far / size)) return o.fail(ErrRange);
    const int64_t start = static_cast<int64_t>(size) * n + offset;
    const int64_t at = static_cast<int64_t>(addressOf(block)) + start;
    if (at < 0) return o.fail(ErrRange);

    // Reads "fit" the recorded size: size × (N − 1) + offset + size ≤ it.
    // A plain value needs one (0 never fits); a record is bounded only by
    // a recorded size there is. Writes are bounded by the block itself.
    if (intoVariable && (!record || recordedSize(mem.variable))) {
        if (start < 0 || start + size > static_cast<int64_t>(recordedSize(mem.variable))) return o.fail(ErrRange);
    }
    if (!reachable(block, static_cast<uint64_t>(at), size, !intoVariable)) return o.fail(ErrRange);

    char* where = block + start;
    if (record) {
        if (intoVariable) o.unpackRecord(record, where);
        else o.packRecord(record, where);
    } else if (intoVariable) {
        std::memmove(data, where, size);
        // The variable now holds an address from raw bytes, whose size the
        // engine cannot know.
        if (v->type == TypeMemory) setRecordedSize(v, 0);
    } else {
        std::memmove(where, data, size);
    }
    return st;
}

}  // namespace

char* allocateMemoryBlock(uint32_t size, char** owner)
{
    char* block = static_cast<char*>(std::calloc(static_cast<size_t>(size) + 1, 1));
    if (!block) return nullptr;
    if (!enter(block, size, owner)) {
        std::free(block);
        return nullptr;
    }
    return block;
}

char* resizeMemoryBlock(char* block, uint32_t size)
{
    auto it = registry().blocks.find(block);
    if (it == registry().blocks.end()) return nullptr;
    const uint32_t old = it->second.size;
    char* const* owner = it->second.owner;
    forget(it);
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    char* grown = static_cast<char*>(std::realloc(block, static_cast<size_t>(size) + 1));
    if (!grown) {
        std::free(block);
        return nullptr;
    }
    // Growth and the zero byte after the block start out zero.
    if (size >= old) std::memset(grown + old, 0, static_cast<size_t>(size) + 1 - old);
    else grown[size] = 0;
    if (!enter(grown, size, owner)) {
        std::free(grown);
        return nullptr;
    }
    return grown;
}

bool freeMemoryBlock(char* block)
{
    auto it = registry().blocks.find(block);
    if (it == registry().blocks.end()) return false;
    forget(it);
    std::free(block);
    return true;
}

uint32_t memoryBlockSize(const char* block)
{
    if (!block) return 0;
    auto it = registry().blocks.find(block);
    return it == registry().blocks.end() ? 0 : it->second.size;
}

bool ownsMemoryBlock(char* const* slot, const char* block)
{
    if (!block) return false;
    auto it = registry().blocks.find(block);
    return it != registry().blocks.end() && it->second.owner == slot;
}

void releaseMemoryBlocks(char* const* first, size_t count)
{
    Registry& r = registry();
    if (r.owners.empty()) return;
    for (auto o = r.owners.lower_bound(first); o != r.owners.end() && o->first < first + count;) {
        char* block = o->second;
        r.blocks.erase(block);
        o = r.owners.erase(o);
        std::free(block);
    }
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

    char** slot = blockSlot(mem);
    char* held = *slot;
    char* block;
    if (ownsMemoryBlock(slot, held)) {
        if (valid) {
            block = resizeMemoryBlock(held, bytes);
        } else {
            freeMemoryBlock(held);
            block = nullptr;
        }
    } else {
        // Not a block this variable allocated (none, an address the program
        // stored, another variable's block): that is left alone and a fresh
        // block made, which keeps an engine block's contents as resizing
        // would.
        block = valid ? allocateMemoryBlock(bytes, slot) : nullptr;
        if (block) {
            if (const uint32_t old = memoryBlockSize(held)) std::memcpy(block, held, std::min(old, bytes));
        }
    }

    *slot = block;
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
