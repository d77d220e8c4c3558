// Memory blocks: allocation and resizing, slots of values and records in
// both directions, and the bounds that keep every copy inside its block.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/memory.h"
#include "support/harness.h"

namespace {

std::unique_ptr<TestOstrin> runLines(const std::vector<std::string>& lines, RunResult& r)
{
    auto o = prepareProgram(joinLines(lines));
    if (o) r = runPrepared(*o);
    return o;
}


char* blockOf(Ostrin& o, const char* name)
{
    Variable* v = var(o, name);
    char* block = nullptr;
    if (v && v->data) std::memcpy(&block, v->data, sizeof block);
    return block;
}

bool allZero(const char* p, size_t n) { return std::all_of(p, p + n, [](char c) { return c == 0; }); }

const std::vector<std::string> pairType = {
    "record_type Pair",
    "declare_variables c: CHAR",
    "declare_variables i: INT",
    "end_record_type",
    "declare_variables p, q: Pair",
};

TEST(MemoryBlocks, AllocateResizeAndFree)
{
    RunResult r;
    auto o = runLines({
        "declare_variables m, gone: MEMORY",
        "declare_variables k, first, second, size, fails: INT",
        "first = allocate_memory(m, 10, 4)",
        "k = 123456",
        "variable_to_memory m, 10, k",             // bytes 36-39
        "second = allocate_memory(m, 20, 4)",      // keeps the first 40 bytes
        "size = size_of(m)",
        "allocate_memory gone, 4, 1",
        "free_memory gone",
        "free_memory gone",                        // a second free changes nothing
        "memory_to_variable gone, 1, k",           // no block: nothing happens
    }, r);
    ASSERT_TRUE(o);
    ASSERT_EQ(0, r.error);
    EXPECT_EQ(40, intVar(*o, "first"));
    EXPECT_EQ(80, intVar(*o, "second"));
    EXPECT_EQ(80, intVar(*o, "size"));
    const char* block = blockOf(*o, "m");
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(80u, recordedSize(var(*o, "m")));
    EXPECT_TRUE(allZero(block, 36));
    EXPECT_EQ(0, std::memcmp(block + 36, "\x40\xE2\x01\x00", 4));
    EXPECT_TRUE(allZero(block + 40, 40)) << "growth is zero-filled";
    EXPECT_EQ(nullptr, blockOf(*o, "gone"));
    EXPECT_EQ(0u, recordedSize(var(*o, "gone")));
    EXPECT_EQ(123456, intVar(*o, "k"));
}

TEST(MemoryBlocks, FailedAllocationsAnswerMinusOneAndHoldNoBlock)
{
    for (const char* args : {"0, 4", "-1, 4", "4, -1", "100000, 100000", "2000000000, 1"}) {
        RunResult r;
        auto o = runLines({
            "declare_variables m: MEMORY",
            "declare_variables res: INT",
            "allocate_memory m, 8, 1",
            std::string("res = allocate_memory(m, ") + args + ")",
        }, r);
        ASSERT_TRUE(o) << args;
        EXPECT_EQ(0, r.error) << args;
        EXPECT_EQ(-1, intVar(*o, "res")) << args;
        EXPECT_EQ(nullptr, blockOf(*o, "m")) << args;
        EXPECT_EQ(0u, recordedSize(var(*o, "m"))) << args;
    }
}

TEST(MemoryBlocks, ValueSlotsRoundTrip)
{
    RunResult r;
    auto o = runLines({
        "declare_variables m: MEMORY",
        "declare_variables k, back, shifted: INT",
        "declare_variables d, dback: DOUBLE",
        "declare_variables s, sback: STRING",
        "declare_variables a[4], aback[3]: INT",
        "allocate_memory m, 1, 1000",
        "k = -5",
        "d = 2.25",
        R"(s = "hello")",
        "a = 1, 2, 3, 4",
        "variable_to_memory m, 3, k",              // bytes 8-11
        "variable_to_memory m, 2, d",              // bytes 8-15: over k
        "variable_to_memory m, 1, k, 100",         // bytes 100-103
        "variable_to_memory m, 2, s",              // bytes 255-509
        "variable_to_memory m, 50, a, 200",        // 16-byte slots: bytes 984-999
        "memory_to_variable m, 2, dback",
        "memory_to_variable m, 26, back",          // bytes 100-103 again
        "memory_to_variable m, 2, sback",
        "memory_to_variable m, 1, shifted, 101",   // unaligned: FF FF FF 00
        "a = 9, 9, 9, 9",
        // From a selected element on, the slot is the rest of the array.
        "memory_to_variable m, 124, a[2], 8",      // 8-byte slots: bytes 992-999
    }, r);
    ASSERT_TRUE(o);
    ASSERT_EQ(0, r.error);
    EXPECT_DOUBLE_EQ(2.25, doubleVar(*o, "dback"));
    EXPECT_EQ(-5, intVar(*o, "back"));
    EXPECT_EQ("hello", stringVar(*o, "sback"));
    EXPECT_EQ(0x00FFFFFF, intVar(*o, "shifted"));
    const int32_t want[4] = {9, 9, 3, 4};
    EXPECT_EQ(0, std::memcmp(var(*o, "a")->base, want, sizeof want));
}

TEST(MemoryBlocks, SlotsOutsideTheBlockAreErrorSeven)
{
    struct Case { const char* line; int error; };
    const Case cases[] = {
        {"variable_to_memory m, 10, k", 0},            // the last slot of 40 bytes
        {"variable_to_memory m, 11, k", ErrRange},
        {"memory_to_variable m, 11, k", ErrRange},
        {"variable_to_memory m, 0, k", ErrRange},
        {"memory_to_variable m, -1, k", ErrRange},
        {"variable_to_memory m, 10, k, 1", ErrRange},   // one byte past the end
        {"variable_to_memory m, 1, k, -1", ErrRange},   // before the start
        {"variable_to_memory m, 2, k, -4", 0},
        {"memory_to_variable m, 6, d", ErrRange},       // 8-byte slots
        {"memory_to_variable m, 1, s", ErrRange},       // 255 bytes
        {"variable_to_memory m, 2, a", ErrRange},       // the whole array is one slot
        {"variable_to_memory m, 4294967297, k", ErrRange},
        {"variable_to_memory m, 8, p", 0},              // 5-byte record slots
        {"variable_to_memory m, 9, p", ErrRange},
        {"memory_to_variable m, 8, p, 1", ErrRange},
        {"memory_to_variable m, 1, f", ErrType},        // raw bytes never become a stream
        {"memory_to_variable m, 1, nothing", ErrUndefined},
        {"memory_to_variable m, 1", ErrArgCount},
        {"variable_to_memory m, 1, k, 0, 0", ErrArgCount},
        {"memory_to_variable k, 1, k", ErrType},        // not a MEMORY value
        {"allocate_memory m, 1", ErrArgCount},
        {"free_memory k", ErrType},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = pairType;
        lines.insert(lines.end(), {
            "declare_variables m: MEMORY",
            "declare_variables k: INT",
            "declare_variables d: DOUBLE",
            "declare_variables s: STRING",
            "declare_variables f: FILE",
            "declare_variables a[10]: INT",
            "allocate_memory m, 10, 4",
            c.line,
        });
        RunResult r;
        ASSERT_TRUE(runLines(lines, r)) << c.line;
        EXPECT_EQ(c.error, r.error) << c.line;
    }
}

TEST(MemoryBlocks, RecordsRoundTripWithoutGaps)
{
    std::vector<std::string> lines = pairType;
    lines.insert(lines.end(), {
        "record_type Shape, 4",
        "declare_variables id: INT",
        "declare_variables corner: Pair",
        "declare_variables size: DOUBLE",
        "declare_variables label: STRING",
        "declare_variables marks[3]: WORD",
        "end_record_type",
        "declare_variables src, dst: Shape",
        "declare_variables m, big: MEMORY",
        "allocate_memory m, 4, 5",
        R"(p.c = "A")",
        "p.i = 0x01020304",
        "variable_to_memory m, 2, p",              // bytes 5-9, whatever the packing
        "memory_to_variable m, 2, q",
        "src.id = 77",
        R"(src.corner.c = "Z")",
        "src.corner.i = -9",
        "src.size = 6.5",
        R"(src.label = "a label")",
        "src.marks = 10, 20, 30",
        "allocate_memory big, 3, 1000",
        "variable_to_memory big, 3, src",          // 278-byte slots
        "memory_to_variable big, 3, dst",
    });
    RunResult r;
    auto o = runLines(lines, r);
    ASSERT_TRUE(o);
    ASSERT_EQ(0, r.error);
    const char* block = blockOf(*o, "m");
    ASSERT_NE(nullptr, block);
    EXPECT_TRUE(allZero(block, 5));
    EXPECT_EQ(0, std::memcmp(block + 5, "A\x04\x03\x02\x01", 5));
    EXPECT_EQ('A', intVar(*o, "q.c"));
    EXPECT_EQ(0x01020304, intVar(*o, "q.i"));

    const char* shapes = blockOf(*o, "big");
    ASSERT_NE(nullptr, shapes);
    EXPECT_TRUE(allZero(shapes, 2 * 278));
    EXPECT_EQ(77, shapes[2 * 278]);
    EXPECT_EQ(77, intVar(*o, "dst.id"));
    EXPECT_EQ('Z', intVar(*o, "dst.corner.c"));
    EXPECT_EQ(-9, intVar(*o, "dst.corner.i"));
    EXPECT_DOUBLE_EQ(6.5, doubleVar(*o, "dst.size"));
    EXPECT_EQ("a label", stringVar(*o, "dst.label"));
    EXPECT_EQ(30, intVar(*o, "dst.marks[2]"));
}

// An address a program stores in a MEMORY variable is no block of the
// engine's, whatever size the variable still records: it is never resized
// or freed, and memory that is not there is neither read nor written.
TEST(MemoryBlocks, StoredAddressesAreNeverTouched)
{
    const char* const lines[] = {
        "memory_to_variable m, 1, k",
        "memory_to_variable m, 1, p",            // records are bounded too
        "variable_to_memory m, 1, k",
        "variable_to_memory m, 1, p",
        "free_memory m",
        "res = allocate_memory(m, 2, 4)",
    };
    for (const char* line : lines) {
        for (const char* store : {"m = 4096", "m = n + 0"}) {
            std::vector<std::string> program = pairType;
            program.insert(program.end(), {
                "declare_variables k, n, res: INT",
                "declare_variables m: MEMORY",
                "allocate_memory m, 10, 4",
                "n = 8192",
                store,
                line,
            });
            RunResult r;
            auto o = runLines(program, r);
            ASSERT_TRUE(o) << line;
            const bool copy = std::strstr(line, "_to_") != nullptr;
            EXPECT_EQ(copy ? ErrRange : 0, r.error) << store << "; " << line;
            if (!copy) {
                const char* block = blockOf(*o, "m");
                EXPECT_NE(reinterpret_cast<const char*>(4096), block) << line;
                EXPECT_EQ(block ? 8u : 0u, memoryBlockSize(block)) << line;
            }
        }
    }
}

// Addresses the engine did not allocate (a structure a DLL returns, the
// executable's own header) hold records, which are read without a bound
// and written within the memory there; plain values need a recorded size.
TEST(MemoryBlocks, ForeignAddressesHoldRecords)
{
    enum Check { None, FirstRead, SecondRead, RecordWritten, ValueWritten };
    struct Case { const char* name; const char* line; int error; Check check; };
    const Case cases[] = {
        {"record from read-only memory", "memory_to_variable ro, 1, p", 0, FirstRead},
        {"second record from read-only memory", "memory_to_variable ro, 2, q", 0, SecondRead},
        {"record into read-only memory", "variable_to_memory ro, 1, p", ErrRange, None},
        {"value from an address without recorded size", "memory_to_variable ro, 1, k", ErrRange, None},
        {"record into writable memory", "variable_to_memory rw, 2, p", 0, RecordWritten},
        {"value into writable memory", "variable_to_memory rw, 1, k", 0, ValueWritten},
        {"record from memory that is not there", "memory_to_variable gone, 1, p", ErrRange, None},
        {"record into memory that is not there", "variable_to_memory gone, 1, p", ErrRange, None},
        {"record reaching past the end of the address space", "memory_to_variable top, 1, p", ErrRange, None},
    };
    // The executable's header: mapped read-only.
    const char* header = reinterpret_cast<const char*>(GetModuleHandleA(nullptr));
    int32_t headerInt[2];
    std::memcpy(&headerInt[0], header + 1, 4);
    std::memcpy(&headerInt[1], header + 6, 4);
    for (const Case& c : cases) {
        std::vector<std::string> lines = pairType;
        lines.insert(lines.end(), {
            "declare_function \"kernel32.dll\", GetModuleHandleA(name: INT), INT",
            "declare_function \"kernel32.dll\", GlobalAlloc(flags: INT, bytes: INT), INT",
            "declare_variables ro, rw, gone, top: MEMORY",
            "declare_variables g, k: INT",
            "ro = GetModuleHandleA(0) + 0",
            "g = GlobalAlloc(0x40, 16)",               // fixed and zero-filled
            "rw = g + 0",
            "gone = 4096",
            "top = 0xFFFFFFFE",
            R"(p.c = "Z")",
            "p.i = 0x01020304",
            "k = 0x11223344",
            c.line,
        });
        RunResult r;
        auto o = runLines(lines, r);
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, r.error) << c.name;
        const char* rw = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intVar(*o, "g"))));
        ASSERT_NE(nullptr, rw) << c.name;
        switch (c.check) {
        case FirstRead:
            EXPECT_EQ(header[0], static_cast<char>(intVar(*o, "p.c"))) << c.name;
            EXPECT_EQ(headerInt[0], intVar(*o, "p.i")) << c.name;
            break;
        case SecondRead:
            EXPECT_EQ(header[5], static_cast<char>(intVar(*o, "q.c"))) << c.name;
            EXPECT_EQ(headerInt[1], intVar(*o, "q.i")) << c.name;
            break;
        case RecordWritten:
            EXPECT_TRUE(allZero(rw, 5)) << c.name;
            EXPECT_EQ(0, std::memcmp(rw + 5, "Z\x04\x03\x02\x01", 5)) << c.name;
            break;
        case ValueWritten:
            EXPECT_EQ(0, std::memcmp(rw, "\x44\x33\x22\x11", 4)) << c.name;
            break;
        case None:
            break;
        }
        GlobalFree(reinterpret_cast<HGLOBAL>(const_cast<char*>(rw)));
    }
}

// Recorded sizes: a block allocated by the variable records its size; an
// address assigned from an expression records none, even when it is one of
// the engine's blocks. Records read there stay inside the block.
TEST(MemoryBlocks, AssignedAddressesRecordNoSize)
{
    struct Case { const char* line; int error; };
    const Case cases[] = {
        {"memory_to_variable m, 10, k", 0},
        {"memory_to_variable copy, 1, k", ErrRange},
        {"memory_to_variable copy, 8, p", 0},         // bytes 35-39
        {"memory_to_variable copy, 9, p", ErrRange},   // past the 40-byte block
        {"memory_to_variable inner, 7, p", 0},         // bytes 4 + 30-34
        {"memory_to_variable inner, 8, p", ErrRange},
        {"variable_to_memory copy, 10, k", 0},
        {"variable_to_memory inner, 9, k", 0},
        {"variable_to_memory inner, 10, k", ErrRange},
        {"variable_to_memory inner, 1, k, -4", 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = pairType;
        lines.insert(lines.end(), {
            "declare_variables m, copy, inner: MEMORY",
            "declare_variables k: INT",
            "allocate_memory m, 10, 4",
            "copy = m + 0",
            "inner = m + 4",
            c.line,
        });
        RunResult r;
        ASSERT_TRUE(runLines(lines, r)) << c.line;
        EXPECT_EQ(c.error, r.error) << c.line;
    }
}

// The address of a block a variable holds, read the way a program reads it.
const char* addressVar(Ostrin& o, const char* name)
{
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intVar(o, name))));
}

bool heapsValid()
{
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < n && i < 64; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

// A block goes with the variable that allocated it: a local's at the
// subroutine's return, the others' at the end of the run. Variables that
// merely hold its address (copies, parameters) never free it, and a block
// freed by the program is not freed again.
TEST(MemoryBlocks, BlocksGoWithTheirOwners)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::vector<const char*> freedAtReturn;   // INT variables holding addresses
        std::vector<const char*> keptAtReturn;
    };
    const Case cases[] = {
        {"local block at return",
         {"call sub", "jump finish", "sub:", "declare_variables l: MEMORY", "allocate_memory l, 4, 4",
          "local = l + 0", "return", "finish:"},
         {"local"}, {}},
        {"local array and record member at return",
         {"record_type Buf", "declare_variables b: MEMORY", "end_record_type", "call sub", "jump finish", "sub:",
          "declare_variables l[3]: MEMORY", "declare_variables r: Buf", "allocate_memory l[0], 2, 2",
          "allocate_memory l[2], 3, 3", "allocate_memory r.b, 5, 1", "first = l[0] + 0", "last = l[2] + 0",
          "member = r.b + 0", "return", "finish:"},
         {"first", "last", "member"}, {}},
        {"a local copy of a global block",
         {"declare_variables m: MEMORY", "allocate_memory m, 4, 4", "global = m + 0", "call sub", "jump finish",
          "sub:", "declare_variables l: MEMORY", "l = m + 0", "variable_to_memory l, 1, r", "return", "finish:"},
         {}, {"global"}},
        {"a parameter allocating for its caller",
         {"declare_function fill(p: MEMORY)", "declare_variables m: MEMORY", "fill(m)", "global = m + 0",
          "jump finish", "fill:", "allocate_memory p, 4, 4", "return", "finish:"},
         {}, {"global"}},
        {"a parameter without argument allocating for itself",
         {"declare_function fill(p: MEMORY)", "fill", "jump finish", "fill:", "allocate_memory p, 4, 4",
          "local = p + 0", "return", "finish:"},
         {"local"}, {}},
        {"a local block freed by the program",
         {"call sub", "jump finish", "sub:", "declare_variables l: MEMORY", "allocate_memory l, 4, 4",
          "local = l + 0", "free_memory l", "return", "finish:"},
         {"local"}, {}},
        {"a local block given back through a copy",
         {"declare_variables m: MEMORY", "call sub", "jump finish", "sub:", "declare_variables l: MEMORY",
          "allocate_memory l, 4, 4", "local = l + 0", "m = l + 0", "free_memory m", "return", "finish:"},
         {"local"}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = {"declare_variables local, first, last, member, global, r: INT"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        RunResult r;
        auto o = runLines(lines, r);
        ASSERT_TRUE(o) << c.name;
        ASSERT_EQ(0, r.error) << c.name << ", line " << r.line;
        for (const char* name : c.freedAtReturn) {
            ASSERT_NE(nullptr, addressVar(*o, name)) << c.name << ": " << name;
            EXPECT_EQ(0u, memoryBlockSize(addressVar(*o, name))) << c.name << ": " << name;
        }
        std::vector<const char*> kept;
        for (const char* name : c.keptAtReturn) {
            kept.push_back(addressVar(*o, name));
            EXPECT_NE(0u, memoryBlockSize(kept.back())) << c.name << ": " << name;
        }
        o->release();
        for (const char* block : kept) EXPECT_EQ(0u, memoryBlockSize(block)) << c.name << " after the run";
        EXPECT_TRUE(heapsValid()) << c.name;
    }
}

// At the end of the run every block goes exactly once, whoever holds it.
TEST(MemoryBlocks, EveryBlockGoesOnceAtTheEnd)
{
    RunResult r;
    auto o = runLines({
        "declare_variables m, copy, again, other[2]: MEMORY",
        "declare_variables a, b, c, d: INT",
        "allocate_memory m, 4, 4",
        "copy = m + 0",                      // held twice
        "allocate_memory copy, 8, 4",        // a block of its own, m's untouched
        "allocate_memory again, 1, 1",
        "free_memory again",
        "allocate_memory again, 2, 2",       // may reuse the freed address
        "allocate_memory other[1], 3, 3",
        "other[0] = other[1] + 0",
        "a = m + 0",
        "b = copy + 0",
        "c = again + 0",
        "d = other[1] + 0",
        "k = 7",
    }, r);
    ASSERT_TRUE(o);
    ASSERT_EQ(0, r.error);
    EXPECT_NE(intVar(*o, "a"), intVar(*o, "b")) << "resizing a copy leaves the owner's block alone";
    EXPECT_EQ(16u, memoryBlockSize(addressVar(*o, "a")));
    EXPECT_EQ(32u, memoryBlockSize(addressVar(*o, "b")));
    const char* blocks[] = {addressVar(*o, "a"), addressVar(*o, "b"), addressVar(*o, "c"), addressVar(*o, "d")};
    o->release();
    for (const char* block : blocks) EXPECT_EQ(0u, memoryBlockSize(block));
    EXPECT_TRUE(heapsValid());
}

// A fixed string filled to its last byte has no terminator; texts read
// from it stay within its capacity.
TEST(MemoryBlocks, UnterminatedStringsStayBounded)
{
    RunResult r;
    auto o = runLines({
        "declare_variables m: MEMORY",
        "declare_variables f[4]: ISTRING",
        "declare_variables k, len: INT",
        "declare_variables joined: STRING",
        "allocate_memory m, 1, 5",
        "k = 0x41414141",
        "variable_to_memory m, 1, k",
        "variable_to_memory m, 1, k, 1",          // five letters, no zero byte
        "memory_to_variable m, 1, f",
        "len = size_of(f)",
        R"(joined = concatenate(f, "b"))",
    }, r);
    ASSERT_TRUE(o);
    EXPECT_EQ(0, r.error);
    EXPECT_EQ(5, intVar(*o, "len"));
    EXPECT_EQ("AAAAAb", stringVar(*o, "joined"));
}

}  // namespace
