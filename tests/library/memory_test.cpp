// Memory blocks: allocation and resizing, slots of values and records in
// both directions, and the bounds that keep every copy inside its block.
#include <gtest/gtest.h>

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
// engine's, whatever size the variable still records: it is never read,
// written, resized or freed.
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
