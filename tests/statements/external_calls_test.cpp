// Declaring functions, calling DLL functions with marshalled arguments and
// records, and the call trampoline itself. The DLL functions come from our
// test DLL (tests/support/testdll) and from system DLLs under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "statements/call_thunk.h"
#include "support/harness.h"

namespace {

const char* const TestDll = "\"ostrin_testdll.dll\"";
const char* const TestDllC = "\"!ostrin_testdll.dll\"";


// Replaces every "DLL" with the test DLL's quoted name and "CDLL" with the
// same name marked for the C convention.
std::string withDll(std::string line)
{
    for (size_t at; (at = line.find("CDLL")) != std::string::npos;) line.replace(at, 4, TestDllC);
    for (size_t at; (at = line.find("DLL")) != std::string::npos;) line.replace(at, 3, TestDll);
    return line;
}

std::string program(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines) s += withDll(l) + "\n";
    return s;
}

Ran runKeep(const std::vector<std::string>& lines) { return ::runKeep(program(lines)); }

// --- The trampoline alone --------------------------------------------------

using Fn = const void*;

Fn testFunction(const char* name)
{
    HMODULE dll = LoadLibraryA("ostrin_testdll.dll");
    return dll ? reinterpret_cast<Fn>(GetProcAddress(dll, name)) : nullptr;
}

TEST(CallThunk, BothConventionsKeepTheStackEvenWhenMisdeclared)
{
    Fn weigh = testFunction("Weigh3");     // stdcall: removes 12 bytes
    Fn cweigh = testFunction("CWeigh3");   // cdecl: leaves them
    Fn probe = testFunction("StackProbe");
    ASSERT_TRUE(weigh && cweigh && probe);
    const uint32_t words[3] = {1, 2, 3};
    // StackProbe returns 32 bits; EDX holds whatever the callee left there.
    const auto before = static_cast<uint32_t>(callWithWords(probe, nullptr, 0, nullptr));
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(321u, static_cast<uint32_t>(callWithWords(weigh, words, 3, nullptr)));
        ASSERT_EQ(321u, static_cast<uint32_t>(callWithWords(cweigh, words, 3, nullptr)));
    }
    EXPECT_EQ(before, static_cast<uint32_t>(callWithWords(probe, nullptr, 0, nullptr)));
}

TEST(CallThunk, WordsResultsAndFloatingRegister)
{
    Fn mul = testFunction("MulDouble");
    Fn half = testFunction("HalfFloat");
    Fn wide = testFunction("Wide");
    Fn csum = testFunction("CSum");
    ASSERT_TRUE(mul && half && wide && csum);

    double a = 1.5, b = -4.0, fp = 0;
    uint32_t words[4];
    std::memcpy(words, &a, 8);
    std::memcpy(words + 2, &b, 8);
    callWithWords(mul, words, 4, &fp);
    EXPECT_DOUBLE_EQ(-6.0, fp);

    float x = 5.0f;
    std::memcpy(words, &x, 4);
    callWithWords(half, words, 1, &fp);
    EXPECT_DOUBLE_EQ(2.5, fp);

    const uint32_t hl[2] = {0x12345678, 0x9ABCDEF0};
    EXPECT_EQ(0x123456789ABCDEF0ull, callWithWords(wide, hl, 2, nullptr));

    uint32_t many[MaxCallWords];
    many[0] = MaxCallWords - 1;
    for (int i = 1; i < MaxCallWords; ++i) many[i] = static_cast<uint32_t>(i);
    EXPECT_EQ(static_cast<uint32_t>((MaxCallWords - 1) * MaxCallWords / 2),
              static_cast<uint32_t>(callWithWords(csum, many, MaxCallWords, nullptr)));
}

// --- Declarations ------------------------------------------------------------

TEST(DeclareFunction, ParameterListsAndExternalFields)
{
    Ran ran = runKeep({
        "declare_function \"kernel32.dll\", lstrlen| lstrlenA(text: STRING), INT",
        "declare_function CDLL, CSum(), {op107}",
        "declare_function DLL, Weigh3(a: INT, b: FLOAT, c: DOUBLE, vals[]: INT, r: Rec, p: POINTER, w: WORD)",
        "declare_function helper(n: INT, s: STRING, d: DOUBLE)",
        "label_definition helper",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;

    Variable* len = var(o, "lstrlen");
    ASSERT_NE(nullptr, len);
    EXPECT_EQ(TypeLabel, len->type);
    EXPECT_TRUE(len->external);
    EXPECT_FALSE(len->libraryFlag);
    EXPECT_STREQ("kernel32.dll", len->library);
    EXPECT_STREQ("lstrlenA", len->data);   // the alias is the entry point
    EXPECT_EQ(1, len->width);
    EXPECT_EQ(TypeInt, len->returnType);

    Variable* csum = var(o, "CSum");
    EXPECT_TRUE(csum->libraryFlag);
    EXPECT_STREQ("ostrin_testdll.dll", csum->library);   // without the "!"
    EXPECT_EQ(nullptr, csum->data);
    EXPECT_EQ(0, csum->width);
    EXPECT_EQ(TypeInt, csum->returnType);   // the compiler's token for INT
    ASSERT_NE(nullptr, csum->members);
    EXPECT_EQ(nullptr, csum->members->next);

    // Scalars have storage of their own; strings, arrays, pointers and
    // records borrow the caller's.
    struct Param { const char* name; int type; bool shared; bool storage; };
    const Param params[] = {
        {"a", TypeInt, false, true},     {"b", TypeFloat, false, true},  {"c", TypeDouble, false, true},
        {"vals", TypeInt, true, false},  {"r", TypeUser, false, false},  {"p", TypePointer, true, false},
        {"w", TypeWord, false, true},
    };
    Variable* weigh = var(o, "Weigh3");
    EXPECT_EQ(7, weigh->width);
    EXPECT_EQ(static_cast<int>(NoResult), weigh->returnType);
    Variable* p = weigh->members;
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(p->borrowed);
    for (const Param& want : params) {
        p = p->next;
        ASSERT_NE(nullptr, p) << want.name;
        EXPECT_STREQ(want.name, p->name);
        EXPECT_EQ(want.type, p->type) << want.name;
        EXPECT_EQ(want.shared, p->sharedData != 0) << want.name;
        EXPECT_EQ(want.storage, p->data != nullptr) << want.name;
        EXPECT_TRUE(p->borrowed) << want.name;
    }
    EXPECT_EQ(nullptr, p->next);

    // The local form attaches a list to an existing label and nothing else.
    Variable* helper = var(o, "helper");
    EXPECT_FALSE(helper->external);
    ASSERT_NE(nullptr, helper->members);
    EXPECT_STREQ("n", helper->members->next->name);
    EXPECT_EQ(TypeString, helper->members->next->next->type);
}

TEST(DeclareFunction, Errors)
{
    struct Case { const char* what; std::vector<std::string> lines; int error; int line; };
    const Case cases[] = {
        {"no parentheses", {"declare_function DLL, Weigh3, INT"}, ErrMalformed, 1},
        {"parameter without type", {"declare_function DLL, Weigh3(a), INT"}, ErrMalformed, 1},
        {"declared twice", {"declare_function DLL, Weigh3(), INT", "declare_function DLL, Weigh3(), INT"},
         ErrParamsDeclared, 2},
        {"unknown return type", {"declare_function DLL, Weigh3(), NUMBER"}, ErrTypeName, 1},
        {"library not found", {"declare_function \"no_such_library_xyz.dll\", f(), INT"}, ErrLibrary, 1},
        {"library name not a string", {"declare_function 5, f(), INT"}, ErrType, 1},
        {"local form of an unknown name", {"declare_function nothing(a: INT)"}, ErrUndefined, 1},
        {"local form of a non-label", {"declare_variables n: INT", "declare_function n(a: INT)"}, 0, 0},
        {"no arguments do nothing", {"declare_function"}, 0, 0},
    };
    for (const Case& c : cases) {
        RunResult r = runProgram(program(c.lines));
        EXPECT_EQ(c.error, r.error) << c.what;
        EXPECT_EQ(c.line, r.line) << c.what;
    }
}

// --- Calls ---------------------------------------------------------------------

TEST(ExternalCall, ArgumentWordsAndResults)
{
    Ran ran = runKeep({
        "declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT",
        "declare_function CDLL, CWeigh3(a: INT, b: INT, c: INT), INT",
        "declare_function DLL, MulDouble(a: DOUBLE, b: DOUBLE), DOUBLE",
        "declare_function CDLL, CMulDouble(a: DOUBLE, b: DOUBLE), DOUBLE",
        "declare_function DLL, HalfFloat(x: FLOAT), FLOAT",
        "declare_function DLL, FloatBits(x: FLOAT), UINT",
        "declare_function DLL, DoubleTimes1000(x: DOUBLE), INT",
        "declare_function DLL, StrLenPlus(s: STRING, k: INT), INT",
        "declare_function DLL, TwoLengths(a: STRING, b: STRING), INT",
        "declare_function DLL, Greeting(which: INT), STRING",
        "declare_function DLL, Wide(h: INT, l: INT), INT64",
        "declare_function DLL, charOf| DirtyLow(c: INT), CHAR",
        "declare_function DLL, wordOf| DirtyLow(c: INT), WORD",
        "declare_function DLL, Deref(p: POINTER), INT",
        "declare_variables w1, w2, len, len2, bits, bitsInt, d1000, d1000i, ch, wd, viaPointer: INT",
        "declare_variables prod, cprod, half: DOUBLE",
        "declare_variables hello, empty: STRING",
        "declare_variables wideResult: INT64",
        "declare_variables f: FLOAT",
        "f = 2.5",
        "w1 = Weigh3(1, 2, 3)",
        "w2 = CWeigh3(4, 5, 6)",
        "prod = MulDouble(1.5, 0 - 4)",
        "cprod = CMulDouble(2, 0.25)",
        "half = HalfFloat(f)",
        "bits = FloatBits(f)",
        "bitsInt = FloatBits(3)",
        "d1000 = DoubleTimes1000(1.25)",
        "d1000i = DoubleTimes1000(7)",
        "len = StrLenPlus(\"abcd\", 10)",
        "TwoLengths \"ab\" + \"c\", \"de\" + \"fgh\"",   // both evaluate into SYSTEM_STRING0
        "len2 = SYSTEM_INT0",
        "hello = Greeting(1)",
        "empty = Greeting(0)",
        "wideResult = Wide(5, 0 - 1)",
        "ch = charOf(66)",
        "wd = wordOf(66)",
        "viaPointer = Deref(w1)",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    Ostrin& o = *ran.o;
    struct Want { const char* name; double value; };
    const Want wants[] = {
        {"w1", 321}, {"w2", 654},
        {"prod", -6}, {"cprod", 0.5},
        {"half", 1.25},                 // a FLOAT result comes from the x87 register
        {"bits", 0x40200000},           // 2.5f travels as its single-precision bits
        {"bitsInt", 0x40400000},        // an INT for a FLOAT parameter becomes 3.0f
        {"d1000", 1250},                // a DOUBLE travels as two words
        {"d1000i", 7000},               // an INT for a DOUBLE parameter too
        {"len", 14},
        {"len2", 503},                  // two string results kept apart (505 if both read the last)
        {"ch", 66}, {"wd", 0x3342},     // CHAR and WORD results keep their own bits
        {"viaPointer", 321},                 // a POINTER parameter gets the variable's address
    };
    for (const Want& w : wants) EXPECT_DOUBLE_EQ(w.value, doubleVar(o, w.name)) << w.name;
    EXPECT_EQ("hello, world", stringVar(o, "hello"));
    EXPECT_EQ("", stringVar(o, "empty"));
    EXPECT_EQ((int64_t{5} << 32) | 0xFFFFFFFFll, int64Var(o, "wideResult"));
}

TEST(ExternalCall, ResultTypesAsStatements)
{
    // Called as a statement line, the result waits in its system variable.
    Ran ran = runKeep({
        "declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT",
        "declare_function DLL, MulDouble(a: DOUBLE, b: DOUBLE), DOUBLE",
        "declare_function DLL, Greeting(which: INT)",
        "declare_variables a, c: INT",
        "declare_variables b: DOUBLE",
        "Weigh3 7, 0, 1",
        "a = SYSTEM_INT0",
        "MulDouble 3, 3",
        "b = SYSTEM_DOUBLE0",
        "external_call Weigh3, 1, 1, 1",
        "c = SYSTEM_INT0",
        "Greeting 1",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    EXPECT_EQ(107, intVar(*ran.o, "a"));
    EXPECT_DOUBLE_EQ(9.0, doubleVar(*ran.o, "b"));
    EXPECT_EQ(111, intVar(*ran.o, "c"));
    EXPECT_EQ(NoResult, ran.o->mainStatement->resultType);   // no return type, no result
}

TEST(ExternalCall, ArraysAndStringsByAddress)
{
    Ran ran = runKeep({
        "declare_function DLL, SumArray(a[]: INT, n: INT), INT",
        "declare_function DLL, FillSquares(a[]: INT, n: INT)",
        "declare_function DLL, UpperInPlace(s: STRING)",
        "declare_variables v[4]: INT",
        "declare_variables sq[5]: INT",
        "declare_variables total, tail, n: INT",
        "declare_variables s: STRING",
        "v[0] = 1, 2, 3, 4",
        "total = SumArray(v, 4)",
        "tail = SumArray(v[2], 2)",
        "FillSquares sq, 5",
        "s = \"mixed Case\"",
        "UpperInPlace s",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    Ostrin& o = *ran.o;
    EXPECT_EQ(1 + 4 + 9 + 16, intVar(o, "total"));
    EXPECT_EQ(3 + 2 * 4, intVar(o, "tail"));   // from the selected element on
    EXPECT_EQ(16, intVar(o, "sq[4]"));
    EXPECT_EQ("MIXED CASE", stringVar(o, "s"));
}

// Reads back the packed bytes the callee sees, one call per byte.
std::string packedBytes(int packing, int members)
{
    std::vector<std::string> lines = {
        "declare_function DLL, ByteAt(r: R, k: INT), INT",
        packing ? "record_type R, " + std::to_string(packing) : std::string("record_type R"),
        "declare_variables c: CHAR",
        "declare_variables i: INT",
        "declare_variables w: WORD",
        "declare_variables q: INT64",
        "end_record_type",
        "declare_variables r: R",
        "declare_variables b[32]: INT",
        "r.c = 0x11",
        "r.i = 0x25242322",
        "r.w = 0x3231",
        "r.q = 0x4847464544434241",
    };
    for (int k = 0; k < 8 * members; ++k)
        lines.push_back("b[" + std::to_string(k) + "] = ByteAt(r, " + std::to_string(k) + ")");
    Ran ran = runKeep(lines);
    if (!ran.o || ran.r.error) return "error " + std::to_string(ran.r.error);
    std::string out;
    char hex[4];
    for (int k = 0; k < 8 * members; ++k) {
        const std::string ref = "b[" + std::to_string(k) + "]";
        std::snprintf(hex, sizeof hex, "%02x", intVar(*ran.o, ref.c_str()));
        out += hex;
    }
    return out;
}

TEST(ExternalCall, RecordLayoutByPacking)
{
    struct Case { int packing; const char* bytes; };
    const Case cases[] = {
        // c, then i, w and q without gaps: 15 bytes.
        {1, "11222324253132414243444546474800" "0000000000000000" "0000000000000000"},
        // i at 4, w at 8, q at 12 (aligned to min(4, 8)).
        {4, "1100000022232425313200004142434445464748" "00000000" "0000000000000000"},
        // The default, 8: q at 16.
        {0, "11000000222324253132000000000000" "4142434445464748" "0000000000000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.bytes, packedBytes(c.packing, 4)) << "packing " << c.packing;
}

TEST(ExternalCall, RecordsAreCopiedBack)
{
    Ran ran = runKeep({
        "declare_function DLL, FillPacked(p: Packed), INT",
        "declare_function CDLL, CFillNatural(p: Natural), INT",
        "declare_function DLL, UseRefs(r: Refs), INT",
        "record_type Packed, 1",
        "declare_variables c: CHAR",
        "declare_variables i: INT",
        "declare_variables w: WORD",
        "declare_variables q: INT64",
        "end_record_type",
        "record_type Natural",
        "declare_variables c: CHAR",
        "declare_variables i: INT",
        "declare_variables w: WORD",
        "declare_variables q: INT64",
        "end_record_type",
        "record_type Refs",
        "declare_variables n: INT",
        "declare_variables text: STRING",
        "declare_variables values[3]: INT",
        "end_record_type",
        "declare_variables p: Packed",
        "declare_variables nat[2]: Natural",
        "declare_variables refs: Refs",
        "declare_variables seenP, seenN, got: INT",
        "p.c = 65",
        "p.i = 123456",
        "p.w = 0xBEEF",
        "p.q = 0x0102030405060708",
        "nat[1].c = 65",
        "nat[1].i = 123456",
        "nat[1].w = 0xBEEF",
        "nat[1].q = 0x0102030405060708",
        "seenP = FillPacked(p)",
        "seenN = CFillNatural(nat[1])",
        "refs.text = \"abc\"",
        "refs.values[1] = 5",
        "got = UseRefs(refs)",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    Ostrin& o = *ran.o;
    // The callee saw the members the program set, then changed them.
    EXPECT_EQ(1, intVar(o, "seenP"));
    EXPECT_EQ(1, intVar(o, "seenN"));
    EXPECT_EQ('z', intVar(o, "p.c"));
    EXPECT_EQ(-7, intVar(o, "p.i"));
    EXPECT_EQ(0x1234, intVar(o, "p.w"));
    EXPECT_EQ(0x1122334455667788ll, int64Var(o, "p.q"));
    EXPECT_EQ('y', intVar(o, "nat[1].c"));
    EXPECT_EQ(99, intVar(o, "nat[1].i"));
    EXPECT_EQ(7, intVar(o, "nat[1].w"));
    EXPECT_EQ(-2, int64Var(o, "nat[1].q"));
    EXPECT_EQ(0, intVar(o, "nat[0].i"));   // only the element passed
    // Strings and arrays were written in place; the int came back.
    EXPECT_EQ(503, intVar(o, "got"));
    EXPECT_EQ(503, intVar(o, "refs.n"));
    EXPECT_EQ("from dll", stringVar(o, "refs.text"));
    EXPECT_EQ(42, intVar(o, "refs.values[0]"));
    EXPECT_EQ(5, intVar(o, "refs.values[1]"));
}

TEST(ExternalCall, SystemFunctions)
{
    Ran ran = runKeep({
        "declare_function \"kernel32.dll\", lstrlenA(s: STRING), INT",
        "declare_function \"kernel32.dll\", GetTickCount(), UINT",
        "declare_function \"!user32.dll\", wsprintfA(out: STRING, format: STRING, n: INT, s: STRING), INT",
        "declare_function \"kernel32.dll\", GetCurrentDirectoryA(n: INT, out: STRING), INT",
        "declare_variables n, written, ticks, dirLen: INT",
        "declare_variables buf, dir: STRING",
        "n = lstrlenA(\"seven!!\")",
        "ticks = GetTickCount()",
        "wsprintfA buf, \"%d-%s\", 42, \"x\"",
        "written = SYSTEM_INT0",
        "dirLen = GetCurrentDirectoryA(255, dir)",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    Ostrin& o = *ran.o;
    EXPECT_EQ(7, intVar(o, "n"));
    EXPECT_NE(0, intVar(o, "ticks"));
    EXPECT_EQ(4, intVar(o, "written"));
    EXPECT_EQ("42-x", stringVar(o, "buf"));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(cwd, stringVar(o, "dir"));
    EXPECT_EQ(static_cast<int>(std::strlen(cwd)), intVar(o, "dirLen"));
}

TEST(ExternalCall, StackIntactAfterManyCallsOfBothConventions)
{
    // Each function is also declared with the other convention: the engine
    // must survive both mistakes.
    Ran ran = runKeep({
        "declare_function DLL, StackProbe(), UINT",
        "declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT",
        "declare_function CDLL, CWeigh3(a: INT, b: INT, c: INT), INT",
        "declare_function CDLL, wrongS| Weigh3(a: INT, b: INT, c: INT), INT",
        "declare_function DLL, wrongC| CWeigh3(a: INT, b: INT, c: INT), INT",
        "declare_variables before, after, i, sum: INT",
        "before = StackProbe()",
        "counted_loop i, 1, 5000",
        "sum = sum + Weigh3(1, 0, 0) + CWeigh3(1, 0, 0) + wrongS(1, 0, 0) + wrongC(1, 0, 0)",
        "next_step i",
        "after = StackProbe()",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error) << "line " << ran.r.line;
    EXPECT_EQ(4 * 5000, intVar(*ran.o, "sum"));
    EXPECT_EQ(intVar(*ran.o, "before"), intVar(*ran.o, "after"));
}

TEST(ExternalCall, Errors)
{
    // A statement holds at most 25 arguments, so only DOUBLEs (two words
    // each) can go past 30 words: 1 + 2 x 14 + 1 = 30 words pass, one more
    // DOUBLE makes 31.
    std::string thirty = "declare_function CDLL, SumDoubles(n: INT", thirtyOne = thirty;
    std::string thirtyArgs = "SumDoubles 14", thirtyOneArgs = "SumDoubles 15";
    for (int i = 0; i < 15; ++i) {
        const std::string param = ", d" + std::to_string(i) + ": DOUBLE";
        if (i < 14) thirty += param, thirtyArgs += ", 1.5";
        thirtyOne += param;
        thirtyOneArgs += ", 1.5";
    }
    thirty += ", tail: INT), INT";
    thirtyArgs += ", 0";
    thirtyOne += "), INT";
    std::string sixteenDoubles = "declare_function DLL, Count16(";
    std::string sixteenArgs;
    for (int i = 0; i < 16; ++i) {
        sixteenDoubles += (i ? ", a" : "a") + std::to_string(i) + ": DOUBLE";
        sixteenArgs += ", 1.5";
    }
    sixteenDoubles += "), INT";

    struct Case { const char* what; std::vector<std::string> lines; int error; };
    const Case cases[] = {
        {"entry point missing", {"declare_function DLL, NoSuchEntry(), INT", "NoSuchEntry"}, ErrEntryPoint},
        {"alias missing", {"declare_function DLL, f| Missing(), INT", "f"}, ErrEntryPoint},
        {"too few arguments", {"declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT", "Weigh3 1, 2"},
         ErrArgCount},
        {"too many arguments", {"declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT", "Weigh3 1, 2, 3, 4"},
         ErrArgCount},
        {"not external", {"declare_variables n: INT", "external_call n"}, ErrType},
        {"string for an INT", {"declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT", "Weigh3 \"x\", 2, 3"},
         ErrExternalArg},
        {"string without declaration", {"declare_function CDLL, CSum(), INT", "CSum 1, \"x\""}, ErrExternalArg},
        {"number without declaration", {"declare_function DLL, Weigh3(), INT", "Weigh3 1"}, ErrExternalArg},
        {"CHAR argument",
         {"declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT", "declare_variables c: CHAR", "Weigh3 c, 2, 3"},
         ErrExternalArg},
        {"INT64 parameter", {"declare_function DLL, Deref(p: INT64), INT", "Deref 1"}, ErrExternalArg},
        {"array parameter given a scalar",
         {"declare_function DLL, SumArray(a[]: INT, n: INT), INT", "declare_variables v: INT", "SumArray v, 1"},
         ErrType},
        {"31 words", {thirtyOne, thirtyOneArgs}, ErrExternalArg},
        {"16 doubles are 32 words", {sixteenDoubles, "Count16" + sixteenArgs.substr(1)}, ErrExternalArg},
        {"record member that cannot travel",
         {"declare_function DLL, ByteAt(r: R, k: INT), INT", "record_type R", "declare_variables f: FLOAT",
          "end_record_type", "declare_variables r: R", "ByteAt r, 0"},
         ErrExternalArg},
        {"30 words are allowed", {thirty, thirtyArgs}, 0},
    };
    for (const Case& c : cases) {
        RunResult r = runProgram(program(c.lines));
        EXPECT_EQ(c.error, r.error) << c.what;
        if (c.error) {
            EXPECT_EQ(static_cast<int>(c.lines.size()), r.line) << c.what;
        }
    }
}

TEST(ReleaseLibrary, DropsOneReference)
{
    // Start from one reference of our own; the declaration adds one and
    // the two releases drop both.
    while (HMODULE m = GetModuleHandleA("ostrin_testdll.dll")) FreeLibrary(m);
    ASSERT_NE(nullptr, LoadLibraryA("ostrin_testdll.dll"));
    RunResult r = runProgram(program({
        "declare_function DLL, Weigh3(a: INT, b: INT, c: INT), INT",
        "release_library \"ostrin_testdll.dll\"",
        "release_library \"ostrin_testdll.dll\"",
        "release_library \"never_loaded_xyz.dll\"",
    }));
    EXPECT_EQ(0, r.error);
    EXPECT_EQ(nullptr, GetModuleHandleA("ostrin_testdll.dll"));

    EXPECT_EQ(ErrArgCount, runProgram("release_library\n").error);
    EXPECT_EQ(ErrType, runProgram("release_library 1\n").error);
}

}  // namespace
