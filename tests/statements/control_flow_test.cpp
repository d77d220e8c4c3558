// Jumps, calls and returns, conditionals, loops and selection, run as
// small programs on the real interpreter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>

#include "support/harness.h"

namespace {

struct FlowCase {
    const char* name;
    const char* source;
    const char* output;   // console output of the whole run
    int error;            // error code at the end, 0 for none
};

void runCases(const FlowCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const FlowCase& c = cases[i];
        SCOPED_TRACE(c.name);
        auto o = prepareProgram(c.source);
        ASSERT_NE(nullptr, o);
        const RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.output, r.output);
        // Balanced frames: a run that ends normally leaves no frame behind.
        if (c.error == 0) {
            EXPECT_EQ(0u, o->controlTop);
        }
    }
}

// Index in the line table of the line «label:» (blank and comment lines
// are not stored).
uint32_t labelLineIndex(const std::string& source, const std::string& label)
{
    std::istringstream in(source);
    std::string line;
    uint32_t index = 0;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '\'' || line[start] == ';') continue;
        if (line.substr(start) == label + ":") return index;
        ++index;
    }
    ADD_FAILURE() << "no label line " << label;
    return 0;
}

struct Param {
    const char* name;
    int type;
};

// Gives a label the parameter list that a subroutine declaration builds: a
// zero-filled head, then one borrowed declaration per parameter; strings,
// files, windows, dialogs and pointers without storage of their own.
void declareParams(Ostrin& o, const std::string& source, const char* label, std::initializer_list<Param> params)
{
    char name[32];
    std::strcpy(name, label);
    Variable* l = o.defineVariable(name, TypeLabel, 0, nullptr);
    ASSERT_NE(nullptr, l);
    l->capacity = static_cast<int32_t>(labelLineIndex(source, label));
    auto* head = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
    head->borrowed = 1;
    l->members = head;
    for (const Param& p : params) {
        const bool byReference = p.type == TypeString || p.type == TypeFile || p.type == TypeWindow ||
                                 p.type == TypeDialog || p.type == TypeBFile || p.type == TypePointer;
        std::strcpy(name, p.name);
        Variable* v = o.defineVariable(name, p.type, byReference ? 0 : 1, head);
        ASSERT_NE(nullptr, v);
        v->borrowed = 1;
        v->sharedData = byReference ? 1 : 0;
    }
}

TEST(ControlFlow, JumpsAndLabels)
{
    const FlowCase cases[] = {
        {"forward jump skips lines", "jump done\nconsole_print \"skipped\"\ndone:\nconsole_print \"end\"", "end\n", 0},
        {"backward jump loops",
         "declare_variables n: INT\nagain:\nn = n + 1\nconditional n < 3 then jump again\nconsole_print n", "3 \n", 0},
        {"jump through a string variable",
         "declare_variables s: STRING\ns = \"there\"\njump $s\nconsole_print \"skipped\"\nthere:\nconsole_print \"here\"",
         "here\n", 0},
        {"label definition statement", "jump there\nconsole_print \"skipped\"\nlabel_definition there\nconsole_print \"ok\"",
         "ok\n", 0},
        {"string variable without $ is no label",
         "declare_variables s: STRING\ns = \"there\"\njump s\nthere:", "", ErrType},
        {"missing label", "jump nowhere", "", ErrNoTarget},
        {"missing variable after $", "jump $nothing", "", ErrUndefined},
        {"jump without target", "jump", "", ErrMalformed},
        {"no-operation", "no_operation\nconsole_print \"ok\"", "ok\n", 0},
        {"no-operation with an argument", "no_operation 1", "", ErrMalformed},
        // Each pass leaves the selection by jumping: 3000 frames kept would
        // overflow the control stack.
        {"jump out of a selection drops its frame",
         "declare_variables n: INT\nagain:\nn = n + 1\nselect 1\ncase 1\nconditional n < 3000 then jump again\n"
         "end_select\nconsole_print n",
         "3000 \n", 0},
    };
    runCases(cases, std::size(cases));
}

TEST(ControlFlow, CallsAndReturns)
{
    const FlowCase cases[] = {
        {"call and return",
         "call greet\nconsole_print \"back\"\njump finish\ngreet:\nconsole_print \"hi\"\nreturn\nfinish:",
         "hi\nback\n", 0},
        {"call written as a bare name",
         "greet\nconsole_print \"back\"\njump finish\ngreet:\nconsole_print \"hi\"\nreturn\nfinish:", "hi\nback\n",
         0},
        {"return inside loops discards their frames",
         "declare_variables n: INT\ncall finder\nconsole_print \"found \", n\njump finish\nfinder:\nwhile_loop 1\n"
         "repeat\nn = n + 1\nconditional n = 4 then return\nuntil 1\nend_while\nreturn\nfinish:",
         "found 4 \n", 0},
        {"return from a case body",
         "call pick\ncall pick\nconsole_print \"both\"\njump finish\npick:\nselect 1\ncase 1\nreturn\n"
         "end_select\nreturn\nfinish:",
         "both\n", 0},
        {"declared parameter list",
         "declare_function add(a: INT, b: INT)\ndeclare_function greet(who: STRING)\n"
         "declare_variables s: STRING\ns = \"world\"\nconsole_print add(2, 3)\ngreet(s)\nconsole_print s\n"
         "jump finish\nadd:\nreturn a + b\ngreet:\nconsole_print \"hello \", who\nwho = \"changed\"\nreturn\n"
         "finish:",
         "5 \nhello world\nchanged\n", 0},
        {"blank before empty parentheses: no arguments",
         "declare_function show(n: INT)\ndeclare_function \"kernel32.dll\", GetTickCount(), INT\n"
         "show ()\nshow  ( )\nGetTickCount ()\njump finish\nshow:\nconsole_print \"n=\", n\nreturn\nfinish:",
         "n=0 \nn=0 \n", 0},
        {"single-line return ends the call",
         "call check\nconsole_print \"after\"\njump finish\ncheck:\nconditional 1 then return\n"
         "console_print \"not here\"\nreturn\nfinish:",
         "after\n", 0},
        {"locals are released at return",
         "call local\ncall local\nconsole_print \"twice\"\njump finish\nlocal:\ndeclare_variables tmp: INT\n"
         "tmp = 1\nreturn\nfinish:",
         "twice\n", 0},
        {"subroutine sees top-level variables",
         "declare_variables total: INT\ntotal = 4\ncall bump\nconsole_print total\njump finish\nbump:\n"
         "total = total + 1\nreturn\nfinish:",
         "5 \n", 0},
        {"string result", "declare_variables s: STRING\ns = greet()\nconsole_print s\njump finish\ngreet:\n"
                          "return \"hello\"\nfinish:",
         "hello\n", 0},
        {"integer result", "declare_variables n: INT\nn = seven() + 1\nconsole_print n\njump finish\nseven:\n"
                           "return 7\nfinish:",
         "8 \n", 0},
        {"float result", "declare_variables d: DOUBLE\nd = half() * 2\nconsole_print d\njump finish\nhalf:\n"
                         "return 2.25\nfinish:",
         " 4.50\n", 0},
        {"64-bit result", "declare_variables d: DOUBLE\nd = big()\nconsole_print d\njump finish\nbig:\n"
                          "return 3000000000\nfinish:",
         "3000000000 \n", 0},
        {"recursion through a single-line conditional with else",
         "declare_variables n: INT\nn = 3\ncall countdown\njump finish\ncountdown:\n"
         "conditional n > 0 then call lower else console_print \"zero\"\nreturn\nlower:\nconsole_print n,\n"
         "n = n - 1\ncall countdown\nreturn\nfinish:",
         "3 2 1 zero\n", 0},
        {"return at top level", "return", "", ErrReturnNoCall},
        {"return from a top-level loop", "while_loop 1\nreturn\nend_while", "", ErrReturnNoCall},
        {"call without target", "call", "", ErrMalformed},
        {"call of a missing label", "call nowhere", "", ErrNoTarget},
        {"call of a variable", "declare_variables n: INT\ncall n", "", ErrType},
    };
    runCases(cases, std::size(cases));
}

// Reaching the end of the lines inside a subroutine ends the run quietly.
TEST(ControlFlow, LinesRunOutInSubroutine)
{
    const RunResult r = runProgram("call tail\nconsole_print \"not reached\"\ntail:");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(0, r.error);
    EXPECT_EQ("", r.output);
}

// 2048 frames of two entries fill the 4096-entry control stack, so the
// 2049th nested call fails, reported at the call inside the subroutine.
TEST(ControlFlow, CallDepthLimit)
{
    const char* source = "declare_variables depth: INT\ndown\ndown:\ndepth = depth + 1\ndown\nreturn";
    auto o = prepareProgram(source);
    ASSERT_NE(nullptr, o);
    const RunResult r = runPrepared(*o);
    EXPECT_EQ(ErrStackFull, r.error);
    EXPECT_EQ(5, r.line);
    EXPECT_EQ(2048, intVar(*o, "depth"));

    // The same through calls inside expressions.
    auto e = prepareProgram(
        "declare_variables depth, r: INT\nr = down()\ndown:\ndepth = depth + 1\nr = down()\nreturn r");
    ASSERT_NE(nullptr, e);
    const RunResult re = runPrepared(*e);
    EXPECT_EQ(ErrStackFull, re.error);
    EXPECT_EQ(5, re.line);
    EXPECT_EQ(2048, intVar(*e, "depth"));

    // A one-line function runs without a frame once its line and its
    // arguments were found (a first, shallow descent), but only where its
    // frame would fit: called at the full depth it fails at its caller's
    // line, one level higher it runs.
    for (const int levels : {2047, 2048}) {
        auto g = prepareProgram("declare_variables depth, limit, r: INT\ndeclare_function f(x: INT)\nlimit = 3\n"
                                "r = down()\ndepth = 0\nlimit = " + std::to_string(levels) +
                                "\nr = down()\nconsole_print r\njump finish\ndown:\ndepth = depth + 1\n"
                                "conditional depth < limit then r = down()\nreturn f(depth)\nf:\nreturn x + 1\nfinish:");
        ASSERT_NE(nullptr, g);
        const RunResult rg = runPrepared(*g);
        EXPECT_EQ(levels == 2048 ? ErrStackFull : 0, rg.error) << levels;
        EXPECT_EQ(levels == 2048 ? 13 : 0, rg.error ? rg.line : 0) << levels;
        EXPECT_EQ(levels == 2048 ? "" : "2048 \n", rg.output) << levels;
    }

    // So does a recursion's second line, which marks its call on the
    // control stack as its frame would: the same depth without caches,
    // where every call makes its frame.
    for (const int levels : {2047, 2048, -2047, -2048}) {
        auto g = prepareProgram("declare_function f(n: INT)\nconsole_print f(3)\nconsole_print f(" +
                                std::to_string(std::abs(levels)) + ")\njump finish\nf:\n"
                                "conditional n < 1 then return 0\nreturn f(n - 1) + 1\nfinish:");
        ASSERT_NE(nullptr, g);
        g->useCaches = levels > 0;
        const RunResult rg = runPrepared(*g);
        const bool full = std::abs(levels) == 2048;
        EXPECT_EQ(full ? ErrStackFull : 0, rg.error) << levels;
        EXPECT_EQ(full ? 7 : 0, rg.error ? rg.line : 0) << levels;
        EXPECT_EQ(full ? "3 \n" : "3 \n2047 \n", rg.output) << levels;
    }
}

// Endless recursion through «return f()» stops with error 34 at the
// return line (not at the top-level call) and never overruns the thread's
// stack, however small it is.
TEST(ControlFlow, EndlessRecursionStops)
{
    auto o = prepareProgram("declare_variables depth: INT\nconsole_print down()\ndown:\ndepth = depth + 1\nreturn down()");
    ASSERT_NE(nullptr, o);
    const RunResult r = runPrepared(*o);
    EXPECT_EQ(ErrStackFull, r.error);
    EXPECT_EQ(5, r.line);
    EXPECT_GT(intVar(*o, "depth"), 100);
}

// Recursion that no call frame counts: a selection whose case value runs
// the selection again, through the function token of the select statement.
TEST(ControlFlow, RecursionThroughEvaluationsStops)
{
    auto o = prepareImage("\xFF\xE2\xE9\r\n\xFF\xE2\xEA\xFF\xE2\xE9\r\n\xFF\xE2\xEB\r\n");
    const RunResult r = runPrepared(*o);
    EXPECT_EQ(ErrStackFull, r.error);
    EXPECT_EQ(1, r.line);
}

struct ParamCase {
    const char* name;
    const char* source;   // the subroutine is «proc:»
    std::initializer_list<Param> params;
    const char* output;
    int error;
};

TEST(ControlFlow, ParameterBinding)
{
    const ParamCase cases[] = {
        {"integers", "declare_variables n: INT\nn = proc(2, 3)\nconsole_print n\njump finish\nproc:\nreturn a + b\nfinish:",
         {{"a", TypeInt}, {"b", TypeInt}}, "5 \n", 0},
        {"fractions truncate into integers",
         "declare_variables n: INT\nn = proc(2.7, -1.5)\nconsole_print n\njump finish\nproc:\nreturn a * 10 + b\nfinish:",
         {{"a", TypeInt}, {"b", TypeInt}}, "19 \n", 0},
        {"missing arguments stay zero",
         "console_print proc(7)\njump finish\nproc:\nreturn a * 10 + b\nfinish:", {{"a", TypeInt}, {"b", TypeInt}},
         "70 \n", 0},
        {"missing arguments are zero after a call that passed them",
         "console_print proc(1, 2), proc(7)\njump finish\nproc:\nreturn a * 10 + b\nfinish:",
         {{"a", TypeInt}, {"b", TypeInt}}, "12 70 \n", 0},
        {"extra arguments are ignored",
         "console_print proc(1, 2, 99)\njump finish\nproc:\nreturn a * 10 + b\nfinish:", {{"a", TypeInt}, {"b", TypeInt}},
         "12 \n", 0},
        {"double and 64-bit parameters",
         "call proc, 1, 3000000000\njump finish\nproc:\nconsole_print d, w\nreturn\nfinish:",
         {{"d", TypeDouble}, {"w", TypeInt64}}, "1 3000000000 \n", 0},
        // Scalars of up to 8 bytes live in the parameter's own record. (A
        // FLOAT prints with two decimals and no space after it.)
        {"every small numeric type, called twice",
         "counted_loop i, 1, 2\ncall proc, 65535, 1.5, 4000000, 5000000000, -i\nnext_step i\njump finish\nproc:\n"
         "console_print w, f, u, q, d\nreturn\nfinish:",
         {{"w", TypeWord}, {"f", TypeFloat}, {"u", TypeUInt}, {"q", TypeUInt64}, {"d", TypeDouble}},
         "65535 1.504000000 5000000000 -1 \n65535 1.504000000 5000000000 -2 \n", 0},
        // An expression passes a whole number or a plain INT or DOUBLE
        // variable straight to the parameter: the same values as by text.
        {"numbers and variables from an expression, twice",
         "declare_variables i, n: INT\ndeclare_variables d, big: DOUBLE\ndeclare_variables a[2]: INT\ni = -7\n"
         "d = -2.75\nbig = 5000000000.5\na[1] = 12\ncounted_loop k, 1, 2\n"
         "n = proc(i, i) + proc(d, d) + proc(big, big) + proc(-2147483648, 2147483647) + proc(a[1], a)\n"
         "next_step k\njump finish\nproc:\nconsole_print x, y\nreturn 0\nfinish:",
         {{"x", TypeInt}, {"y", TypeDouble}},
         "-7 -7 \n-2  -2.75\n705032704  5000000000.50\n-2147483648 2147483647 \n12 0 \n"
         "-7 -7 \n-2  -2.75\n705032704  5000000000.50\n-2147483648 2147483647 \n12 0 \n", 0},
        {"a parameter freed by its subroutine",
         "console_print proc(4), proc(5)\njump finish\nproc:\nb = a * 2\nfree_variables a\nreturn b\nfinish:",
         {{"a", TypeInt}, {"b", TypeInt}}, "8 10 \n", 0},
        {"string variable is shared",
         "declare_variables s: STRING\ns = \"before\"\ncall proc, s\nconsole_print s\njump finish\nproc:\n"
         "p = \"after\"\nreturn\nfinish:",
         {{"p", TypeString}}, "after\n", 0},
        {"string literal is copied",
         "call proc, \"value\"\njump finish\nproc:\nconsole_print p, \"!\"\nreturn\nfinish:", {{"p", TypeString}},
         "value!\n", 0},
        {"one element of a string array is that string",
         "declare_variables names[3]: STRING\nnames[2] = \"two\"\ncall proc, names[2]\nconsole_print names[2]\n"
         "jump finish\nproc:\nconsole_print p\np = \"changed\"\nreturn\nfinish:",
         {{"p", TypeString}}, "two\nchanged\n", 0},
        {"number for a string parameter", "call proc, 5\nproc:\nreturn", {{"p", TypeString}}, "", ErrType},
        {"string for an integer parameter", "call proc, \"5\"\nproc:\nreturn", {{"n", TypeInt}}, "", ErrType},
        {"64-bit value for an integer parameter", "call proc, 3000000000\nproc:\nreturn", {{"n", TypeInt}}, "",
         ErrType},
        {"file parameter takes no number", "call proc, 1\nproc:\nreturn", {{"f", TypeFile}}, "", ErrType},
        {"character parameter cannot receive", "call proc, 1\nproc:\nreturn", {{"c", TypeChar}}, "", ErrParamType},
    };
    for (const ParamCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = prepareProgram(c.source);
        ASSERT_NE(nullptr, o);
        declareParams(*o, c.source, "proc", c.params);
        const RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.output, r.output);
        // Parameter copies go with the call: nothing of them is left in
        // the top-level chain.
        if (c.error == 0) {
            EXPECT_TRUE(o->scopeStack.empty());
        }
    }
}

// A return puts back the program's chain and its last record without
// walking it, unless the call changed something outside its own scope: here
// one call changes nothing, one frees the program's last variable.
// A subroutine called from an expression gets its arguments straight from
// the expression's values: they must arrive as a call statement's texts of
// them would (whole numbers as INT, others as FLOAT, names by reference,
// strings cut to 253 characters), and the second run of a line, which
// finds its names where the first did, the same.
TEST(ControlFlow, FunctionCallArguments)
{
    const FlowCase cases[] = {
        {"numbers",
         "declare_function proc(a: INT, b: INT64, d: DOUBLE)\nconsole_print proc(7, 3000000000, 0.5)\n"
         "console_print proc(3000000000, -2147483648, 7)\njump finish\nproc:\nconsole_print a, b, d\nreturn a\nfinish:",
         "7 3000000000  0.50\n7 \n-1294967296 -2147483648 7 \n-1294967296 \n", 0},
        // The last thing each call evaluates is a string, which must not make
        // the numeric sum around the calls a string.
        {"names, elements and negated names",
         "declare_variables s: STRING\ndeclare_variables t[3]: STRING\ndeclare_variables n: INT\n"
         "declare_variables r: INT\ns = \"s\"\nt[2] = \"t\"\nn = 4\ndeclare_function proc(x: STRING, y: INT)\n"
         "counted_loop i, 1, 2\nr = proc(t[2], -n) + proc(s, n) * 10\nconsole_print r\nnext_step i\n"
         "console_print t[2], s\njump finish\nproc:\nconsole_print x\nx = x + \"!\"\nreturn y\nfinish:",
         "t\ns\n36 \nt!\ns!\n36 \nt!!s!!\n", 0},
        {"a long string value is cut",
         "declare_variables t: STRING\nt = \"0123456789012345678901234567890123456789012345678901234567890123456789"
         "012345678901234567890123456789\"\ndeclare_function proc(x: STRING)\nconsole_print proc(t + t + t)\n"
         "jump finish\nproc:\nreturn size_of(x)\nfinish:",
         "253 \n", 0},
        {"a call as an argument",
         "declare_variables n: INT\ndeclare_function proc(x: INT, y: INT)\nn = 3\n"
         "console_print proc(n, proc(n, 1))\njump finish\nproc:\nreturn x * 10 + y\nfinish:",
         "61 \n", 0},
        {"an undefined name", "declare_function proc(x: INT)\nconsole_print proc(zz)\nproc:\nreturn x", "",
         ErrUndefined},
        {"a string for an integer", "declare_function proc(x: INT)\nconsole_print proc(\"5\")\nproc:\nreturn x", "",
         ErrType},
        // The frame its last call left goes with the label.
        {"a label freed after its calls",
         "declare_function f(a: INT)\nconsole_print f(1), f(2)\nfree_variables f\nconsole_print \"freed\"\n"
         "console_print f(3)\njump finish\nf:\nreturn a * 2\nfinish:",
         "2 4 \nfreed\n", ErrUndefined},
    };
    runCases(cases, std::size(cases));
}

TEST(ControlFlow, ReturnLeavesTheProgramChainWhole)
{
    auto o = prepareProgram(
        "declare_variables a, b: INT\ndeclare_function keep(x: INT)\ndeclare_function drop(x: INT)\n"
        "a = keep(1)\ndeclare_variables later, z: INT\nlater = keep(3)\nb = drop(2)\njump finish\nkeep:\n"
        "return x + 1\ndrop:\nfree_variables z\nreturn x * 2\nfinish:");
    ASSERT_NE(nullptr, o);
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(2, intVar(*o, "a"));
    EXPECT_EQ(4, intVar(*o, "b"));
    EXPECT_EQ(4, intVar(*o, "later"));
    Variable* end = nullptr;
    for (Variable* v = &o->stdoutVar; v; v = v->next) end = v;
    EXPECT_STREQ("later", end->name);
    EXPECT_EQ(end, o->lastVariable);
}

// A string expression longer than a string parameter arrives as its first
// 254 characters.
TEST(ControlFlow, LongStringArgumentIsCut)
{
    const std::string source =
        "declare_variables t: STRING\ndeclare_variables out[400]: ISTRING\n"
        "t = \"0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789\"\n"
        "call proc, t + t + t\njump finish\nproc:\nout = p\nreturn\nfinish:";
    auto o = prepareProgram(source);
    ASSERT_NE(nullptr, o);
    declareParams(*o, source, "proc", {{"p", TypeString}});
    const RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error);
    const std::string out = stringVar(*o, "out");
    EXPECT_EQ(254u, out.size());
    EXPECT_EQ(std::string(out.substr(0, 100)), out.substr(100, 100));
}

TEST(ControlFlow, Conditionals)
{
    const FlowCase cases[] = {
        {"block with else",
         "declare_variables n: INT\nn = 5\nconditional n > 3\nconsole_print \"big\"\nelse\nconsole_print \"small\"\n"
         "end_conditional\nconditional n > 10\nconsole_print \"huge\"\nelse\nconsole_print \"not huge\"\n"
         "end_conditional\nconditional n > 10\nconsole_print \"never\"\nend_conditional\nconsole_print \"done\"",
         "big\nnot huge\ndone\n", 0},
        {"false block skips nested blocks",
         "conditional 0\nconditional 1\nconsole_print \"inner\"\nelse\nconsole_print \"inner else\"\n"
         "end_conditional\nelse\nconsole_print \"outer else\"\nend_conditional",
         "outer else\n", 0},
        {"then-branch skips nested else-branch",
         "conditional 1\nconsole_print \"a\"\nelse\nconditional 1\nconsole_print \"b\"\nend_conditional\n"
         "console_print \"c\"\nend_conditional\nconsole_print \"d\"",
         "a\nd\n", 0},
        {"single-line conditionals do not nest",
         "conditional 0\nconditional 1 then console_print \"inline\"\nconsole_print \"skipped\"\nend_conditional\n"
         "console_print \"after\"",
         "after\n", 0},
        {"single-line then", "conditional 2 > 1 then console_print \"yes\" else console_print \"no\"", "yes\n", 0},
        {"single-line else", "conditional 2 < 1 then console_print \"yes\" else console_print \"no\"", "no\n", 0},
        {"single-line without else", "conditional 0 then console_print \"yes\"\nconsole_print \"on\"", "on\n", 0},
        {"single-line assignment",
         "declare_variables n: INT\nconditional 1 then n = 4\nconsole_print n", "4 \n", 0},
        {"string condition", "declare_variables s: STRING\ns = \"b\"\nconditional s = \"b\" then console_print \"eq\"",
         "eq\n", 0},
        {"false block without end", "conditional 0\nconsole_print 1", "", ErrNoElseOrEnd},
        {"else without end", "conditional 1\nconsole_print \"a\"\nelse\nconsole_print \"b\"", "a\n", ErrElseNoEnd},
        {"inline statement fails", "conditional 1 then jump nowhere", "", ErrNoTarget},
    };
    runCases(cases, std::size(cases));
}

TEST(ControlFlow, Loops)
{
    const FlowCase cases[] = {
        {"counted loop from 1 to 0 runs once",
         "counted_loop i, 1, 0\nconsole_print \"body\", i\nnext_step i\nconsole_print \"end\", i", "body1 \nend2 \n", 0},
        {"counted loop with a step", "counted_loop i, 1, 6, 2\nconsole_print i,\nnext_step i", "1 3 5 ", 0},
        {"counted loop downwards", "counted_loop i, 3, 1, -1\nconsole_print i,\nnext_step i", "3 2 1 ", 0},
        {"nested counted loops",
         "counted_loop i, 1, 2\ncounted_loop j, 1, 2\nconsole_print i, j,\nnext_step j\nnext_step i", "1 1 1 2 2 1 2 2 ",
         0},
        {"counted loop limit from an expression",
         "declare_variables n: INT\nn = 2\ncounted_loop i, 1, n * 2\nconsole_print i,\nnext_step i", "1 2 3 4 ", 0},
        {"unsigned loop variable", "declare_variables u: UINT\ncounted_loop u, 1, 2\nconsole_print u,\nnext_step u",
         "1 2 ", 0},
        {"next step without an active loop", "declare_variables i: INT\nnext_step i", "", ErrType},
        {"next step on a string", "declare_variables s: STRING\nnext_step s", "", ErrType},
        {"next step without argument", "next_step", "", ErrMalformed},
        {"loop over a string variable", "declare_variables s: STRING\ncounted_loop s, 1, 2", "", ErrNotInteger},
        {"counted loop without limit", "counted_loop i, 1", "", ErrArgCount},
        {"while loop", "declare_variables n: INT\nwhile_loop n < 3\nn = n + 1\nend_while\nconsole_print n", "3 \n", 0},
        {"false while skips nested loops",
         "while_loop 0\nwhile_loop 1\nend_while\nconsole_print \"in\"\nend_while\nconsole_print \"out\"", "out\n", 0},
        {"nested while loops",
         "declare_variables i, j: INT\nwhile_loop i < 2\ni = i + 1\nj = 0\nwhile_loop j < 2\nj = j + 1\n"
         "console_print i, j,\nend_while\nend_while",
         "1 1 1 2 2 1 2 2 ", 0},
        {"while without end", "while_loop 0", "", ErrNoEndWhile},
        {"end while without while", "end_while", "", ErrEndWhileNoWhile},
        // 0.5 is taken as the integer 0: the loop runs until x reaches 1.
        {"until a fraction loops again",
         "declare_variables x: DOUBLE\ndeclare_variables count: INT\nrepeat\ncount = count + 1\nx = x + 0.5\n"
         "until x\nconsole_print count",
         "2 \n", 0},
        {"until without condition ends", "repeat\nconsole_print \"once\"\nuntil", "once\n", 0},
        {"nested repeat loops",
         "declare_variables i, j: INT\nrepeat\ni = i + 1\nj = 0\nrepeat\nj = j + 1\nuntil j = 2\nuntil i = 2\n"
         "console_print i, j",
         "2 2 \n", 0},
        {"repeat without until", "repeat", "", ErrNoUntil},
        {"repeat with an argument", "repeat 1\nuntil 1", "", ErrMalformed},
        {"until without repeat", "until 1", "", ErrUntilNoRepeat},
        {"until closing a while", "while_loop 1\nuntil 1\nend_while", "", ErrUntilNoRepeat},
    };
    runCases(cases, std::size(cases));
}

TEST(ControlFlow, Selection)
{
    const char* caseLines =
        "declare_variables k: INT\ncounted_loop k, 1, 4\nselect k\ncase 1\ncase 2\nconsole_print \"low\"\ncase 3\n"
        "console_print \"three\"\ndefault_case\nconsole_print \"other\"\nend_select\nnext_step k";
    const FlowCase cases[] = {
        {"case lines in a row share a body", caseLines, "low\nlow\nthree\nother\n", 0},
        {"no match and no default", "select 9\ncase 1\nconsole_print \"one\"\nend_select\nconsole_print \"after\"",
         "after\n", 0},
        {"default before the matching case is not taken",
         "select 2\ndefault_case\nconsole_print \"default\"\ncase 2\nconsole_print \"two\"\nend_select", "two\n", 0},
        {"string selector",
         "declare_variables s: STRING\ns = \"b\"\nselect s\ncase \"a\"\nconsole_print \"A\"\ncase \"b\"\n"
         "console_print \"B\"\nend_select",
         "B\n", 0},
        {"selection nested in a case body",
         "select 1\ncase 1\nselect 2\ncase 2\nconsole_print \"inner\"\nend_select\nconsole_print \"outer\"\ncase 2\n"
         "console_print \"wrong\"\nend_select",
         "inner\nouter\n", 0},
        {"cases of a nested selection are not tested",
         "select 2\ncase 1\nselect 1\ncase 2\nconsole_print \"inner\"\nend_select\ncase 2\nconsole_print \"two\"\n"
         "end_select",
         "two\n", 0},
        {"matching last case with an empty body", "select 1\ncase 0\nconsole_print \"zero\"\ncase 1\nend_select\n"
                                                  "console_print \"after\"",
         "after\n", 0},
        {"select without end", "select 1\ncase 1", "", ErrNoEndSelect},
        {"case without selection", "case 1", "", ErrCaseNoSelect},
        {"default case without selection", "default_case", "", ErrCaseNoSelect},
        {"end select without selection", "end_select", "", ErrEndSelectNoSelect},
    };
    runCases(cases, std::size(cases));
}

}  // namespace
