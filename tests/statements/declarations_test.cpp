// Declarations, record types, assignment and its conversions, constants,
// freeing variables and anonymous variables behind pointers, run as small
// programs on the real interpreter.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

Ran runKeep(const std::vector<std::string>& lines) { return ::runKeep(joinLines(lines)); }

// Each member's name and type, in order.
std::string memberList(Variable* head)
{
    std::string s;
    for (Variable* m = head ? head->next : nullptr; m; m = m->next)
        s += std::string(m->name) + ":" + typeName(m->type) + " ";
    return s;
}

Variable* instance(Variable* v, uint32_t i)
{
    return reinterpret_cast<Variable**>(v->base ? v->base : v->data)[i];
}

TEST(DeclareVariables, TypesAndShapes)
{
    struct Case { const char* line; const char* name; int type; uint32_t count; int capacity; };
    const Case cases[] = {
        {"declare_variables a, b: FLOAT", "a", TypeFloat, 1, 0},
        {"declare_variables a, b: FLOAT", "b", TypeFloat, 1, 0},
        {"declare_variables n: int", "n", TypeInt, 1, 0},
        {"declare_variables k : {op107}", "k", TypeInt, 1, 0},   // the compiler's token for INT
        {"declare_variables g[2, 3]: DOUBLE", "g", TypeDouble, 6, 0},
        {"declare_variables s: STRING", "s", TypeString, 255, 255},
        {"declare_variables fx[20]: ISTRING", "fx", TypeString, 21, 21},
        {"declare_variables names[4]: STRING", "names", TypeString, 4 * 255, 255},
        {"declare_variables q, r: UINT64", "r", TypeUInt64, 1, 0},
        {"declare_variables p: pointer", "p", TypePointer, 1, 0},
    };
    for (const Case& c : cases) {
        Ran ran = runKeep({c.line});
        ASSERT_TRUE(ran.o) << c.line;
        EXPECT_EQ(0, ran.r.error) << c.line;
        Variable* v = var(*ran.o, c.name);
        ASSERT_NE(nullptr, v) << c.line;
        EXPECT_EQ(c.type, v->type) << c.line;
        EXPECT_EQ(c.count, v->count) << c.line;
        if (c.capacity) {
            EXPECT_EQ(c.capacity, v->capacity) << c.line;
        }
    }
}

TEST(DeclareVariables, Errors)
{
    struct Case { std::vector<std::string> lines; int error; int line; };
    const Case cases[] = {
        {{"declare_variables a"}, ErrMalformed, 1},                  // no type
        {{"declare_variables a: INT, b"}, ErrMalformed, 1},          // the last name carries the type
        {{"declare_variables : INT"}, ErrMalformed, 1},              // no name
        {{"declare_variables a: NUMBER"}, ErrTypeName, 1},
        {{"declare_variables s: ISTRING"}, ErrIStringSize, 1},
        {{"declare_variables a: INT", "declare_variables A: FLOAT"}, ErrExists, 2},
        {{"declare_variables z[0]: INT"}, ErrDimensionZero, 1},
    };
    for (const Case& c : cases) {
        RunResult r = runProgram(joinLines(c.lines));
        EXPECT_EQ(c.error, r.error) << c.lines[0];
        EXPECT_EQ(c.line, r.line) << c.lines[0];
    }
}

TEST(RecordTypes, InstancesPerElementAndNestedMembers)
{
    Ran ran = runKeep({
        "record_type Pt",
        "declare_variables x, y: INT",
        "declare_variables tag: CHAR",
        "end_record_type",
        "record_type Inner, 1",
        "declare_variables c: CHAR",
        "declare_variables i: INT",
        "end_record_type",
        "record_type Outer",
        "declare_variables id: INT",
        "declare_variables part: Inner",
        "declare_variables pts[2]: Pt",
        "end_record_type",
        "declare_variables p: Pt",
        "declare_variables ps[3]: Pt",
        "declare_variables o: Outer",
        "p.x = 5",
        "ps[2].y = 7",
        "o.part.i = 9",
        "o.pts[1].x = 11",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;

    Variable* p = var(o, "p");
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(TypeUser, p->type);
    EXPECT_EQ(8, p->returnType);   // default packing
    EXPECT_EQ("x:INT y:INT tag:CHAR ", memberList(instance(p, 0)));
    EXPECT_EQ(5, intVar(o, "p.x"));

    // Every element has an instance of its own.
    Variable* ps = var(o, "ps");
    ASSERT_EQ(3u, ps->count);
    EXPECT_NE(instance(ps, 0), instance(ps, 2));
    EXPECT_EQ(7, intVar(o, "ps[2].y"));
    EXPECT_EQ(0, intVar(o, "ps[0].y"));

    Variable* part = var(o, "o.part");
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(1, part->returnType);   // the nested type's own packing
    EXPECT_EQ(9, intVar(o, "o.part.i"));
    EXPECT_EQ(11, intVar(o, "o.pts[1].x"));
    EXPECT_EQ(0, intVar(o, "o.pts[0].x"));
    EXPECT_EQ(2u, var(o, "o.pts")->count);
}

TEST(RecordTypes, BodyIsSkippedAndLinesRecorded)
{
    Ran ran = runKeep({
        "declare_variables after: INT",
        "record_type Rec, 4",
        "declare_variables a: INT",
        "declare_variables b: WORD",
        "end_record_type",
        "after = 1",
        "record_type Plain",
        "declare_variables v: INT",
        "ENDTYPE",
        "after = after + 1",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    EXPECT_EQ(2, intVar(*ran.o, "after"));
    ASSERT_EQ(2u, ran.o->recordTypes.size());
    const RecordType* rec = ran.o->recordTypes[0];
    EXPECT_STREQ("Rec", rec->name);
    EXPECT_EQ(4, rec->packing);
    EXPECT_EQ(2u, rec->firstLine);
    EXPECT_EQ(3u, rec->lastLine);
    EXPECT_EQ(8, ran.o->recordTypes[1]->packing);
    // The body declares nothing by itself.
    EXPECT_EQ(nullptr, var(*ran.o, "a"));
}

TEST(RecordTypes, Errors)
{
    struct Case { const char* what; std::vector<std::string> lines; int error; int line; };
    const Case cases[] = {
        {"no end", {"record_type R", "declare_variables a: INT"}, ErrRecordType, 1},
        {"nested", {"record_type R", "record_type S", "end_record_type", "end_record_type"}, ErrRecordType, 1},
        {"nested word", {"record_type R", "TYPE S", "end_record_type"}, ErrRecordType, 1},
        {"argument count", {"record_type R, 1, 2", "end_record_type"}, ErrMalformed, 1},
        {"body not a declaration",
         {"record_type R", "console_print 1", "end_record_type", "declare_variables r: R"}, ErrMalformed, 4},
        {"unknown member type",
         {"record_type R", "declare_variables a: Nothing", "end_record_type", "declare_variables r: R"},
         ErrTypeName, 4},
        {"contains itself",
         {"record_type Node", "declare_variables next: Node", "end_record_type", "declare_variables n: Node"},
         ErrRecordType, 4},
        {"instances that could never fit",
         {"record_type R", "declare_variables a, b: INT", "declare_variables s: STRING", "end_record_type",
          "declare_variables r[3000000]: R"},
         ErrNoMemory, 5},
        {"nested instances that could never fit",
         {"record_type P", "declare_variables s: STRING", "end_record_type", "record_type R",
          "declare_variables ps[20000]: P", "end_record_type", "declare_variables r[300]: R"},
         ErrNoMemory, 7},
        {"name too long is cut to 15",
         {"record_type ABCDEFGHIJKLMNOPQ", "declare_variables a: INT", "end_record_type",
          "declare_variables r: ABCDEFGHIJKLMNOXYZ"},
         0, 0},
    };
    for (const Case& c : cases) {
        RunResult r = runProgram(joinLines(c.lines));
        EXPECT_EQ(c.error, r.error) << c.what;
        EXPECT_EQ(c.line, r.line) << c.what;
    }
}

TEST(RecordTypes, RecordCopyRules)
{
    Ran ran = runKeep({
        "record_type A",
        "declare_variables n: INT",
        "declare_variables s: STRING",
        "declare_variables d: DOUBLE",
        "end_record_type",
        "declare_variables a1, a2: A",
        "declare_variables arr[2]: A",
        "a1.n = 42",
        "a1.s = \"copied\"",
        "a1.d = 2.5",
        "a2 = a1",
        "arr[1] = a1",
        "a1.n = 1",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    EXPECT_EQ(42, intVar(o, "a2.n"));
    EXPECT_EQ("copied", stringVar(o, "a2.s"));
    EXPECT_DOUBLE_EQ(2.5, doubleVar(o, "a2.d"));
    EXPECT_EQ(42, intVar(o, "arr[1].n"));
    EXPECT_EQ(0, intVar(o, "arr[0].n"));
    EXPECT_EQ(1, intVar(o, "a1.n"));   // a copy, not a share

    // Members at the same position must agree in type.
    RunResult r = runProgram(joinLines({
        "record_type A",
        "declare_variables n: INT",
        "end_record_type",
        "record_type B",
        "declare_variables n: FLOAT",
        "end_record_type",
        "declare_variables a: A",
        "declare_variables b: B",
        "a = b",
    }));
    EXPECT_EQ(ErrNoConvert, r.error);
    EXPECT_EQ(9, r.line);
}

// One assignment into a declared target, with the value it leaves or the
// error it stops with.
struct AssignCase {
    const char* decls;   // declarations and set-up, separated by '|'
    const char* stmt;
    const char* target;
    double want;
    int error;
};

std::vector<std::string> splitBar(const std::string& s)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t bar; (bar = s.find('|', start)) != std::string::npos; start = bar + 1)
        out.push_back(s.substr(start, bar - start));
    if (start < s.size()) out.push_back(s.substr(start));
    return out;
}

void checkAssignments(const AssignCase* cases, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const AssignCase& c = cases[i];
        std::vector<std::string> lines = splitBar(c.decls);
        lines.push_back(c.stmt);
        Ran ran = runKeep(lines);
        ASSERT_TRUE(ran.o) << c.stmt;
        EXPECT_EQ(c.error, ran.r.error) << c.decls << " / " << c.stmt;
        if (c.error) {
            EXPECT_EQ(static_cast<int>(lines.size()), ran.r.line) << c.stmt;
            continue;
        }
        Variable* v = var(*ran.o, c.target);
        ASSERT_NE(nullptr, v) << c.stmt;
        double got;
        if (v->type == TypeInt64) got = static_cast<double>(int64Var(*ran.o, c.target));
        else if (v->type == TypeUInt64) got = static_cast<double>(static_cast<uint64_t>(int64Var(*ran.o, c.target)));
        else got = doubleVar(*ran.o, c.target);
        EXPECT_DOUBLE_EQ(c.want, got) << c.decls << " / " << c.stmt;
    }
}

TEST(Assignment, NumericLiterals)
{
    const AssignCase cases[] = {
        {"declare_variables n: INT", "n = 0x10", "n", 16, 0},
        // C integers with automatic base: a leading zero means octal, and
        // octal reading stops at the first digit that is not octal.
        {"declare_variables n: INT", "n = 010", "n", 8, 0},
        {"declare_variables n: INT", "m = 08", "m", 0, 0},
        {"declare_variables u: UINT", "u = 0777", "u", 511, 0},
        {"declare_variables w: WORD", "w = 0100", "w", 64, 0},
        {"declare_variables c: CHAR", "c = 0101", "c", 'A', 0},
        {"declare_variables q: INT64", "q = 010", "q", 10, 0},         // 64-bit literals stay decimal
        {"declare_variables f: FLOAT", "f = 010", "f", 10, 0},         // floating: no octal
        {"declare_variables n: INT", "n = 3000000000", "n", -1294967296.0, 0},
        {"declare_variables n: INT", "n = 2.9", "n", 2, 0},
        {"declare_variables q: INT64", "q = 0x10", "q", 16, 0},
        {"declare_variables q: INT64", "q = 3000000000", "q", 3000000000.0, 0},
        {"declare_variables q: UINT64", "q = 0xFFFFFFFFFFFFFFFF", "q", 18446744073709551615.0, 0},
        {"declare_variables u: UINT", "u = 4294967295", "u", 4294967295.0, 0},
        {"declare_variables w: WORD", "w = 70000", "w", 70000 & 0xFFFF, 0},
        {"declare_variables c: CHAR", "c = 321", "c", 321 & 0xFF, 0},
        {"declare_variables f: FLOAT", "f = 2.5", "f", 2.5, 0},
        {"declare_variables f: FLOAT", "f = 0x10", "f", 16, 0},
        {"declare_variables d: DOUBLE", "d = 1.125", "d", 1.125, 0},
        {"declare_variables s: STRING", "s = 5", "s", 0, ErrNoConvert},
        {"declare_variables f: FILE", "f = 5", "f", 0, ErrNoConvert},
    };
    checkAssignments(cases, std::size(cases));
}

TEST(Assignment, VariableConversions)
{
    const AssignCase cases[] = {
        // Integers from floating values are truncated toward zero.
        {"declare_variables n: INT|declare_variables f: FLOAT|f = 0 - 2.7", "n = f", "n", -2, 0},
        {"declare_variables n: INT|declare_variables d: DOUBLE|d = 1000000000 + 0.9", "n = d", "n", 1000000000, 0},
        {"declare_variables u: UINT|declare_variables d: DOUBLE|d = 3000000000", "u = d", "u", 3000000000.0, 0},
        // Narrow targets keep the low bits; CHAR and WORD sources are unsigned.
        {"declare_variables w: WORD|declare_variables n: INT|n = 65537", "w = n", "w", 1, 0},
        {"declare_variables c: CHAR|declare_variables n: INT|n = 321", "c = n", "c", 65, 0},
        {"declare_variables n: INT|declare_variables c: CHAR|c = 200", "n = c", "n", 200, 0},
        {"declare_variables n: INT|declare_variables w: WORD|w = 65535", "n = w", "n", 65535, 0},
        {"declare_variables c: CHAR|declare_variables s: STRING|s = \"Hi\"", "c = s", "c", 'H', 0},
        {"declare_variables f: FLOAT|declare_variables n: INT|n = 7", "f = n", "f", 7, 0},
        {"declare_variables d: DOUBLE|declare_variables q: INT64|q = 0 - 5", "d = q", "d", -5, 0},
        // 64-bit targets: INT sign-extends, UINT zero-extends.
        {"declare_variables q: INT64|declare_variables n: INT|n = 0 - 5", "q = n", "q", -5, 0},
        {"declare_variables q: INT64|declare_variables u: UINT|u = 4294967295", "q = u", "q", 4294967295.0, 0},
        {"declare_variables q: UINT64|declare_variables r: INT64|r = 0 - 1", "q = r", "q", 18446744073709551615.0,
         0},
        {"declare_variables q: INT64|declare_variables d: DOUBLE|d = 0 - 1000000000000", "q = d", "q", -1e12, 0},
        // Same types copy.
        {"declare_variables a, b: DOUBLE|b = 0.1", "a = b", "a", 0.1, 0},
        {"declare_variables a, b: INT64|b = 1234567890123", "a = b", "a", 1234567890123.0, 0},
        // Pairs outside the table.
        {"declare_variables w: WORD|declare_variables u: UINT", "w = u", "w", 0, ErrNoConvert},
        {"declare_variables f: FLOAT|declare_variables q: INT64", "f = q", "f", 0, ErrNoConvert},
        {"declare_variables s: STRING|declare_variables n: INT", "s = n", "s", 0, ErrNoConvert},
        {"declare_variables n: INT|declare_variables m: MEMORY", "n = m", "n", 0, ErrNoConvert},
        {"declare_variables a, b: FILE", "a = b", "a", 0, ErrNoConvert},
        {"declare_variables n: INT", "n = undefinedthing", "n", 0, ErrUndefined},
    };
    checkAssignments(cases, std::size(cases));
}

TEST(Assignment, Expressions)
{
    const AssignCase cases[] = {
        {"declare_variables n: INT", "n = 7 / 2", "n", 3, 0},
        {"declare_variables n: INT", "n = 0 - 7 / 2", "n", -3, 0},
        {"declare_variables f: FLOAT", "f = 7 / 2", "f", 3.5, 0},
        {"declare_variables c: CHAR", "c = 256 + 66", "c", 66, 0},
        {"declare_variables q: INT64", "q = 4294967296 * 2", "q", 8589934592.0, 0},
        {"declare_variables s: STRING", "s = 1 + 2", "s", 0, ErrNoConvert},
        {"declare_variables n: INT", "n = \"a\" + \"b\"", "n", 0, ErrNoConvert},
        {"declare_variables n: INT", "n = 1 / 0", "n", 0, ErrDivideByZero},
    };
    checkAssignments(cases, std::size(cases));
}

TEST(Assignment, Strings)
{
    struct Case { std::vector<std::string> lines; const char* target; const char* want; };
    const Case cases[] = {
        {{"declare_variables s: STRING", "s = \"hello\""}, "s", "hello"},
        {{"declare_variables s: STRING", "s = \"ab\" + \"cd\""}, "s", "abcd"},
        {{"declare_variables s: STRING", "s = \"a, b\""}, "s", "a, b"},   // a comma inside quotes
        {{"declare_variables s[5]: ISTRING", "s = \"abcdefgh\""}, "s", "abcde"},
        {{"declare_variables s, t: STRING", "t = \"copy\"", "s = t"}, "s", "copy"},
        {{"declare_variables s: STRING", "declare_variables t[3]: ISTRING", "s = \"longer\"", "t = s"}, "t", "lon"},
        // One selected character is replaced, the rest stays.
        {{"declare_variables s: STRING", "s = \"hello\"", "s[1] = \"a\""}, "s", "hallo"},
        {{"declare_variables s, t: STRING", "s = \"hello\"", "t = s[4]"}, "t", "o"},
        // A character into a string makes that one-character string.
        {{"declare_variables s: STRING", "declare_variables c: CHAR", "s = \"hello\"", "c = 65", "s = c"}, "s", "A"},
        {{"declare_variables c: CHAR", "declare_variables s: STRING", "c = \"xyz\"", "s = c"}, "s", "x"},
    };
    for (const Case& c : cases) {
        Ran ran = runKeep(c.lines);
        ASSERT_TRUE(ran.o);
        EXPECT_EQ(0, ran.r.error) << c.lines.back();
        EXPECT_EQ(c.want, stringVar(*ran.o, c.target)) << c.lines.back();
    }

    RunResult r = runProgram("declare_variables n: INT\nn = \"x\"\n");
    EXPECT_EQ(ErrNoConvert, r.error);
    // A literal without its closing quote (the assembler would refuse it).
    auto open = prepareImage("s = \"open");
    EXPECT_EQ(ErrMalformed, runPrepared(*open).error);
}

TEST(Assignment, ValueListsFillArrayElements)
{
    Ran ran = runKeep({
        "declare_variables a[5]: INT",
        "declare_variables names[3]: STRING",
        "declare_variables cs[3]: CHAR",
        "declare_variables c: CHAR",
        "a[2] = 1, 2 + 2, 0x3",
        "names[1] = \"b, c\", \"d\"",
        "c = 66",
        "cs[1] = c",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    const int wantA[5] = {0, 0, 1, 4, 3};
    for (int i = 0; i < 5; ++i) {
        const std::string ref = "a[" + std::to_string(i) + "]";
        EXPECT_EQ(wantA[i], intVar(o, ref.c_str())) << ref;
    }
    EXPECT_EQ("b, c", stringVar(o, "names[1]"));
    EXPECT_EQ("d", stringVar(o, "names[2]"));
    EXPECT_EQ("", stringVar(o, "names[0]"));
    // Only the selected element of the CHAR array changes.
    EXPECT_EQ(0, intVar(o, "cs[0]"));
    EXPECT_EQ(66, intVar(o, "cs[1]"));
    EXPECT_EQ(0, intVar(o, "cs[2]"));

    struct Case { const char* lines; int error; };
    const Case errors[] = {
        {"declare_variables a[5]: INT\na[3] = 1, 2, 3\n", ErrArrayEnd},
        {"declare_variables n: INT\nn = 1, 2\n", ErrMalformed},
        {"declare_variables s: STRING\ns = \"a\", \"b\"\n", ErrMalformed},
        {"declare_variables a[2]: INT\na[2] = 1\n", ErrRange},
    };
    for (const Case& c : errors) EXPECT_EQ(c.error, runProgram(c.lines).error) << c.lines;
}

TEST(Assignment, ImplicitDeclarations)
{
    struct Case { std::vector<std::string> lines; const char* name; int type; };
    const Case cases[] = {
        {{"x = 2.5"}, "x", TypeFloat},
        {{"k = 4"}, "k", TypeInt},
        {{"t = \"hi\""}, "t", TypeString},
        {{"declare_variables s: STRING", "y$ = s"}, "y$", TypeString},
        {{"declare_variables n: INT", "y = n"}, "y", TypeInt},
        {{"z = 1 + 1"}, "z", TypeFloat},
        {{"z$ = \"a\" + \"b\""}, "z$", TypeString},
    };
    for (const Case& c : cases) {
        Ran ran = runKeep(c.lines);
        ASSERT_TRUE(ran.o);
        EXPECT_EQ(0, ran.r.error) << c.lines.back();
        Variable* v = var(*ran.o, c.name);
        ASSERT_NE(nullptr, v) << c.lines.back();
        EXPECT_EQ(c.type, v->type) << c.lines.back();
    }

    struct ErrorCase { const char* program; int error; };
    const ErrorCase errors[] = {
        {"implicit_declarations \"OFF\"\nx = 1\n", ErrUndefined},
        {"implicit_declarations \"off\"\nimplicit_declarations \"On\"\nx = 1\n", 0},
        {"implicit_declarations \"maybe\"\n", ErrImplicitSwitch},
        {"implicit_declarations\n", ErrArgCount},
        {"implicit_declarations \"ON\", \"OFF\"\n", ErrArgCount},
        {"a[2] = 1\n", ErrUndefined},       // never created through an index
        {"r.x = 1\n", ErrUndefined},        // nor through a member
    };
    for (const ErrorCase& c : errors) EXPECT_EQ(c.error, runProgram(c.program).error) << c.program;
}

// A value or an index that runs a subroutine freeing the variable being
// stored into or indexed leaves nothing to use: the line stops with error 10
// instead of touching freed memory. Freeing some other variable changes
// nothing, also for a record member or an array element.
TEST(Assignment, VariableFreedWhileInUse)
{
    struct Case { const char* decls; const char* stmt; const char* wiped; int error; };
    const Case cases[] = {
        {"declare_variables n: INT", "n = wipe()", "n", ErrUndefined},
        {"declare_variables n: INT", "n = wipe", "n", ErrUndefined},          // a function label by name
        {"declare_variables s: STRING", "s = wipe$()", "s", ErrUndefined},
        {"declare_variables a[4]: DOUBLE", "a[2] = wipe()", "a", ErrUndefined},
        {"declare_variables a[4]: INT", "a = 1, wipe(), 3", "a", ErrUndefined},
        {"record_type R|declare_variables x: INT|end_record_type|declare_variables r: R",
         "r.x = wipe()", "r", ErrUndefined},
        {"declare_variables a[4], n: INT", "n = a[wipe() - 6] + 7", "a", ErrUndefined},
        {"declare_variables a[4], n: INT", "a[wipe() - 6] = 7", "a", ErrUndefined},
        {"declare_variables n, m: INT", "n = wipe()", "m", 0},
        {"record_type R|declare_variables x: INT|end_record_type|declare_variables r: R|declare_variables n, m: INT",
         "r.x = wipe()|n = r.x", "m", 0},
        {"declare_variables a[4], n, m: INT", "a[1] = 7|n = a[wipe() - 6]", "m", 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = splitBar(c.decls);
        lines.push_back("declare_function wipe()");
        lines.push_back("declare_function wipe$()");
        for (const std::string& line : splitBar(c.stmt)) lines.push_back(line);
        const int stmtLine = static_cast<int>(lines.size());
        lines.push_back("jump done");
        for (const char* fn : {"wipe:", "wipe$:"}) {
            lines.push_back(fn);
            lines.push_back(std::string("free_variables ") + c.wiped);
            lines.push_back(fn[4] == '$' ? "return \"gone\"" : "return 7");
        }
        lines.push_back("done:");
        Ran ran = runKeep(lines);
        ASSERT_TRUE(ran.o) << c.stmt;
        EXPECT_EQ(c.error, ran.r.error) << c.decls << " / " << c.stmt;
        if (c.error) EXPECT_EQ(stmtLine, ran.r.line) << c.stmt;
        else EXPECT_EQ(7, intVar(*ran.o, "n")) << c.stmt;
    }
}

TEST(Constants, ReadOnlyAndNamed)
{
    Ran ran = runKeep({
        "declare_constants limit = 10, greeting$ = \"hi\"",
        "named_constant \"Big\", 42",
        "named_constant \"big\", 43",
        "n = @BIG + 1",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    EXPECT_EQ(10, intVar(o, "limit"));
    EXPECT_TRUE(var(o, "limit")->readOnly);
    EXPECT_EQ("hi", stringVar(o, "greeting$"));
    ASSERT_EQ(1u, o.namedConstants.count("BIG"));
    EXPECT_EQ(43u, o.namedConstants["BIG"]);   // the second replaces the first
    EXPECT_EQ(44, intVar(o, "n"));

    struct Case { const char* program; int error; int line; };
    const Case errors[] = {
        {"declare_constants limit = 10\nlimit = 11\n", ErrReadOnly, 2},
        {"declare_constants limit = 10\ndeclare_constants limit = 10\n", ErrReadOnly, 2},
        {"declare_constants limit\n", ErrMalformed, 1},
        {"declare_constants\n", ErrArgCount, 1},
        {"declare_variables n: INT\ndeclare_constants n = \"x\"\n", ErrNoConvert, 2},
        {"named_constant \"x\"\n", ErrArgCount, 1},
        {"named_constant 1, 2\n", ErrType, 1},
    };
    for (const Case& c : errors) {
        RunResult r = runProgram(c.program);
        EXPECT_EQ(c.error, r.error) << c.program;
        EXPECT_EQ(c.line, r.line) << c.program;
    }
}

TEST(FreeVariables, UnlinksAndReleases)
{
    Ran ran = runKeep({
        "record_type R",
        "declare_variables a: INT",
        "end_record_type",
        "declare_variables first, middle, last: INT",
        "declare_variables rec[3]: R",
        "first = 1",
        "last = 3",
        "free_variables middle, rec",
        "declare_variables later: INT",
        "later = 4",
        "free_variables last",
        "declare_variables middle: FLOAT",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    EXPECT_EQ(1, intVar(o, "first"));
    EXPECT_EQ(4, intVar(o, "later"));
    EXPECT_EQ(nullptr, var(o, "rec"));
    EXPECT_EQ(nullptr, var(o, "last"));
    EXPECT_EQ(TypeFloat, var(o, "middle")->type);   // the name is free again
    // The chain is consistent both ways and lastVariable is its end.
    Variable* end = nullptr;
    for (Variable* v = &o.stdoutVar; v; v = v->next) {
        if (v->next) {
            EXPECT_EQ(v, v->next->prev) << v->name;
        }
        end = v;
    }
    EXPECT_EQ(end, o.lastVariable);

    struct Case { const char* program; int error; };
    const Case errors[] = {
        {"free_variables SYSTEM_STDOUT0\n", ErrFreeSystem},
        {"free_variables DECIMAL_PREC\n", ErrFreeSystem},
        {"free_variables SYSTEM_INT0\n", ErrFreeSystem},
        {"free_variables SYSTEM_STRING0\n", ErrFreeSystem},
        {"declare_variables w: WINDOW\nfree_variables w\n", ErrFreeWindow},
        {"declare_variables d: DIALOG\nfree_variables d\n", ErrFreeWindow},
        {"free_variables nothing\n", ErrUndefined},
        {"declare_variables a: INT\nfree_variables a, a\n", ErrUndefined},
    };
    for (const Case& c : errors) EXPECT_EQ(c.error, runProgram(c.program).error) << c.program;
}

TEST(Pointers, AnonymousVariables)
{
    Ran ran = runKeep({
        "record_type R",
        "declare_variables x: INT",
        "end_record_type",
        "declare_variables p, q, r, none: POINTER",
        "declare_variables kind, arr, kindAfter, scalarArr, kindR: INT",
        "new_variable {op107}, 10",
        "p = SYSTEM_POINTER0",
        "kind = pointee_type(p)",
        "arr = is_array(p)",
        "new_variable DOUBLE, 1",
        "q = SYSTEM_POINTER0",
        "scalarArr = is_array(q)",
        "new_variable R, 1",
        "r = SYSTEM_POINTER0",
        "#r.x = 77",
        "kindR = pointee_type(r)",
        "#p[3] = 5",
        "new_variable Unknown, 1",
        "none = SYSTEM_POINTER0",
        "delete_pointee p",
        "kindAfter = pointee_type(p)",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    EXPECT_EQ(TypeInt, intVar(o, "kind"));
    EXPECT_EQ(1, intVar(o, "arr"));
    EXPECT_EQ(0, intVar(o, "scalarArr"));
    EXPECT_EQ(TypeUser, intVar(o, "kindR"));
    EXPECT_EQ(77, intVar(o, "#r.x"));
    EXPECT_EQ(-1, intVar(o, "kindAfter"));
    EXPECT_EQ(0, intVar(o, "p"));
    EXPECT_EQ(nullptr, var(o, "p")->target);
    EXPECT_EQ(nullptr, var(o, "none")->target);
    // Anonymous variables are in no chain.
    EXPECT_EQ(nullptr, var(o, "temp"));

    Variable* q = var(o, "q");
    ASSERT_NE(nullptr, q->target);
    EXPECT_EQ(TypeDouble, q->target->type);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(q->target->data), static_cast<uint32_t>(intVar(o, "q")));
}

TEST(Pointers, PointToNamedVariables)
{
    Ran ran = runKeep({
        "declare_variables n: INT",
        "declare_variables a[4]: INT",
        "declare_variables p, q: POINTER",
        "declare_variables k: INT",
        "p = n",
        "#p = 5",
        "q = a[2]",
        "k = is_array(q)",
        "delete_pointee p",
    });
    ASSERT_TRUE(ran.o);
    ASSERT_EQ(0, ran.r.error);
    Ostrin& o = *ran.o;
    // Deleting through the pointer takes the variable out of its chain.
    EXPECT_EQ(nullptr, var(o, "n"));
    Variable* q = var(o, "q");
    Variable* a = var(o, "a");
    EXPECT_EQ(a, q->target);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a->base + 8), static_cast<uint32_t>(intVar(o, "q")));
    EXPECT_EQ(1, intVar(o, "k"));

    struct Case { const char* program; int error; };
    const Case errors[] = {
        {"declare_variables n: INT\ndelete_pointee n\n", ErrType},
        {"declare_variables p: POINTER\ndelete_pointee p, p\n", ErrArgCount},
        {"declare_variables p: POINTER\ndelete_pointee p\n", 0},   // no target: the pointer is only cleared
        {"declare_variables n: INT\nn = pointee_type(n)\n", ErrType},
        {"new_variable INT\n", ErrArgCount},
        {"declare_variables p: POINTER\np = SYSTEM_INT0\ndelete_pointee p\n", ErrFreeSystem},
    };
    for (const Case& c : errors) EXPECT_EQ(c.error, runProgram(c.program).error) << c.program;
}

}  // namespace
