// The caches of the run loop (decoded lines, compiled expressions, found
// names, block ends) must change nothing a program can see: every program
// here runs once with them and once without, and the two runs must print
// the same, end the same way and report the same error on the same line.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

// Runs the program with caches off and on; a failure names `what`.
RunResult runBothWays(const std::string& source, const std::string& what)
{
    auto plain = prepareProgram(source);
    auto cached = prepareProgram(source);
    if (!plain || !cached) return {};
    plain->useCaches = false;
    const RunResult want = runPrepared(*plain);
    const RunResult got = runPrepared(*cached);
    EXPECT_EQ(want.output, got.output) << what << "\n" << source;
    EXPECT_EQ(want.ok, got.ok) << what << "\n" << source;
    EXPECT_EQ(want.error, got.error) << what << "\n" << source;
    EXPECT_EQ(want.line, got.line) << what << "\n" << source;
    return got;
}

// `text` put for the @ of each of `uses`, between `before` and `after`,
// each run both ways.
template <size_t N>
void runInEachUse(const std::string& text, const char* const (&uses)[N], const std::string& before,
                  const std::string& after = "")
{
    for (std::string use : uses) {
        use.replace(use.find('@'), 1, text);
        runBothWays(before + use + after, text);
    }
}

// The benchmark programs with their loops shortened.
TEST(Caches, BenchmarkProgramsRunAlike)
{
    const struct {
        const char* name;
        const char* source;
        const char* output;
    } programs[] = {
        {"counted loop",
         "declare_variables S, I, N:INT\nN = 5000\nS = 0\ncounted_loop I, 1, N\nS = S + (I*2) % 7\nnext_step I\n"
         "console_print S",
         "15000 \n"},
        {"while with nested conditionals",
         "declare_variables I, A, B, C, N:INT\nN = 1000\nI = 0\nA = 0\nB = 0\nC = 0\nwhile_loop I < N\nI = I + 1\n"
         "conditional I % 3 = 0\nA = A + 1\nelse\nconditional I % 3 = 1\nB = B + 2\nelse\nC = C + 3\n"
         "end_conditional\nend_conditional\nend_while\nconsole_print A, B, C",
         "333 668 999 \n"},
        {"calls",
         "declare_variables S, I, N:INT\ndeclare_function F(X:INT, Y:INT)\nN = 1000\nS = 0\ncounted_loop I, 1, N\n"
         "S = F(S, I)\nnext_step I\nconsole_print S\njump finish\nF:\nreturn (X*3 + Y) % 1009\nfinish:",
         nullptr},
        {"strings",
         "declare_variables T[600]:ISTRING\ndeclare_variables I, K, C:INT\ncounted_loop I, 1, 600\n"
         "T = T + character(65 + I % 26)\nnext_step I\nC = 0\ncounted_loop K, 1, 10\n"
         "C = C + character_code(substring(T, K*50, 5)) + size_of(substring(T, K*50, 5))\nnext_step K\n"
         "console_print size_of(T), C",
         nullptr},
        {"arrays",
         "declare_variables A[1001], I, S, N:INT\nN = 1000\ncounted_loop I, 1, N\nA[I] = I % 1000\nnext_step I\n"
         "S = 0\ncounted_loop I, 1, N\nS = S + A[I]\nnext_step I\nconsole_print S",
         "499500 \n"},
        {"recursion",
         "declare_variables R:INT\ndeclare_function FIB(N:INT)\nR = FIB(12)\nconsole_print R\njump finish\nFIB:\n"
         "conditional N < 2 then return N\nreturn FIB(N - 1) + FIB(N - 2)\nfinish:",
         "144 \n"},
    };
    for (const auto& p : programs) {
        const RunResult r = runBothWays(p.source, p.name);
        EXPECT_EQ(1, r.ok) << p.name;
        if (p.output) {
            EXPECT_EQ(p.output, r.output) << p.name;
        }
    }
}

// What the random program makers share: their generator and its picks.
class RandomPicks {
public:
    using Names = std::vector<std::string>;

protected:
    explicit RandomPicks(unsigned seed) : rng(seed) {}
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    std::string any(const Names& items) { return items[pick(static_cast<int>(items.size()))]; }

private:
    std::mt19937 rng;
};

// Small random programs over every statement the caches touch: assignments
// (with implicit declarations), block and inline conditionals, the loops,
// selections, subroutine calls with and without results, a label run by its
// name, variables defined while running, and the errors that stop a run.
class ProgramMaker : public RandomPicks {
public:
    explicit ProgramMaker(unsigned seed) : RandomPicks(seed) {}

    std::string program()
    {
        std::string text =
            "declare_variables a, b, c, x: INT\ndeclare_variables d: DOUBLE\ndeclare_variables arr[5]: INT\n"
            "declare_variables ch: CHAR\ndeclare_function f(x: INT, y: INT)\n";
        for (int n = pick(12) + 1; n > 0; --n) text += statement(2);
        text += "jump finish\nf:\n" + std::string(pick(4) ? "return x * 2 + y % 7\n" : "return x / y\n");
        text += "g:\nb = b + x\nconsole_print \"g\", b\nreturn\nfinish:\n";
        return text;
    }

private:

    std::string operand()
    {
        static const char* const operands[] = {"a", "b", "c", "d", "1", "2", "0", "3.5", "arr[1]", "arr[a]",
                                               "f(a, 1)", "f(b, c)", "-a", "(a + b)", "(c * 2)", "e",
                                               "size_of(\"ab\")", "a", "b", "2", "x", "-(-a)", "ch", "arr",
                                               "65536", "2147483647"};
        return operands[pick(static_cast<int>(std::size(operands)))];
    }

    std::string expression()
    {
        static const char* const ops[] = {" + ", " - ", " * ", " / ", " % ", " = ", " < ", " > ", " & ", " | "};
        std::string text = operand();
        for (int n = pick(4); n > 0; --n) text += ops[pick(static_cast<int>(std::size(ops)))] + operand();
        if (pick(6) == 0) text = "(" + text + ")" + ops[pick(3)] + operand();
        return text;
    }

    std::string target()
    {
        static const char* const targets[] = {"a", "b", "c", "d", "arr[2]", "arr[b]", "e", "q", "x", "ch"};
        return targets[pick(static_cast<int>(std::size(targets)))];
    }

    std::string simple()
    {
        switch (pick(6)) {
        case 0: return "console_print " + expression() + "\n";
        case 1: return "console_print a, b, c\n";
        default: return target() + " = " + expression() + "\n";
        }
    }

    std::string body(int depth)
    {
        std::string text;
        for (int n = pick(2) + 1; n > 0; --n) text += depth > 0 ? statement(depth - 1) : simple();
        return text;
    }

    std::string statement(int depth)
    {
        switch (pick(12)) {
        case 0: return "conditional " + expression() + " then " + simple();
        case 1:
            return "conditional " + expression() + " then " + target() + " = 1 else " + target() + " = " +
                   expression() + "\n";
        case 2: {
            std::string text = "conditional " + expression() + "\n" + body(depth);
            if (pick(2)) text += "else\n" + body(depth);
            return text + (pick(20) ? "end_conditional\n" : "");
        }
        // Each nesting depth counts its loops with variables of its own.
        case 3: {
            const std::string i = counter('i', depth);
            return "counted_loop " + i + ", 1, " + std::to_string(pick(4)) + "\n" + body(depth) + "next_step " + i +
                   "\n";
        }
        case 4: {
            const std::string w = counter('w', depth);
            return w + " = 0\nwhile_loop " + w + " < " + std::to_string(pick(4)) + "\n" + body(depth) + w + " = " +
                   w + " + 1\n" + (pick(20) ? "end_while\n" : "");
        }
        case 5: {
            const std::string r = counter('r', depth);
            return r + " = 0\nrepeat\n" + body(depth) + r + " = " + r + " + 1\nuntil " + r + " = 2\n";
        }
        case 6:
            return "select " + expression() + "\ncase 1\n" + body(depth) + "case 0\n" + body(depth) +
                   "default_case\n" + body(depth) + "end_select\n";
        case 7: return target() + " = f(" + expression() + ", " + expression() + ")\n";
        case 8: return pick(2) ? "g\n" : "call g\n";
        default: return simple();
        }
    }

    // A loop counter of one nesting depth: i0, w1, ...
    static std::string counter(char kind, int depth)
    {
        std::string name(1, kind);
        name += std::to_string(depth);
        return name;
    }
};

// Where a remembered name or a compiled expression could go stale: one text
// read in two scopes, a name that appears while a loop runs, a parameter
// hiding a program variable, values that only some paths convert alike.
TEST(Caches, RememberedNamesFollowTheChains)
{
    static const char* const programs[] = {
        // «x + 1» is one compiled text, read at top level and in f.
        "declare_variables x, r: INT\ndeclare_function f(x: INT)\nx = 5\ncounted_loop i, 1, 3\n"
        "r = x + 1\nconsole_print r, f(i)\nnext_step i\njump finish\nf:\nreturn x + 1\nfinish:",
        // z is declared by the loop's second pass; before that it is an error.
        "counted_loop i, 1, 3\nconditional i = 2 then z = 7\nconsole_print i * z\nnext_step i",
        "declare_variables i: INT\ncounted_loop i, 1, 3\nconditional i > 1 then q = q + i\n"
        "conditional i = 1 then q = 10\nnext_step i\nconsole_print q",
        // A CHAR reads signed in expressions; an array without index is its first element.
        "declare_variables ch: CHAR\ndeclare_variables arr[3]: INT\nch = 200\narr[0] = 4\narr[2] = 9\n"
        "counted_loop i, 1, 2\nconsole_print ch + 0, arr + i, -(-arr)\nnext_step i",
        // A division by zero in a loop reports the line that divided.
        "declare_variables a, b: INT\nb = 2\ncounted_loop i, 1, 3\nb = b - 1\na = 10 / b\nnext_step i",
        // A name that stops being a number: a label run as a function.
        "declare_variables r: INT\ncounted_loop i, 1, 2\nr = r + g\nnext_step i\nconsole_print r\n"
        "jump finish\ng:\nreturn 3\nfinish:",
        // What a caller found survives a call only if the call changed
        // nothing but its own scope: here it frees the caller's variable,
        // and then defines one of that name again as its own local.
        "declare_variables a, r: INT\na = 1\ncounted_loop i, 1, 3\nr = r + a\nconsole_print r\ng\nnext_step i\n"
        "jump finish\ng:\nconditional i = 2 then free_variables a\nreturn\nfinish:",
        "declare_variables a: INT\na = 5\ncounted_loop i, 1, 3\nconsole_print a + i, h(i)\nnext_step i\n"
        "jump finish\nh:\na = 7\nreturn a * 2\nfinish:",
        // Parameters are new records on every call, found again each time.
        "declare_function p(x: INT, y: DOUBLE)\ncounted_loop i, 1, 4\nconsole_print p(i, i / 2)\nnext_step i\n"
        "jump finish\np:\nreturn x * 10 + y\nfinish:",
        // A read-only target keeps refusing, however often the line runs.
        "declare_constants k = 4\ncounted_loop i, 1, 2\nconsole_print k\nk = i\nnext_step i",
        // A call target read from a string names a different label each pass.
        "declare_variables t: STRING\ncounted_loop i, 1, 4\nconditional i % 2 = 0 then t = \"g\" else t = \"h\"\n"
        "call $t\nnext_step i\njump finish\ng:\nconsole_print \"g\", i\nreturn\nh:\nconsole_print \"h\"\n"
        "return\nfinish:",
        // An argument passed by name whose variable is freed and declared
        // again, with another type, between the calls.
        "declare_variables v: INT\ndeclare_function f(x: DOUBLE, y: INT)\ncounted_loop i, 1, 3\n"
        "console_print f(v, i)\nfree_variables v\nconditional i = 1 then declare_variables v: DOUBLE\n"
        "conditional i <> 1 then declare_variables v: INT\nv = i * 1.5\nnext_step i\njump finish\nf:\n"
        "return x * 10 + y\nfinish:",
        // Arguments passed by name: elements and negated names are read as
        // what they select, not as the variable they start with.
        "declare_variables arr[3], k: INT\ndeclare_function f(x: INT)\narr[0] = 1\narr[1] = 20\narr[2] = 300\n"
        "counted_loop k, 0, 2\nconsole_print f(arr[k]), f(-arr[k]), f(-k)\nnext_step k\njump finish\nf:\n"
        "return x + 1\nfinish:",
        // Recursion: each depth has its own parameter, hiding the program's,
        // and its own local, declared by assigning it.
        "declare_variables n, r: INT\ndeclare_function s(n: INT)\nn = 100\nr = s(4) + s(3)\nconsole_print r, n\n"
        "jump finish\ns:\nconditional n < 1 then return n\nk = n * 2\nreturn k + s(n - 1) + n\nfinish:",
        // A numeric expression that stops being one halfway: an operation
        // that fails before a label read as a function, an element selected
        // before one, a name that now holds a string.
        "declare_variables a, r: INT\na = 6\ncounted_loop i, 1, 3\nr = (a / (2 - i)) + g\nconsole_print r\n"
        "next_step i\njump finish\ng:\nconsole_print \"g\"\nreturn 3\nfinish:",
        "declare_variables arr[3], r, v: INT\narr[2] = 4\ncounted_loop i, 0, 2\n"
        "conditional i = 2 then free_variables v\nconditional i = 2 then declare_variables v: STRING\n"
        "conditional i = 2 then v = \"7\"\nr = (arr[i] * 2) + g\nconsole_print r\nr = (i * 2) + v\n"
        "console_print r\nnext_step i\njump finish\ng:\nreturn 3\nfinish:",
        // Inline conditionals keep where their then and else stand; quoted
        // words are no tokens.
        "declare_variables s: STRING\ncounted_loop i, 1, 4\nconditional i % 2 = 0 then s = \"then\" else s = \"else\"\n"
        "conditional s = \"then\" then console_print i, \"then\" else console_print \"else\", s\n"
        "conditional i > 2 then console_print \"late\"\nnext_step i",
        // Inline branches keep their decoded forms: a branch that calls a
        // label by its name, a nested inline conditional, and a target
        // freed and declared again with another type between the passes.
        "declare_variables v: INT\ncounted_loop i, 1, 4\nconditional i % 2 = 0 then g else v = v + i\n"
        "conditional i > 1 then conditional i < 4 then v = v * 2 else v = 0\nconsole_print v\n"
        "conditional i = 2 then free_variables v\nconditional i = 2 then declare_variables v: DOUBLE\n"
        "next_step i\njump finish\ng:\nconsole_print \"g\"\nreturn\nfinish:",
        // A recursion finds each depth's parameters at their places in its
        // own frame, and program variables outside every frame: not after
        // one depth frees a program variable, nor after it frees its own
        // parameter; and not in another subroutine whose lines share the
        // compiled texts but whose parameters stand in another order.
        "declare_variables g, h: INT\ndeclare_function s(n: INT)\ng = 3\nh = 4\nconsole_print s(3)\njump finish\n"
        "s:\nconsole_print g + h + n\nconditional n = 2 then free_variables g\nconditional n < 1 then return 0\n"
        "return s(n - 1) + n\nfinish:",
        "declare_function s(n: INT, m: INT)\nconsole_print s(2, 5)\njump finish\ns:\n"
        "conditional n = 1 then free_variables n\nconsole_print n * 10 + m\nconditional m > 5 then return m\n"
        "return s(n - 1, m + 1)\nfinish:",
        "declare_function a(x: INT, y: INT)\ndeclare_function b(y: INT, x: INT)\nconsole_print a(3, 10)\n"
        "jump finish\na:\nconditional x < 1 then return y\nreturn b(y, x - 1) + x\nb:\n"
        "conditional x < 1 then return y\nreturn a(x - 1, y) * 2 + y\nfinish:",
        // A call alone in its expression, with a string value, a built-in
        // function, and an argument freed before the last pass.
        "declare_variables s: STRING\ndeclare_variables n, r: INT\ndeclare_function f(x: INT, y: STRING)\n"
        "declare_function g(k: INT, t: STRING)\ns = \"a\"\nn = 4\ncounted_loop i, 1, 3\nr = f(i, s)\ns = g(n, \"b\")\n"
        "console_print r, s, character(64 + i), size_of(s)\nconditional i = 2 then free_variables n\nnext_step i\n"
        "jump finish\nf:\nreturn x * 10 + size_of(y)\ng:\nreturn t + t\nfinish:",
        // A finished call's frame serves the next call of its subroutine:
        // missing arguments are zero again, a frame whose parameter was
        // freed is not kept, and a recursion takes the kept frame at one
        // level only.
        "declare_function f(a: INT, b: DOUBLE, c: WORD)\ndeclare_function h(n: INT, m: INT)\n"
        "counted_loop i, 1, 3\nconsole_print f(i, i * 2, i * 3), f(i), h(i, 5)\nnext_step i\njump finish\nf:\n"
        "conditional a = 2 then free_variables b\nreturn a * 100 + c\nh:\nconditional n < 1 then return m\n"
        "return h(n - 1) * 2 + n + m\nfinish:",
        // A level that declares a local no longer has a frame as it began:
        // its names are searched again; a subroutine with a STRING
        // parameter keeps no frame, and its strings arrive whole each time.
        "declare_variables d: INT\ndeclare_function s(n: INT, m: INT)\nconsole_print s(4, 0)\njump finish\ns:\n"
        "conditional n = 2 then declare_variables loc: INT\nconditional n = 2 then loc = 5\n"
        "conditional n < 1 then return m + d\nd = d + n\nreturn s(n - 1, m + n) + n\nfinish:",
        "declare_variables t: STRING\ndeclare_function g(x: STRING, n: INT)\nt = \"ab\"\ncounted_loop i, 1, 3\n"
        "console_print g(t, i), g(\"c\", i * 2)\nt = t + \"x\"\nnext_step i\njump finish\ng:\nconsole_print x, n\n"
        "return n + size_of(x)\nfinish:",
        // A call frees a program variable its caller read before the call,
        // and declares another that may take its record: the caller's next
        // read of the name finds it gone.
        "declare_variables g: INT\ndeclare_function f(n: INT)\ng = 5\ncounted_loop i, 1, 3\n"
        "console_print g + i, f(i), g + 1\nnext_step i\njump finish\nf:\nconditional n = 2 then free_variables g\n"
        "conditional n = 2 then declare_variables z: INT\nconditional n = 2 then z = 77\nreturn n\nfinish:",
    };
    for (const char* p : programs) runBothWays(p, "remembered names");
}

// Loops, block conditionals and one-value assignments run from their kept
// lines without a statement record: each must fail as its handler does, on
// its own line, and give way to the handler when its sites are stale.
TEST(Caches, KeptLinesRunAsTheirHandlers)
{
    static const char* const programs[] = {
        // A step, an end while and an else reached again after their loop
        // or branch is over.
        "declare_variables k: INT\ncounted_loop i, 1, 2\nagain:\nnext_step i\nk = k + 1\n"
        "conditional k < 3 then jump again",
        "declare_variables k: INT\nwhile_loop k < 2\nback:\nk = k + 1\nend_while\nconsole_print k\n"
        "conditional k < 4 then jump back",
        "declare_variables k: INT\nconditional k = 0\nmid:\nk = k + 1\nelse\nk = 100\nend_conditional\n"
        "console_print k\nconditional k < 3 then jump mid",
        // A literal, a name and a string expression stored; a target freed
        // and declared again as a DOUBLE; an element index out of range on
        // the last pass.
        "declare_variables v, w: INT\ndeclare_variables s: STRING\ndeclare_variables a[3]: INT\n"
        "counted_loop i, 0, 3\nconsole_print v, w, s\nv = 5\nw = v\ns = s + \"x\"\n"
        "conditional i = 1 then free_variables v\nconditional i = 1 then declare_variables v: DOUBLE\n"
        "v = v / 2 + i\na[i] = i * 2\nnext_step i",
        // An inline conditional evaluates its condition once per run, also
        // on the pass that first takes its else.
        "declare_function f(n: INT)\ncounted_loop i, 1, 3\nconditional f(i) then console_print \"y\" else "
        "console_print \"n\"\nconditional f(i + 10) then console_print \"odd\"\nnext_step i\njump finish\nf:\n"
        "console_print \"f\", n\nreturn n % 2\nfinish:",
        // Direct lines inside a subroutine, and a while left by a return.
        "declare_function f(n: INT)\nconsole_print f(3), f(5)\njump finish\nf:\nk = 0\nwhile_loop 1\nk = k + n\n"
        "conditional k > 10\nreturn k\nend_conditional\nend_while\nfinish:",
        // Returns of a name (one freed and declared again between calls),
        // an expression, a string, nothing, from an inline branch, and one
        // at the top level.
        "declare_variables g: INT\ndeclare_function f(n: INT)\ndeclare_function s(n: INT)\n"
        "declare_function e(n: INT)\ncounted_loop i, 1, 3\ng = i * 3\nconsole_print f(i), s(i), e(i)\n"
        "conditional i = 2 then free_variables g\nconditional i = 2 then declare_variables g: DOUBLE\n"
        "next_step i\nreturn 5\nf:\nconditional n = 2 then return n\nreturn g\ns:\nreturn \"s\"\ne:\n"
        "conditional n > 1 then return\nreturn n * 2 + 0.5",
        // Returns without a value and of a value with no result type,
        // after a call that left a result.
        "declare_variables m: MEMORY\ndeclare_function f(n: INT)\ndeclare_function g(n: INT)\n"
        "counted_loop i, 1, 4\nconsole_print f(i)\nnext_step i\njump finish\nf:\ncall g, n\n"
        "conditional n = 1 then return\nconditional n = 2 then return m\nconditional n > 2\nreturn m\n"
        "end_conditional\nreturn\ng:\nreturn n * 7\nfinish:",
        // Recursions deeper than the frames kept for them, a missing
        // argument in a kept frame, and a frame that cannot be kept.
        "declare_function d(n: INT, x: DOUBLE)\ndeclare_function t(n: INT, s: STRING)\n"
        "console_print d(100, 0.5), d(70, 1), d(3, 2), d(2)\nconsole_print t(5, \"a\"), t(2, \"c\")\n"
        "jump finish\nd:\nconditional n = 0 then return x\nreturn d(n - 1, x + n) + n\nt:\n"
        "conditional n = 0 then return s\nreturn t(n - 1, s + \"b\")\nfinish:",
        // Numeric expressions stored into every numeric type, past each
        // one's range, again on each pass (from the line's compiled form).
        "declare_variables c: CHAR\ndeclare_variables w: WORD\ndeclare_variables n: INT\n"
        "declare_variables u: UINT\ndeclare_variables f: FLOAT\ndeclare_variables d, x: DOUBLE\n"
        "declare_variables q: INT64\ndeclare_variables r: UINT64\ncounted_loop i, 1, 3\n"
        "x = i * 1000000000 - 1.5\nc = x / 7\nw = -x\nn = x * 3\nu = -x\nf = x / 3\nd = x / 3\nq = x * x\n"
        "r = -x * 10\nconsole_print c, w, n, u, f, d, q, r\nnext_step i",
        // A parameter made a constant in one call is a plain one in the
        // next, which reuses its record.
        "declare_function f(n: INT)\ncounted_loop i, 1, 3\nconsole_print f(i)\nnext_step i\njump finish\nf:\n"
        "declare_constants n = n * 7\nreturn n\nfinish:",
        // A return that fails in its expression, at its own line.
        "declare_function q(n: INT)\nconsole_print q(2), q(0)\njump finish\nq:\nreturn 10 / n\nfinish:",
        // INT destinations of numeric expressions: an element whose value
        // reads other elements of its array, the array named alone, an
        // index past the end; a division by zero; a constant.
        "declare_variables a[4], j: INT\ncounted_loop i, 0, 4\nj = 3 - i\na[i] = a[j] * 2 + i\n"
        "conditional i = 2 then a = 9\nconsole_print a[0], a[1], a[2], a[3], j\nnext_step i",
        "declare_variables n: INT\ncounted_loop i, 0, 3\nn = 10 / (2 - i) + n\nconsole_print n\nnext_step i",
        "declare_constants k = 3\ndeclare_variables n: INT\ncounted_loop i, 0, 2\nn = i * 2\n"
        "conditional i = 1 then k = n + 1\nconsole_print n, k\nnext_step i",
        // Whole-number expressions whose values leave 32 bits part of the
        // way (the lowest INT negated, products, sums), stored and tested.
        "declare_variables a, b, m: INT\nm = -2147483647 - 1\ncounted_loop i, 1, 3\na = m * i + 5\nb = -m + i\n"
        "conditional a * 2 > b - 2147483647 then console_print \"big\"\nconditional -m > i then console_print \"neg\"\n"
        "console_print a, b\nnext_step i",
        // A frame that is not kept (a string parameter) gives its records
        // back, and another call's kept frame takes some: the next call
        // from the same place gets other records for its parameters.
        "declare_function f(s: STRING, n: INT)\ndeclare_function g(m: INT)\ncounted_loop i, 1, 3\n"
        "console_print f(\"ab\", i)\nconsole_print g(i * 10)\nnext_step i\njump finish\nf:\nconsole_print s, n\n"
        "return n * 2\ng:\nreturn m + 1\nfinish:",
        // Whole-number returns, a minus zero among them, and one past 32
        // bits.
        "declare_function z(n: INT)\ndeclare_function w(n: INT)\ncounted_loop i, 0, 2\n"
        "console_print z(i), z(i - 1), w(i), w(i * 65536)\nnext_step i\njump finish\nz:\nreturn -n * 0\nw:\n"
        "return n * n % 7 - (n > 1)\nfinish:",
        // Returns of a name alone: a parameter at each level of a
        // recursion, a global INT, a DOUBLE, an INT array named alone; the
        // result variable that takes each, read after the call.
        "declare_variables g: INT\ndeclare_variables d: DOUBLE\ndeclare_variables a[3]: INT\n"
        "declare_function r(n: INT)\ndeclare_function pick(k: INT)\ng = 7\nd = 2.5\na[1] = 4\n"
        "counted_loop i, 0, 3\nconsole_print r(i), pick(i), SYSTEM_INT0, SYSTEM_DOUBLE0\nnext_step i\njump finish\n"
        "r:\nconditional n < 1 then return n\nreturn r(n - 1) + n\n"
        "pick:\nconditional k = 0 then return g\nconditional k = 1 then return d\nconditional k = 2 then return a\n"
        "SYSTEM_INT0 = -1\nreturn k\nfinish:",
        // Texts returned by calls among numbers: a place that held a text
        // then holds the number made from it.
        "declare_function s(n: INT)\ncounted_loop i, 1, 3\n"
        "console_print s(i) + s(i + 1), (s(i) = s(2)) + i * 2, s(3) = s(1), s(1) + s(2) + s(i)\n"
        "next_step i\njump finish\ns:\nconditional n = 2 then return \"bb\"\nreturn \"a\"\nfinish:",
        // INT destinations whose expressions leave the integers from one
        // pass to the next: a name that becomes a DOUBLE, a fraction, a
        // product past 32 bits.
        "declare_variables a[3], n, v: INT\ncounted_loop i, 0, 2\nconditional i = 1 then free_variables v\n"
        "conditional i = 1 then declare_variables v: DOUBLE\nv = i + 0.5\nn = v * 3 + i\na[i] = a[i] + v * 2 - n\n"
        "console_print n, v, a[i]\nn = n * 1000000 * 3000\nconsole_print n\nnext_step i",
        // Loops of one assignment, whose turns run together: an error on a
        // later turn, on integers and through the handler (an index past
        // the end); the counter moved by its own body; a call from the body
        // that prints, runs its own loop on the same counter, or never
        // comes back; a new variable made by the body; a step taken in a
        // conditional's branch; loops nested, and one in a subroutine.
        "declare_variables a[4]: INT\ncounted_loop i, 0, 5\na[i] = 12 / (3 - i)\nnext_step i\nconsole_print a[0]",
        "declare_variables a[4]: INT\ncounted_loop i, 0, 5\na[i] = i * 2\nnext_step i\nconsole_print a[3]",
        "declare_variables s: INT\ncounted_loop i, 1, 20, 3\ni = i + 1\nnext_step i\nconsole_print i, s\n"
        "counted_loop i, 10, 1, -2\ns = s * 2 + i\nnext_step i\nconsole_print i, s",
        "declare_variables s: INT\ndeclare_function f(n: INT)\ndeclare_function g(n: INT)\n"
        "counted_loop i, 1, 4\ns = s + f(i) * 10\nnext_step i\nconsole_print s, i\ncounted_loop i, 1, 9\n"
        "s = s + g(i)\nnext_step i\nconsole_print s, i\nconsole_print \"end\"\njump finish\nf:\nconsole_print \"f\", n\n"
        "return n % 3\ng:\ncounted_loop i, 1, 2\ns = s + 1\nnext_step i\nreturn 1\nfinish:",
        "declare_variables s: INT\ndeclare_function g(n: INT)\ncounted_loop i, 1, 9\ns = s + g(i)\nnext_step i\n"
        "console_print \"end\"\njump finish\ng:\nconditional n > 5 then jump finish\nreturn 1\nfinish:\n"
        "console_print \"at finish\", s, i",
        "counted_loop i, 1, 3\nnewname = i * 5\nnext_step i\nconsole_print newname",
        "declare_variables k: INT\ncounted_loop i, 1, 9\nk = k + i\nconditional k < 20 then next_step i\n"
        "console_print k, i",
        "declare_variables s: INT\ndeclare_function t(n: INT)\ncounted_loop j, 1, 3\ncounted_loop i, 1, j\n"
        "s = s + i * j\nnext_step i\nconsole_print t(j)\nnext_step j\nconsole_print s\njump finish\nt:\n"
        "declare_variables m: INT\ncounted_loop i, 1, n * 2\nm = m + i\nnext_step i\nreturn m + s\nfinish:",
        // Such loops on integers, whose names and elements are found once
        // for all their turns: an element read past the end, a value past
        // 32 bits on some turns only, a remainder by zero on a later turn;
        // a target that is its own operand's index; UINT counters, read or
        // not; an element written from another of its array, and the
        // array named alone after the loop.
        "declare_variables a[4], s: INT\na[2] = 5\ncounted_loop i, 0, 6\ns = s + a[i] * 2\nnext_step i\n"
        "console_print s, i",
        "declare_variables s: INT\ncounted_loop i, 1, 9\ns = s % 1000 + (i % 4) * 1000000000\nnext_step i\n"
        "console_print s",
        "declare_variables s: INT\ncounted_loop i, 1, 6\ns = s + 7 % (i - 3)\nnext_step i\nconsole_print s",
        "declare_variables a[6], k, s: INT\na[0] = 3\na[3] = 5\na[5] = 1\ncounted_loop i, 1, 7\nk = a[k]\n"
        "next_step i\nconsole_print k\ndeclare_variables u: UINT\ncounted_loop u, 1, 5\ns = s + u\nnext_step u\n"
        "counted_loop u, 1, 5\ns = s + 1\nnext_step u\nconsole_print s, u\ncounted_loop i, 0, 5\na[i] = a[k] + i\n"
        "next_step i\nconsole_print a[0], a[1], a[4], a[5], a\na = 9\nconsole_print a[0], a[1], a[5]",
        // An inner loop found again on each turn of the outer one, a step
        // down past the first element; a loop at each level of a recursion.
        "declare_variables a[4]: INT\ncounted_loop j, 0, 3\ncounted_loop i, 0, 3\na[j] = a[j] + i * j\nnext_step i\n"
        "next_step j\nconsole_print a[0], a[1], a[2], a[3]\ncounted_loop i, 3, -1, -1\na[i] = i - a[i]\nnext_step i",
        "declare_function r(n: INT)\nconsole_print r(4), r(2)\njump finish\nr:\ndeclare_variables m: INT\n"
        "counted_loop i, 1, n\nm = m + i * n\nnext_step i\nconditional n > 1 then m = m + r(n - 1)\nreturn m\nfinish:",
        // While loops of integer lines, whose turns run together: nested
        // block conditionals with elses; a remainder by zero in a
        // condition and in an assignment, an element past the end, on a
        // later turn; values past 32 bits on some turns and on most; a
        // loop of no turn, one with a line of another kind; numbers stored,
        // one into an element past the end; names copied, INTs and a
        // DOUBLE.
        "declare_variables i, a, b, c, n: INT\nn = 40\nwhile_loop i < n\ni = i + 1\nconditional i % 3 = 0\n"
        "a = a + i\nelse\nconditional i % 5 = 1\nb = b + 2\nelse\nc = c * 3 % 1000 + 1\nend_conditional\n"
        "end_conditional\nend_while\nconsole_print i, a, b, c",
        "declare_variables i, s: INT\nwhile_loop i < 9\ni = i + 1\nconditional 12 % (5 - i) < 1\ns = s + 1\n"
        "end_conditional\nend_while\nconsole_print s",
        "declare_variables i, s: INT\nwhile_loop i < 9\ni = i + 1\ns = s + 7 % (i - 6)\nend_while\nconsole_print s",
        "declare_variables a[5], i, s: INT\nwhile_loop i < 8\ns = s + a[i]\na[i] = i * 3\ni = i + 1\nend_while\n"
        "console_print s",
        "declare_variables a[5], i: INT\na[0] = 1\nwhile_loop a[i] > 0\ni = i + 1\na[i] = i * 2\nend_while\n"
        "console_print i",
        "declare_variables i, s, h: INT\nwhile_loop i < 12\ni = i + 1\ns = s % 1000 + (i % 4) * 1000000000\n"
        "end_while\nconsole_print s\ni = 0\nwhile_loop i < 60\ni = i + 1\nh = (h * 40999 + i) % 1000003\n"
        "end_while\nconsole_print h",
        "declare_variables i, k: INT\nwhile_loop i < 0\ni = i + 1\nend_while\nwhile_loop i < 3\ni = i + 1\n"
        "end_while\nwhile_loop i < 40\ni = i + 1\nconditional i % 7 = 0\nconsole_print i\nend_conditional\n"
        "k = k + i\nend_while\nconsole_print i, k",
        "declare_variables a[4], i, k: INT\nwhile_loop i < 6\nk = 010\nconditional i % 2 = 0\nk = -3\nend_conditional\n"
        "a[i] = 0x10 \ni = i + 1\nend_while\nconsole_print i, k, a[0], a[3]",
        "declare_variables a, b, t, i: INT\ndeclare_variables c[3]: INT\ndeclare_variables d: DOUBLE\na = 1071\n"
        "b = 462\nwhile_loop b <> 0\nt = b\nb = a % b\na = t\nend_while\nd = 2.5\nwhile_loop i < 3\nc[i] = a\n"
        "conditional i > 0\nt = d\nend_conditional\ni = i + 1\nend_while\nconsole_print a, t, c[0], c[2]",
        // Counted loops of such lines: a maximum found with a copy and an
        // else; steps down, a body that moves its counter, a UINT counter;
        // an element past the end and a remainder by zero on a later turn;
        // an inner loop entered again from an outer while loop.
        "declare_variables s, m, t: INT\ndeclare_variables a[5]: INT\na[0] = 4\na[1] = 9\na[2] = 1\na[3] = 7\n"
        "counted_loop i, 0, 4\nt = a[i] * 1\nconditional t > m\nm = t\nelse\ns = s + t\nend_conditional\nnext_step i\n"
        "console_print m, s, i\ncounted_loop i, 10, 0, -3\ns = s * 2 + i\nconditional s > 50\ns = s - 50\n"
        "end_conditional\nnext_step i\nconsole_print s, i\ncounted_loop i, 1, 20\ni = i + 2\ns = s + i\nnext_step i\n"
        "console_print s, i\ndeclare_variables u: UINT\ncounted_loop u, 1, 6\nm = m + 1\ns = s + m\nnext_step u\n"
        "console_print s, u",
        "declare_variables s: INT\ndeclare_variables a[3]: INT\ncounted_loop i, 0, 5\na[i] = i\ns = s + a[i]\n"
        "next_step i",
        "declare_variables s: INT\ncounted_loop i, 1, 6\ns = s + i\nconditional 7 % (4 - i) < 2\ns = s + 1\n"
        "end_conditional\nnext_step i",
        "declare_variables s, w: INT\nwhile_loop w < 5\ncounted_loop i, 1, w\ns = s + i * w\nconditional i = 2\n"
        "s = s + 1\nend_conditional\nnext_step i\nw = w + 1\nend_while\nconsole_print s, w, i",
        // Elements copied alone: into a name and into an element of the
        // same array, an index past the end on a later turn, and a DOUBLE
        // array's element, which the general path converts.
        "declare_variables a[5], b[5], m, s, t: INT\ndeclare_variables f[3]: DOUBLE\na[0] = 4\na[1] = 9\na[3] = 7\n"
        "f[1] = 2.5\nf[2] = 3.5\ncounted_loop i, 0, 4\nconditional a[i] > m\nm = a[i]\nelse\nb[i] = a[i]\n"
        "end_conditional\na[i] = a[s]\ns = i\nnext_step i\nconsole_print m, s, b[2], a[0], a[3], a[4]\ns = 0\n"
        "while_loop s < 3\nt = f[s]\nm = m + t\ns = s + 1\nend_while\nconsole_print m\ns = 0\nwhile_loop s < 9\n"
        "t = a[s]\ns = s + 1\nend_while",
        // An INT array as an index is read at its first element, wherever
        // another reference left it selected.
        "declare_variables a[5], ia[3], x: INT\nia[0] = 1\nia[2] = 4\na[1] = 10\na[4] = 40\ncounted_loop i, 1, 3\n"
        "x = a[ia] + ia[2]\na[ia] = x\nconsole_print x\nnext_step i",
        // Inline conditionals: an else first taken on a later turn, a
        // branch with no else, a remainder by zero in a branch and an
        // element past the end as a branch's target.
        "declare_variables a[4], s, t, k: INT\ncounted_loop i, 0, 6\nconditional i < 4 then s = s + i else t = t + 1\n"
        "conditional i = 5 then k = 7\nnext_step i\nconsole_print s, t, k\nk = 4\nwhile_loop k > -3\n"
        "conditional k < 9 then s = s + 12 % k else s = 0\nk = k - 1\nend_while",
        "declare_variables a[4], s: INT\ncounted_loop i, 0, 6\nconditional i > 1 then a[i] = s else s = a[i] + 5\n"
        "s = s + i\nnext_step i",
        // Elements indexed by an expression: neighbours in a counted loop
        // and a while loop (the last turn past the end), blanks and a minus
        // around them, a DOUBLE index truncated, an index past 32 bits, a
        // DOUBLE array, an INT scalar, and an array freed and declared
        // again as DOUBLEs between passes.
        "declare_variables a[6], b[6], s, j: INT\ncounted_loop i, 0, 5\na[i] = i * i\nnext_step i\n"
        "counted_loop i, 1, 5\nb[i] = b[i - 1] + a[i]\nnext_step i\nj = 2\nconsole_print b[5], a[2 * j - j] + 0\n"
        "j = 0\nwhile_loop j < 5\ns = s * 2 - a[ j+1 ] + -a[2 * j - j]\nj = j + 1\nend_while\nconsole_print s\n"
        "j = 3\nwhile_loop j < 9\ns = s + a[j + 1]\nj = j + 1\nend_while",
        "declare_variables a[4], j, s: INT\ndeclare_variables d: DOUBLE\ndeclare_variables f[3]: DOUBLE\n"
        "a[2] = 5\na[0] = 9\nf[2] = 1.5\nd = 1.7\nconsole_print a[d + 1], a[d - 2.6], f[d + 1] * 2\n"
        "j = 1073741824\nconsole_print a[j * 4 + 2]",
        "declare_variables x, j: INT\nconsole_print x[j + 0]",
        "declare_variables f[3]: DOUBLE\ndeclare_variables d: DOUBLE\nd = 2\nconsole_print f[d - 2] + f[d + 1]",
        "declare_variables a[6], s, i: INT\ncounted_loop i, 0, 6\nconditional i = 2 then free_variables a\n"
        "conditional i = 2 then declare_variables a[6]: DOUBLE\na[i] = i / 2\ns = s + a[i - 0] * 4\n"
        "console_print s\nnext_step i",
        // An index naming no variable, one naming a function (run once
        // per read), and an array that is a function's.
        "declare_variables a[3]: INT\nconsole_print a[q + 1]",
        "declare_variables a[3]: INT\ndeclare_function f()\na[2] = 8\nconsole_print a[f + 1]\njump finish\nf:\n"
        "console_print \"f\"\nreturn 1\nfinish:\nconsole_print zz[f + 1]",
        // Such elements as targets and copied alone: a sort's swap, a
        // target past the end on a later turn, DOUBLE arrays both ways;
        // and indices that call a function which runs the same line
        // again, whose texts the outer run must not cut.
        "declare_variables a[6], i, j, t: INT\na[0] = 5\na[1] = -2\na[2] = 9\na[4] = 9\na[5] = 3\n"
        "counted_loop i, 0, 4\ncounted_loop j, 0, 4 - i\nconditional a[j] > a[j + 1]\nt = a[j]\na[j] = a[j + 1]\n"
        "a[j + 1] = t\nend_conditional\nnext_step j\nnext_step i\nconsole_print a[0], a[1], a[2], a[3], a[4], a[5]",
        "declare_variables a[4], b[4], j: INT\nwhile_loop j < 9\na[j * 2 - j] = j\nb[j + 0] = a[j - 0]\nj = j + 1\n"
        "end_while",
        "declare_variables f[3]: DOUBLE\ndeclare_variables a[3], k: INT\nf[1] = 2.75\ncounted_loop k, 0, 2\n"
        "f[k + 0] = k / 4\na[k + 0] = f[2 - k]\nnext_step k\nconsole_print f[0], f[1], f[2], a[0], a[1], a[2]",
        "declare_variables a[6], b[6], d: INT\ndeclare_function g()\nconsole_print g()\n"
        "console_print a[0], a[1], a[2], a[3], a[4], a[5], b[0], b[1], b[2], b[3]\njump finish\ng:\nd = d + 1\n"
        "conditional d > 3 then return d - 3\na[g + 1] = d\nb[d - 1] = a[g + 0]\nreturn d - 3\nfinish:",
        "declare_variables a[6], b[6], d: INT\ndeclare_function g()\na[0] = 10\na[1] = 11\na[3] = 13\n"
        "console_print g()\nconsole_print b[0], b[1], b[2], b[3]\njump finish\ng:\nd = d + 1\n"
        "conditional d > 3 then return 1\nb[d] = a[g + 0]\nreturn d\nfinish:",
        // Such loops entered again from an outer loop, nested in each
        // other, at each level of a recursion and left by its return.
        "declare_variables j, k, s: INT\ncounted_loop i, 1, 4\nj = 0\nwhile_loop j < i\nk = 0\nwhile_loop k < j\n"
        "s = s + k * i\nk = k + 1\nend_while\nj = j + 1\nend_while\nnext_step i\nconsole_print s, j, k",
        "declare_function r(n: INT)\nconsole_print r(5), r(3)\njump finish\nr:\ndeclare_variables m, k: INT\n"
        "while_loop k < n\nk = k + 1\nm = m + k * n\nend_while\nconditional n > 1\nm = m + r(n - 1)\n"
        "end_conditional\nreturn m\nfinish:",
        "declare_variables a[6]: INT\ndeclare_function r(n: INT)\na[3] = 4\na[4] = 10\nconsole_print r(5)\n"
        "jump finish\nr:\nconditional n < 1 then return a[n + 0]\nreturn a[n - 1] + r(n - 1) * 2\nfinish:",
        // Elements of several indices in kept loops: a product of
        // matrices, a transpose in place; an index name declared again as
        // a DOUBLE, and the array again with other dimensions, between
        // turns.
        "declare_variables x[3, 3], y[3, 3], z[3, 3], i, j, k, t: INT\ncounted_loop i, 0, 2\ncounted_loop j, 0, 2\n"
        "x[i, j] = i + j * 2\ny[j, i] = i * 3 - j\nnext_step j\nnext_step i\ncounted_loop i, 0, 2\n"
        "counted_loop j, 0, 2\ncounted_loop k, 0, 2\nz[i, j] = z[i, j] + x[i, k] * y[k, j]\nnext_step k\n"
        "next_step j\nnext_step i\ncounted_loop i, 0, 1\ncounted_loop j, i + 1, 2\nt = z[i, j]\n"
        "z[i, j] = z[j, i]\nz[j, i] = t\nnext_step j\nnext_step i\n"
        "console_print z[0, 0], z[0, 1], z[1, 0], z[1, 2], z[2, 1], z[2, 2]",
        "declare_variables m[3, 3], k, t: INT\ncounted_loop i, 0, 2\nconditional i = 1 then free_variables k\n"
        "conditional i = 1 then declare_variables k: DOUBLE\nm[i, k] = i\nt = t + m[k, i]\nconsole_print t\n"
        "next_step i",
        "declare_variables m[2, 5], s: INT\ncounted_loop i, 0, 3\nconditional i = 2 then free_variables m\n"
        "conditional i = 2 then declare_variables m[5, 2]: INT\nm[i, 1] = i\ns = s + m[1, i - i + 1] * 2 + m[i, 1]\n"
        "console_print s\nnext_step i",
        // Loops of one assignment to an element whose indices move each
        // turn, the last past the end.
        "declare_variables m[3, 3], a[4]: INT\ncounted_loop i, 0, 2\ncounted_loop j, 0, 2\nm[i, j] = i * 3 + j\n"
        "next_step j\nnext_step i\ncounted_loop j, 0, 5\na[j % 4 + 0] = a[(j + 3) % 4] + j\nnext_step j\n"
        "console_print m[0, 2], m[1, 1], m[2, 0], m[2, 2], a[0], a[1], a[2], a[3]\ncounted_loop j, 0, 3\n"
        "m[j, j - 1 + 1] = j * 7\nnext_step j",
        // Indices divided by a name that comes to zero on a later turn.
        "declare_variables a[6], n: INT\nn = 3\ncounted_loop k, 1, 4\nn = n - 1\na[k % n] = k\n"
        "console_print a[0], a[1]\nnext_step k",
        "declare_variables a[6], n, t, s: INT\nn = 3\nwhile_loop n > -2\nn = n - 1\ns = s + 1\nt = a[s % n]\n"
        "a[s / n] = t + 1\nend_while",
    };
    for (const char* p : programs) runBothWays(p, "kept lines");
}

// Elements indexed by an expression, of an INT and of a DOUBLE array, read
// in an expression, assigned and copied alone, each three times (the
// handler's run, then the kept line's): indices in range, truncated from
// a DOUBLE, negative, past the end, past 32 bits, naming no variable,
// naming a function, with blanks; with a division, a remainder and
// parentheses, by zero too.
TEST(Caches, ElementsIndexedByExpressionsRunAlike)
{
    static const char* const indices[] = {
        "i + 1", "i - 3", "d + 1", "d - 2.5", "-d + 2", "i * 3 - 4", "n * 1073741824 + 1", "q + 1", "f + 0",
        " i+i ", "i - i", "i % 3", "(i + 1) / 2", "d / 2", "-i % 4 + 3", "i % 0", "i / (1 - 1)", "(i + 1",
        "i % n", "(i + 1) / (n - 4)"};
    static const char* const uses[] = {
        "counted_loop k, 1, 3\nt = t + @ * 2\nnext_step k\nconsole_print t",
        "counted_loop k, 1, 3\n@ = k * 5\nnext_step k",
        "counted_loop k, 1, 3\nt = @\nnext_step k\nconsole_print t",
    };
    for (const char* array : {"a", "g"})
        for (const char* index : indices)
            runInEachUse(std::string(array) + "[" + index + "]", uses,
                         "declare_variables a[4], i, n, k, t: INT\ndeclare_variables g[4], d: DOUBLE\n"
                         "declare_function f()\na[1] = 10\na[2] = 20\na[3] = 30\ng[1] = 1.5\ng[3] = 3.5\n"
                         "i = 2\nd = 1.5\nn = 4\n",
                         "\nconsole_print a[0], a[1], a[2], a[3], g[0], g[1], g[2], g[3]\n"
                         "jump finish\nf:\nconsole_print \"f\"\nreturn 1\nfinish:");
}

// Remainders by constants, which the integer moves take through the
// divisor's reciprocal, against C's remainder and the doubles' run: both
// signs of dividend and divisor, 32 bits' edges, 1 and 0.
TEST(Caches, RemaindersByConstantsRunAlike)
{
    static const int64_t dividends[] = {INT32_MIN, -1000000007, -1001, -7, -1, 0, 6, 7, 999, 2147483646, INT32_MAX};
    static const int64_t divisors[] = {2, 3, 7, -7, 10, 1000, 65536, 1000000007, INT32_MAX, -INT32_MAX, 1, -1};
    // Twice over, so that each line also runs from its kept form.
    std::string source = "declare_variables a, r, k: INT\ncounted_loop k, 1, 2\n", want;
    for (const int64_t a : dividends) {
        source += "a = " + std::to_string(a) + "\n";
        for (const int64_t d : divisors) {
            source += "r = a % " + std::to_string(d) + "\nconsole_print r\n";
            want += std::to_string(a % d) + " \n";
        }
    }
    want += want;
    source += "next_step k\nr = a % 0\n";
    const RunResult r = runBothWays(source, "remainders");
    EXPECT_EQ(want, r.output);
    EXPECT_EQ(ErrDivideByZero, r.error);
}

// Names and elements read only to be added, which the integer moves fold
// into the addition: negated, several in a row, past 32 bits (the doubles
// take over), an element out of range, a DOUBLE; in a loop of one
// assignment, in a loop of integer lines and in a condition.
TEST(Caches, AddedNamesAndElementsRunAlike)
{
    static const char* const sums[] = {
        "t + i", "t + a[i]", "t + -i", "t + -a[i]", "i + t + a[1]", "t + a[i] + a[i - 1] + i", "(t + i) * 2 + a[0]",
        "t + b", "t + a[i + 2]", "t + d", "t + a[1] - i", "t - -a[i]"};
    static const char* const uses[] = {
        "counted_loop i, 1, 3\nt = @\nnext_step i\nconsole_print t",
        "counted_loop i, 1, 3\nt = @\nu = u + 1\nnext_step i\nconsole_print t, u",
        "counted_loop i, 1, 3\nconditional @ > 40 then console_print i\nnext_step i",
    };
    for (const char* sum : sums)
        runInEachUse(sum, uses,
                     "declare_variables a[4], i, t, u, b: INT\ndeclare_variables d: DOUBLE\na[0] = 7\na[1] = 10\n"
                     "a[2] = 20\na[3] = 30\nt = 5\nb = 2147483600\nd = 1.5\n");
}

// Elements of several indices, and of a number alone, read in an
// expression, assigned and copied alone as above: names, numbers (octal
// and hex as the full lookup reads them) and expressions as indices, in
// and out of range; a DOUBLE name (refused) and a DOUBLE expression
// (truncated); an INT array as an index; a name of no variable or of a
// function; more indices than the array has, and more than three.
TEST(Caches, ElementsOfSeveralIndicesRunAlike)
{
    static const char* const elements[] = {
        "m[1, 2]", "m[i, j]", "m[i - 1, j + 1]", "m[j, i]", "m[0x1, 03]", "m[d, 1]", "m[d + 0, 1]",
        "m[i, q]", "m[f, 1]", "m[f + 0, 1]", "m[1, 2, 0]", "m[i,j]", "m[ i , j - 2 ]", "m[ia, 1]",
        "m[1, 2, 3, 4]", "m[n * 1073741824 + 1, 0]", "m[2]", "m[1, ]", "h[i, j - 1]", "h[d * 2, 3]",
        "h[2, 4]", "e[1, 3]", "e[3, 1]", "c[1, 2, 1]", "c[i - 1, j - 2, 1]", "c[1, 3, 0]", "a[2]", "a[0x3]",
        "a[010]", "a[0xA]", "g[1 ]", "a[12]", "a[2x]",
    };
    static const char* const uses[] = {
        "counted_loop k, 1, 3\nt = t + @ * 2\nnext_step k\nconsole_print t",
        "counted_loop k, 1, 3\n@ = k * 5\nnext_step k",
        "counted_loop k, 1, 3\nt = @\nnext_step k\nconsole_print t",
    };
    for (const char* element : elements)
        runInEachUse(element, uses,
                     "declare_variables m[3, 4], c[2, 3, 2], a[12], ia[2], i, j, n, k, t: INT\n"
                     "declare_variables h[3, 4], e[4, 2], g[4], d: DOUBLE\ndeclare_function f()\n"
                     "counted_loop i, 0, 2\ncounted_loop j, 0, 3\nm[i, j] = i * 10 + j\nh[i, j] = i + j / 4\n"
                     "next_step j\nnext_step i\nc[1, 2, 1] = 5\ne[3, 1] = 3.5\na[2] = 20\na[3] = 30\n"
                     "a[8] = 80\na[10] = 100\ng[1] = 1.5\nia[0] = 2\nia[1] = 9\ni = 2\nj = 3\nd = 1.5\nn = 4\n",
                     "\nconsole_print m[1, 2], m[2, 3], m[0, 1], h[2, 3], c[1, 2, 1], a[2], a[3], a[8], a[10]\n"
                     "console_print g[1]\njump finish\nf:\nconsole_print \"f\"\nreturn 1\nfinish:");
}

// A return of the current window alone gives no result (0 to the caller),
// not the window's number, with caches and without.
TEST(Caches, ReturnOfTheCurrentWindowGivesNoResult)
{
    for (const bool caches : {false, true}) {
        auto o = prepareProgram("declare_function w(n: INT)\nconsole_print w(1), w(2) + 1\njump finish\nw:\n"
                                "return {xFE}{xE4}{xE8}\nfinish:");
        ASSERT_TRUE(o);
        o->useCaches = caches;
        o->setCurrentWindow(reinterpret_cast<void*>(0x7000));
        const RunResult r = runPrepared(*o);
        EXPECT_EQ("0 1 \n", r.output) << caches;
        EXPECT_EQ(0, r.error) << caches;
    }
}

// A line keeps its compiled expression in the expression cache: a host
// that empties the cache between runs leaves no line pointing into it.
TEST(Caches, LinesLetGoOfAnEmptiedCache)
{
    auto o = prepareProgram("declare_function f(x: INT)\nconsole_print f(2)\njump finish\nf:\n"
                            "return x * 10 + 1\nfinish:");
    ASSERT_TRUE(o);
    EXPECT_EQ("21 \n", runPrepared(*o).output);
    o->freeExpressions();
    o->errorCode = 0;
    EXPECT_EQ(31, o->evaluate("f(3)"));
    EXPECT_EQ(0, o->errorCode);
}

// Numeric expressions with calls among them, in every place: calls of
// subroutines that return numbers, texts or nothing, that change or free
// a variable the expression reads, with arguments that are groups, calls
// and literals, a minus on a call, a call of no label.
TEST(Caches, CallsInNumericExpressionsRunAlike)
{
    static const char* const operands[] = {
        "a",          "b",         "2",         "0",        "-3",       "1.5",
        "arr[1]",     "(a - 1)",   "f(a - 1, 2)", "f(b * 2, a + 1)", "t(a + 0)", "t(1)",
        "k(2)",       "n(1)",      "-f(1, 2)",  "(f(a + 1, 1) * 2)", "f(f(a - 1, 1) + 0, 3)", "nolabel(1)",
        "(t(0) + t(1))", "z(1)",   "f(2, -1) % (a - 3)"};
    static const char* const ops[] = {" + ", " - ", " * ", " / ", " % ", " = ", " < ", " & "};
    std::mt19937 rng(77);
    const auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 300; ++round) {
        std::string text =
            "declare_variables a, b: INT\ndeclare_variables arr[3]: INT\ndeclare_function f(x: INT, y: INT)\n"
            "declare_function t(x: INT)\ndeclare_function k(x: INT)\ndeclare_function n(x: INT)\n"
            "declare_function z(x: INT)\na = 3\nb = 4\narr[1] = 7\ncounted_loop i, 1, 3\n";
        for (int line = 0; line < 4; ++line) {
            std::string e = operands[pick(std::size(operands))];
            for (size_t m = pick(4); m > 0; --m) e += std::string(ops[pick(std::size(ops))]) + operands[pick(std::size(operands))];
            text += (pick(2) ? "console_print " : "b = ") + e + "\n";
        }
        text += "next_step i\njump finish\nf:\nreturn x * 2 + y\nt:\nconditional x > 2 then return \"big\"\n"
                "return \"t\"\nk:\na = a + x\nconsole_print \"k\", a\nreturn a\nn:\nreturn\nz:\nfree_variables a\n"
                "return 1\nfinish:";
        runBothWays(text, "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) break;   // one program's report is enough
    }
}

// A line of a program, what it prints and the error it ends with.
struct LineCase {
    const char* line;
    const char* output;
    int error;
    int errorLine = 0;   // 0: the table's
};

// A case's program run both ways (runBothWays) against the case's written
// output and error, which stands at its errorLine, or else at errorLine.
void expectLineCase(const LineCase& c, const std::string& source, int errorLine = 0)
{
    const RunResult r = runBothWays(source, c.line);
    EXPECT_EQ(c.output, r.output) << c.line;
    EXPECT_EQ(c.error, r.error) << c.line;
    if (c.error) {
        EXPECT_EQ(c.errorLine ? c.errorLine : errorLine, r.line) << c.line;
    }
}

// What calls among numeric moves give, written out and the same both ways:
// numbers, texts joined and compared, no value, calls made in order, nested
// calls, a fraction passed to an INT, and the errors of a text with a
// number and of a zero divisor, reported at the line (the sixth).
TEST(Caches, CallsAmongMovesGiveTheirValues)
{
    const LineCase cases[] = {
        {"console_print f(2, 3) + f(1, 1)", "10 \n", 0},
        {"console_print t(1) + t(5)", "tbig\n", 0},
        {"console_print t(1) = t(1), t(1) < t(5)", "1 0 \n", 0},
        {"console_print n(1) + 2", "2 \n", 0},
        {"console_print k(1) * 10 + k(1)", "12 \n", 0},
        {"console_print f(f(1, 1) + 0, 0) - 1", "5 \n", 0},
        {"console_print f(1.5, 2) + 0", "4 \n", 0},
        {"console_print t(1) + 1", "", ErrMalformed},
        {"console_print f(2, 1) % f(0, 0)", "", ErrDivideByZero},
    };
    for (const auto& c : cases) {
        const std::string source =
            "declare_variables a: INT\ndeclare_function f(x: INT, y: INT)\ndeclare_function t(x: INT)\n"
            "declare_function k(x: INT)\ndeclare_function n(x: INT)\n" + std::string(c.line) +
            "\njump finish\nf:\nreturn x * 2 + y\nt:\nconditional x > 2 then return \"big\"\nreturn \"t\"\nk:\n"
            "a = a + x\nreturn a\nn:\nreturn\nfinish:";
        expectLineCase(c, source, 6);
    }
}

// Calls run again where their subroutine was found before, each line three
// turns: the first finds the label, the later ones take it from the site,
// with their numbers passed from their places and their results read from
// where they are held. The values of every result type, none, a text;
// arguments that an INT cannot take whole, names of each type, a name gone
// by the next turn, a name too long for an argument, a text between two
// numbers, more arguments than parameters or fewer: the same both ways.
TEST(Caches, CallsFoundBeforeGiveTheirValues)
{
    const std::string longName = "console_print f(" + std::string(300, 'q') + ", 1)";
    const LineCase cases[] = {
        {"console_print f(2, 3) + f(1, 1)", "10 \n10 \n10 \ne\n", 0},
        {"console_print f(a, i)", "5 \n6 \n7 \ne\n", 0},
        {"console_print t(i) + t(5)", "tbig\ntbig\nbigbig\ne\n", 0},
        {"console_print t(i)", "t\nt\nbig\ne\n", 0},
        {"console_print n(i) + 1", "1 \n1 \n1 \ne\n", 0},
        {"console_print n(i)", "0 \n0 \n0 \ne\n", 0},
        {"console_print d(1.5) * i", " 1.50\n3 \n 4.50\ne\n", 0},
        {"console_print f(1.5, 2.5)", "4 \n4 \n4 \ne\n", 0},
        {"console_print w(i) + 1", " 1.25\n 1.25\n 1.25\ne\n", 0},
        {"console_print f(3000000000, 0) * 1", "-2589934592 \n-2589934592 \n-2589934592 \ne\n", 0},
        {"console_print e(i) + 1", "e\n1 \n", 0},
        {"console_print f(dv, i)", "5 \n6 \n7 \ne\n", 0},
        {"console_print f(ar[i], i)", "21 \n32 \n", ErrRange},
        {"console_print s(sv)", "ab\nab\nab\ne\n", 0},
        {"console_print d(i)", "1 \n2 \n3 \ne\n", 0},
        {"console_print f(u, i)\nfree_variables u", "1 \n", ErrUndefined},
        {"console_print s(i) + \"!\"", "", ErrType},
        {"console_print v(1) + 1", "", ErrMalformed},
        {longName.c_str(), "", ErrUndefined},
        {"console_print m(i, sv, i)", "ab\n11 \nab\n22 \nab\n33 \ne\n", 0},
        {"console_print f(i) + f(1, 2, 3)", "6 \n8 \n10 \ne\n", 0},
    };
    for (const auto& c : cases) {
        const std::string source =
            "declare_variables a, v, u: INT\ndeclare_variables fl: FLOAT\ndeclare_variables dv: DOUBLE\n"
            "declare_variables sv: STRING\ndeclare_variables ar[3]: INT\ndeclare_function f(x: INT, y: INT)\n"
            "declare_function t(x: INT)\ndeclare_function n(x: INT)\ndeclare_function d(x: DOUBLE)\n"
            "declare_function s(x: STRING)\ndeclare_function w(x: INT)\ndeclare_function e(x: INT)\n"
            "declare_function m(x: INT, y: STRING, z: DOUBLE)\n"
            "a = 2\nfl = 0.25\ndv = 2.75\nsv = \"ab\"\nar[1] = 10\nar[2] = 15\ncounted_loop i, 1, 3\n" + std::string(c.line) +
            "\nnext_step i\njump finish\nf:\nreturn x * 2 + y\nt:\nconditional x > 2 then return \"big\"\n"
            "return \"t\"\nn:\nreturn\nd:\nreturn x\ns:\nreturn x\nw:\nreturn fl\nm:\nconsole_print y\n"
            "return x * 10 + z\nfinish:\n"
            "e:\nconsole_print \"e\"";   // the program ends through e, which a call runs off the end
        expectLineCase(c, source, 21);
    }
}

// Functions whose first line returns an integer expression of their INT
// parameters, or returns one or a parameter when a condition on them holds,
// which later turns call without a frame: their results,
// SYSTEM_DOUBLE0, and what takes the frame again (a zero, a remainder by
// zero, a program variable, an element, a value past 32 bits, a DOUBLE
// parameter, a nested call, its line run in another subroutine's frame):
// the same both ways, errors at the same line. (A control stack too full:
// ControlFlow.CallDepthLimit.)
TEST(Caches, OneLineFunctionsRunAlike)
{
    const LineCase cases[] = {
        {"console_print f(i, 2), SYSTEM_DOUBLE0", "5 5 \n8 8 \n11 11 \n", 0, 0},
        {"s = f(a, i) + f(i, 0 - i)\nconsole_print s", "9 \n12 \n15 \n", 0, 0},
        {"console_print f(f(i, 1), i) + o()", "55 \n65 \n75 \n", 0, 0},
        {"console_print f(dv, i) + f(i)", "10 \n14 \n18 \n", 0, 0},
        {"console_print z(6, 3 - i)", "0 \n0 \n", ErrDivideByZero, 29},
        {"console_print z(i, 2) - 1", "0 \n-1 \n0 \n", 0, 0},
        {"console_print h(i)", "101 \n102 \n103 \n", 0, 0},
        {"console_print e(i)", "10 \n15 \n0 \n", 0, 0},
        {"console_print v(i)", "1000000000 \n2000000000 \n3000000000 \n", 0, 0},
        {"console_print d(i)", "2 \n4 \n6 \n", 0, 0},
        {"console_print f(sv, i)", "", ErrType, 23},
        {"console_print j(1, 2) + f(i, 2)", "12 \n15 \n18 \n", 0, 0},
        {"console_print fb(i + 5), SYSTEM_INT0", "8 0 \n13 1 \n21 0 \n", 0, 0},
        {"console_print t(i), t(i - 3), t(i + 1)", "1 -2 2 \n2 -1 30 \n30 0 40 \n", 0, 0},
        {"console_print u(i - 2)", "-1 \n", ErrDivideByZero, 49},
    };
    for (const auto& c : cases) {
        const std::string source =
            "declare_variables a, gl, s: INT\ndeclare_variables dv: DOUBLE\ndeclare_variables sv: STRING\n"
            "declare_variables ar[3]: INT\ndeclare_function f(x: INT, y: INT)\ndeclare_function z(x: INT, y: INT)\n"
            "declare_function o()\ndeclare_function h(x: INT)\ndeclare_function e(x: INT)\n"
            "declare_function v(x: INT)\ndeclare_function d(x: DOUBLE)\n"
            "declare_function j(y: INT, x: INT)\ndeclare_function fb(n: INT)\ndeclare_function t(x: INT)\n"
            "declare_function u(x: INT)\n"
            "a = 2\ngl = 100\ndv = 2.75\nsv = \"ab\"\nar[1] = 10\nar[2] = 15\ncounted_loop i, 1, 3\n" +
            std::string(c.line) +
            "\nnext_step i\njump finish\nf:\nreturn (x * 3 + y) % 1009\nz:\nreturn x % y\no:\nreturn 7 * 6\n"
            "h:\nreturn x + gl\ne:\nreturn ar[x % 3]\nv:\nreturn x * 1000000000\nd:\nreturn x * 2\n"
            "j:\njump f\n"
            "fb:\nconditional n < 2 then return n\nreturn fb(n - 1) + fb(n - 2)\n"
            "t:\nconditional x > 2 then return x * 10 else return x\nreturn 0 - x\n"
            "u:\nconditional 7 % x > 0 then return 7\nreturn x\nfinish:";
        expectLineCase(c, source);
    }
}

// Second lines that return an expression with calls after a first-line
// condition that did not hold, which run without a frame until a lookup
// needs one: with and without caches, against their written results.
TEST(Caches, SecondLinesRunAlike)
{
    const LineCase cases[] = {
        {"console_print fb(i + 6), SYSTEM_DOUBLE0", "13 13 \n21 21 \n34 34 \n", 0, 0},
        {"console_print fb(), fb(i + 2, 9)", "0 2 \n0 3 \n0 5 \n", 0, 0},
        // w frees a name: what was found outside is looked up again, in the
        // frame made then, not in the caller's scope (cg).
        {"console_print fw(i + 1)", "2015 \n3027 \n4043 \n", 0, 0},
        {"console_print cg(i)", "2065 \n2065 \n2065 \n", 0, 0},
        {"console_print fp(i, i * 2), jp(2, i) + fp(i, 2)", "23 46 \n96 108 \n219 190 \n", 0, 0},
        {"console_print pk(i), fv(i + 1)", "1000 3 \n1000 6 \n1000 10 \n", 0, 0},
        {"console_print fs(i)", "xx\nxxx\nxxxxx\n", 0, 0},
        {"console_print fe(i)", "", ErrDivideByZero, 41},
        {"console_print fz(i)", "-5 \n", ErrDivideByZero, 45},
    };
    for (const auto& c : cases) {
        const std::string source =
            "declare_variables gl, n: INT\ndeclare_function fb(n: INT)\ndeclare_function fw(n: INT)\n"
            "declare_function w(p: INT)\ndeclare_function pk(z: INT)\ndeclare_function fv(n: INT)\n"
            "declare_function fs(n: INT)\ndeclare_function fe(n: INT)\ndeclare_function fz(n: INT)\n"
            "declare_function cg(x: INT)\ndeclare_function fx(m: INT)\ndeclare_function fp(a: INT, b: INT)\n"
            "declare_function jp(b: INT, a: INT)\ngl = 3\nn = 1000\ncounted_loop i, 1, 3\n" +
            std::string(c.line) +
            "\nnext_step i\njump finish\n"
            "fb:\nconditional n < 2 then return n\nreturn fb(n - 1) + fb(n - 2)\n"
            "fw:\nconditional n < 1 then return gl\nreturn (gl * n) + w(n + 0) + fx(n - 1)\nfx:\nreturn fw(m)\n"
            "w:\ndeclare_variables t: INT\nfree_variables t\nreturn p + 1000\n"
            "pk:\nreturn n\n"
            "fv:\nconditional n < 1 then return 0\nreturn fv(n - 1) + pk(n + 0) + (n - 1000)\n"
            "fs:\nconditional n < 1 then return \"x\"\nreturn fs(n - 1) + fs(n - 2)\n"
            "fe:\nconditional n < 1 then return 10 % n\nreturn fe(n - 1) + 1\n"
            "fz:\nconditional n < 1 then return 0\nreturn fz(n - 1) + 5 / (n - 2)\n"
            "cg:\ndeclare_variables fx: INT\nfx = 50\nreturn fw(2) + fx\n"
            "fp:\nconditional a < 1 then return b\nreturn fp(a - 1, b + 1) + (b * 10)\njp:\njump fp\n"
            "finish:";
        expectLineCase(c, source);
    }
}

// Random while and counted loops of integer lines, the loops whose turns
// run together: INT names and elements in every operation, block and
// inline conditionals with elses, numbers stored, names and elements copied,
// loops nested and entered again, and now and then what ends a turn early
// (a line of another kind, a DOUBLE, a value past 32 bits, an index past
// the end, a remainder by zero). Only a loop's own step writes its
// counter: every loop ends.
class IntegerLoopMaker : public RandomPicks {
public:
    explicit IntegerLoopMaker(unsigned seed) : RandomPicks(seed) {}

    std::string program()
    {
        std::string text = "declare_variables a[6], b[3], m[3, 2], s, k, j, w0, w1: INT\n"
                           "declare_variables d: DOUBLE\na[1] = 3\na[2] = -5\nm[1, 1] = 4\nk = 2\nd = 1.5\n";
        const bool outer = pick(3) == 0;
        if (outer) text += "counted_loop i, 1, 3\n";
        text += loop(0);
        if (outer) text += "next_step i\n";
        return text + "console_print s, k, j, w0, a[0], a[1], a[2], a[3], a[4], a[5], b[0], b[1], b[2]\n"
                      "console_print m[0, 0], m[1, 0], m[2, 0], m[0, 1], m[1, 1], m[2, 1]\n";
    }

private:

    template <size_t N>
    const char* any(const char* const (&items)[N])
    {
        return items[pick(static_cast<int>(N))];
    }

    std::string loop(int depth)
    {
        const std::string w = "w" + std::to_string(depth);
        if (pick(2))
            return "counted_loop " + w + ", " + std::to_string(pick(3)) + ", " + std::to_string(pick(7)) + "\n" +
                   body(depth, 0) + "next_step " + w + "\n";
        return w + " = " + std::to_string(pick(3)) + "\nwhile_loop " + w + " < " + std::to_string(pick(7)) + "\n" +
               body(depth, 0) + w + " = " + w + " + " + std::to_string(pick(2) + 1) + "\nend_while\n";
    }

    std::string expression()
    {
        static const char* const operands[] = {
            "s", "k", "j", "w0", "a[w0]", "a[k]", "b[w0]", "1", "3", "7", "-1", "(s + 1)", "65536",
            "1000000000", "s", "j", "a[w0]", "a[w0 + 1]", "b[k - w0]", "a[ 2*j+1 ]", "a[d + w0]", "m[w0, k % 2]",
            "m[j, 1]", "a[s % 6]", "a[(w0 + 1) / 2]", "m[w0 - 1, (s + 1) % 2]"};
        static const char* const ops[] = {" + ", " - ", " * ", " % ", " < ", " = ", " > ", " + "};
        std::string text = any(operands);
        for (int n = pick(3) + 1; n > 0; --n) text += any(ops) + std::string(any(operands));
        return text;
    }

    std::string body(int loopDepth, int depth)
    {
        static const char* const targets[] = {"s", "s", "k", "j", "a[w0]", "a[w0]", "b[w0]", "a[k]", "a[w0 + 1]",
                                              "b[k - w0]", "m[w0, 1]", "m[k, w0 % 2]", "a[3]"};
        static const char* const alone[] = {"0", "5", "010", "s", "k", "d", "a[w0]", "b[k]", "a[j]", "a[2 * w0 - 1]",
                                            "m[w0, j]", "a[4]", "m[k % 3, 0]"};
        std::string text;
        for (int n = pick(3) + 1; n > 0; --n) {
            const int kind = depth > 2 ? 0 : pick(22);
            if (kind >= 20) {
                text += "conditional " + expression() + " then " + any(targets) + " = " +
                        (pick(2) ? expression() : any(alone));
                if (pick(2)) text += std::string(" else ") + any(targets) + " = " + any(alone);
                text += "\n";
            } else if (kind < 10) {
                text += std::string(any(targets)) + " = " + expression() + "\n";
            } else if (kind < 15) {
                text += "conditional " + expression() + "\n" + body(loopDepth, depth + 1);
                if (pick(2)) text += "else\n" + body(loopDepth, depth + 1);
                text += "end_conditional\n";
            } else if (kind < 18) {
                text += std::string(any(targets)) + " = " + any(alone) + "\n";
            } else if (kind < 19 || loopDepth > 0) {
                text += pick(4) ? std::string(any(targets)) + " = " + expression() + "\n" : "console_print s\n";
            } else {
                text += loop(loopDepth + 1);
            }
        }
        return text;
    }
};

// Random programs of subroutine calls, where the frames kept for reuse,
// the versions calls give the chains and the names found at each level of
// a recursion must change nothing: a recursion on a parameter, functions
// that call those declared before them (so every run ends), from
// expressions, call statements and loops; parameters named like program
// variables, locals declared and freed inside calls, a string passed by
// reference.
class CallMaker : public RandomPicks {
public:
    explicit CallMaker(unsigned seed) : RandomPicks(seed) {}

    std::string program()
    {
        std::string text = "declare_variables g, h, n: INT\ndeclare_variables x: DOUBLE\n"
                           "declare_variables sv: STRING\ndeclare_function r(n: INT, x: DOUBLE)\n"
                           "declare_function q(n: INT)\ndeclare_function m(k: INT, x: INT)\n"
                           "declare_function l(n: INT, s: STRING)\nsv = \"z\"\nx = 1.5\ng = " +
                           std::to_string(pick(9) - 3) + "\nh = " + std::to_string(pick(6)) + "\nn = " +
                           std::to_string(pick(5)) + "\n";
        const Names outside = {"g", "h", "n", "x"};
        for (int k = pick(5) + 2; k > 0; --k) text += statement(outside, outside, false, "rrqml", "k0");
        text += "console_print g, h, n, x\njump finish\n";
        // r only calls itself, one level down; each function calls those above it.
        text += "r:\nconditional n <= 0 then return x + " + any({"g", "h", "1", "n"}) + "\n" +
                body({"n", "x"}, "", {"x"}, "kr") + "return r(n - 1, x " + any({"+", "-", "*"}) + " " +
                any({"n", "g", "2"}) + ") + " + any({"n", "x", "g", "h"}) + "\n";
        text += "q:\n" + body({"n"}, "r", {"n"}, "kq") + "return " + numeric({"n", "g", "h", "x"}) + "\n";
        text += "m:\nconditional k > 0 then return m(k - 1, x + k) * " + any({"2", "x", "k"}) + "\n" +
                body({"k", "x"}, "rq", {"k", "x"}, "km") + "return x\n";
        text += "l:\nconsole_print s, n\ns = s + \"y\"\n" + body({"n"}, "rqm", {"n"}, "kl") + "return n + " +
                any({"g", "1"}) + "\n";
        return text + "finish:\nconsole_print g, h, n, x, sv\n";
    }

private:

    std::string numeric(const Names& names)
    {
        const auto operand = [&] { return pick(3) ? any(names) : std::to_string(pick(9) - 2); };
        std::string text = operand();
        for (int n = pick(3); n > 0; --n) text += any({" + ", " - ", " * ", " % ", " < ", " = ", " / "}) + operand();
        return text;
    }

    // A call of one of `callable` (their letters).
    std::string call(const Names& names, const std::string& callable)
    {
        switch (callable[pick(static_cast<int>(callable.size()))]) {
        case 'r': return "r(" + std::to_string(pick(6)) + ", " + numeric(names) + ")";
        case 'q': return "q(" + numeric(names) + ")";
        case 'm': return "m(" + std::to_string(pick(4)) + ", " + any(names) + ")";
        default: return "l(" + numeric(names) + ", " + any({"\"a\"", "\"\"", "sv", "sv"}) + ")";
        }
    }

    std::string expression(const Names& names, const std::string& callable)
    {
        if (callable.empty() || pick(3) == 0) return numeric(names);
        std::string text = call(names, callable);
        if (pick(5) < 2) text += any({" + ", " - ", " * "}) + call(names, callable);
        return text;
    }

    // Each function counts its loops with a variable of its own: a call from
    // a loop never moves the loop's counter.
    std::string statement(const Names& names, const Names& targets, bool inside, const std::string& callable,
                          const std::string& counter)
    {
        const std::string t = any(targets);
        const int kind = pick(inside ? 14 : 9);
        switch (kind) {
        case 0: case 1: case 2: return t + " = " + expression(names, callable) + "\n";
        case 3: return "console_print " + expression(names, callable) + ", " + any(names) + "\n";
        case 4:
            return "conditional " + numeric(names) + " then " + t + " = " + expression(names, callable) + " else " +
                   t + " = " + numeric(names) + "\n";
        case 5:
            if (callable.find('q') == std::string::npos) return t + " = " + numeric(names) + "\n";
            return "call q, " + numeric(names) + "\nconsole_print SYSTEM_INT0, SYSTEM_DOUBLE0\n";
        case 6:
            return "counted_loop " + counter + ", 1, " + std::to_string(pick(4)) + "\n" + t + " = " + t + " + " +
                   expression(names, callable) + "\nnext_step " + counter + "\n";
        case 9: return "declare_variables t" + std::to_string(pick(2)) + ": " + any({"INT", "DOUBLE"}) + "\n";
        case 10: return "free_variables t" + std::to_string(pick(2)) + "\n";
        case 11: return "console_print t0 + " + any(names) + "\n";
        case 12: return "conditional " + numeric(names) + " then return " + numeric(names) + "\n";
        // A program variable freed by a call, and one declared that may
        // take its record: the caller must not find it where it was.
        case 13: return "conditional " + numeric(names) + " then free_variables h\ndeclare_variables u: INT\nu = 9\n";
        default: return t + " = " + numeric(names) + "\n";
        }
    }

    std::string body(const Names& params, const std::string& callable, const Names& ownTargets,
                     const std::string& counter)
    {
        Names names = params, targets = {"g", "h"};
        names.insert(names.end(), {"g", "h"});
        targets.insert(targets.end(), ownTargets.begin(), ownTargets.end());
        std::string text;
        for (int n = pick(3); n > 0; --n) text += statement(names, targets, true, callable, counter);
        return text;
    }
};

// How many of `count` programs from `maker` finished and failed, each run
// both ways; it stops at the first that differs (one report is enough).
struct Endings {
    int finished = 0, failed = 0;
};
template <class Maker>
Endings runMadePrograms(Maker& maker, int count, const std::string& what)
{
    Endings e;
    for (int round = 0; round < count; ++round) {
        const RunResult r = runBothWays(maker.program(), what + " " + std::to_string(round));
        (r.ok ? e.finished : e.failed) += 1;
        if (::testing::Test::HasFailure()) break;
    }
    return e;
}

TEST(Caches, RandomIntegerLoopsRunAlike)
{
    IntegerLoopMaker maker(2026);
    const Endings e = runMadePrograms(maker, 1000, "integer loop");
    // Both endings are well represented (about 600 and 400).
    EXPECT_GT(e.finished, 200);
    EXPECT_GT(e.failed, 100);
}

TEST(Caches, RandomCallsRunAlike)
{
    CallMaker maker(2027);
    const Endings e = runMadePrograms(maker, 1000, "calls");
    // Both endings are well represented.
    EXPECT_GT(e.finished, 300);
    EXPECT_GT(e.failed, 250);
}

// Random programs of functions that return at their first line, called
// from loops so that later turns run them without a frame: their
// expressions of INT parameters now and then name a program variable, an
// element, a DOUBLE or another function, or divide; some return only when
// a condition holds, one of them a recursion; their arguments are numbers
// whole and not, past 32 bits, names of each type and elements, too few
// or too many.
class OneLineMaker : public RandomPicks {
public:
    explicit OneLineMaker(unsigned seed) : RandomPicks(seed) {}

    std::string program()
    {
        std::string text = "declare_variables g, h, s, k: INT\ndeclare_variables x: DOUBLE\n"
                           "declare_variables sv: STRING\ndeclare_variables ar[4]: INT\n"
                           "declare_function a(p: INT, q: INT)\ndeclare_function b(p: INT)\ndeclare_function c()\n"
                           "declare_function d(p: INT, q: DOUBLE)\ndeclare_function e(p: INT)\n"
                           "declare_function r(p: INT)\ndeclare_function w(p: INT)\n"
                           "sv = \"z\"\nx = 2.5\nar[1] = 7\nar[2] = -3\ng = " +
                           std::to_string(pick(9) - 3) + "\nh = " + std::to_string(pick(6)) + "\n";
        for (int n = pick(4) + 3; n > 0; --n) text += statement();
        text += "console_print g, h, s, x\njump finish\n";
        text += "a:\nreturn " + body({"p", "q"}, "bc") + "\nb:\nreturn " + body({"p"}, "c") + "\nc:\nreturn " +
                body({}, "") + "\nd:\nreturn " + body({"p", "q"}, "") + "\n";
        // A first line that returns when its condition holds, and a second
        // that returns an expression with calls; r is a recursion of that
        // shape, w frees a name (what was found outside is looked up again).
        text += "e:\nconditional " + body({"p"}, "") + any({" < 3", " > 0", ""}) + " then return " +
                (pick(2) ? "p" : body({"p"}, "")) + (pick(3) ? "" : " else return " + body({"p"}, "")) +
                "\nreturn " + body({"p"}, "c") + "\nr:\nconditional p < 2 then return " + any({"p", "p * 3", "g"}) +
                "\nreturn " +
                any({"r(p - 1) + r(p - 2)", "r(p - 1) * 2 - (g + 0)", "w(p + 0) + r(p - 1) + (g * 1)",
                     "r(p - 1) / (p - 3)", "r(p - 2) + c() * (p + 0)"}) +
                "\nw:\ndeclare_variables t: INT\nfree_variables t\nreturn p + h\n";
        return text + "finish:\nconsole_print g, h, s, x\n";
    }

private:

    // Mostly the parameters and numbers, which run without a frame.
    std::string body(const Names& params, const std::string& callable)
    {
        const auto operand = [&]() -> std::string {
            const int kind = pick(12);
            if (kind < 6 && !params.empty()) return any(params);
            if (kind == 6) return any({"g", "ar[1]", "x"});
            if (kind == 7 && !callable.empty())
                return callable[pick(static_cast<int>(callable.size()))] == 'b' ? "b(" + any({"1", "q", "p"}) + ")"
                                                                                 : "c()";
            return std::to_string(pick(12) - 2);
        };
        std::string text = operand();
        for (int n = pick(4); n > 0; --n)
            text += any({" + ", " - ", " * ", " * ", " % ", " < ", " = ", " / "}) + operand();
        return text;
    }

    std::string argument()
    {
        return any({"1", "0", "-4", "9", "k", "k", "g", "h", "s", "x", "2.5", "3000000000", "ar[1]", "sv", "g + 1"});
    }

    std::string call()
    {
        if (pick(5) == 0) return "r(" + any({"k", "k + 3", "1", "0", "-4", "9"}) + ")";
        if (pick(4) == 0) return "e(" + argument() + ")";
        const int f = pick(4);
        int count = f == 0 || f == 3 ? 2 : f == 1 ? 1 : 0;
        if (pick(6) == 0) count += pick(3) - 1;
        std::string text = std::string(1, "abcd"[f]) + "(";
        for (int i = 0; i < count; ++i) text += (i ? ", " : "") + argument();
        return text + ")";
    }

    std::string statement()
    {
        const std::string t = any({"g", "h", "s"});
        switch (pick(6)) {
        case 0:
        case 1: return "counted_loop k, 1, 3\n" + t + " = " + t + " + " + call() + "\nnext_step k\n";
        case 2: return "counted_loop k, 1, 2\nconsole_print " + call() + ", " + call() + "\nnext_step k\n";
        case 3: return t + " = " + call() + any({" + ", " - ", " * "}) + call() + "\n";
        case 4: return "conditional " + call() + " < 5 then " + t + " = " + call() + " else " + t + " = 1\n";
        default: return "console_print " + call() + ", SYSTEM_DOUBLE0\n";
        }
    }
};

TEST(Caches, RandomOneLineFunctionsRunAlike)
{
    OneLineMaker maker(2028);
    const Endings e = runMadePrograms(maker, 600, "one-line functions");
    EXPECT_GT(e.finished, 150);
    EXPECT_GT(e.failed, 100);
}

TEST(Caches, RandomProgramsRunAlike)
{
    ProgramMaker maker(2024);
    const Endings e = runMadePrograms(maker, 3000, "program");
    // Both endings are well represented.
    EXPECT_GT(e.finished, 300);
    EXPECT_GT(e.failed, 500);
}

}  // namespace
