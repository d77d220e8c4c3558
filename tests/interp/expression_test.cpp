// Expression evaluation: operators and precedence, literals, strings,
// constant tokens, named values, variables, function calls and the bounds
// of the evaluator's working storage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

// The probe function's opcode: the table leaves it free.
constexpr int ProbeOpcode = 249;

std::string token(unsigned char mark, int n)
{
    return std::string(1, static_cast<char>(mark)) + static_cast<char>(0xE0 + (n >> 4)) +
           static_cast<char>(0xE0 + (n & 15));
}
const std::string probe = token(0xFF, ProbeOpcode);

std::string repeated(const std::string& item, const std::string& sep, int n)
{
    std::string s = item;
    for (int i = 1; i < n; ++i) s += sep + item;
    return s;
}

std::string nested(int depth, const std::string& inner)
{
    return std::string(static_cast<size_t>(depth), '(') + inner + std::string(static_cast<size_t>(depth), ')');
}

// An interpreter with a probe function in the free opcode: it records the
// argument texts and classes it receives, reads each argument as any kind,
// and answers the sum of the numbers or the joined strings.
class ProbeOstrin : public TestOstrin {
public:
    enum class Mode { Sum, Concat, Int64, NoResult, Fail };

    Statement* probeFunction(Statement* st)
    {
        std::vector<std::pair<std::string, int>> args;
        double sum = 0;
        std::string joined;
        if (!inner.empty()) {   // as a subroutine evaluating its own strings
            evaluate(inner.c_str());
            joined = stringResultBuffer();
        }
        for (int i = 0; i < st->argCount; ++i) {
            args.emplace_back(st->args[i], st->argClass[i]);
            ArgValue v;
            if (!evalArg(st, i, KindAny, v)) return nullptr;
            if (v.type == TypeString) joined += v.text;
            else sum += v.doubleValue;
        }
        calls.push_back(args);
        switch (mode) {
        case Mode::Sum: return setDoubleResult(st, sum);
        case Mode::Concat: return setStringResult(st, joined.c_str());
        case Mode::Int64: return setInt64Result(st, 5000000000LL);
        case Mode::NoResult: return st;
        case Mode::Fail: return fail(ErrExternalArg);
        }
        return st;
    }

    Mode mode = Mode::Sum;
    std::string inner;
    std::vector<std::vector<std::pair<std::string, int>>> calls;
};

std::unique_ptr<ProbeOstrin> makeProbe()
{
    auto o = std::make_unique<ProbeOstrin>();
    o->imageBytes = std::string(1, '\0');
    o->attachImage(o->imageBytes.data());
    EXPECT_EQ(1, o->load());
    o->handlers[ProbeOpcode] = static_cast<Ostrin::Handler>(&ProbeOstrin::probeFunction);
    return o;
}

Variable* define(Ostrin& o, std::string name, int type)
{
    o.errorCode = 0;
    Variable* v = o.defineVariable(name.data(), type, 1, nullptr);
    EXPECT_NE(nullptr, v) << name;
    return v;
}

template <typename T>
void put(Variable* v, T value)
{
    std::memcpy(v->data, &value, sizeof value);
}

// One evaluation and what it must give: a number, a string (text set) or
// an error code (then the value is 0 and no string).
struct Case {
    std::string expr;
    double number;
    const char* text = nullptr;
    int error = 0;
};

void check(Ostrin& o, const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        const std::string what = c.expr.substr(0, 60);
        o.errorCode = 0;
        const double got = o.evaluate(c.expr.c_str());
        EXPECT_EQ(c.error, o.errorCode) << what;
        EXPECT_EQ(c.text != nullptr, o.stringResult) << what;
        if (c.text) {
            EXPECT_STREQ(c.text, o.stringResultBuffer()) << what;
        } else {
            EXPECT_DOUBLE_EQ(c.number, got) << what;
        }
    }
}

Case fails(std::string expr, int error) { return {std::move(expr), 0, nullptr, error}; }
Case gives(std::string expr, const char* text) { return {std::move(expr), 0, text}; }

TEST(Expression, OperatorsPrecedenceAndAssociation)
{
    auto o = prepareImage("");
    check(*o, {
        {"2+3*4", 14}, {"(2+3)*4", 20}, {"2^3^2", 64}, {"2-3-4", -5}, {"24/4/2", 3}, {"1+2*3^2", 19},
        {"1+2=3", 1},     // comparison below addition
        {"1=1&2=2", 1},   // "&" lowest of all
        {"1|2=2", 1}, {"12&10|1", 9}, {"6|1", 7}, {"6&3", 2},
        {"7%3", 1}, {"-7%3", -1}, {"7%-3", 1}, {"7.9%3", 1}, {"-7.9%3", -1}, {"7.5%-2", 1},
        {"2147483648%3", 2}, {"-2147483648%-1", 0}, {"2147483647.5%2", 1},   // past 32 bits, at its edge
        {"5||3", 6}, {"5||3*2", 12}, {"&HFFFFFFFF||0", -1},   // "||" on 32 bits, signed
        {"&HFFFFFFFFFF&&HF00000000F", 0xF00000000Fll},       // "&" keeps 64 bits
        {"10/4", 2.5}, {"1<2", 1}, {"2<=2", 1}, {"3>=4", 0}, {"3>2", 1}, {"1<>1", 0}, {"1~2", 1},
        {"-(2+3)", -5}, {"--5", 5}, {"2*-3", -6}, {"-2^2", 4}, {"+4", 4},
        {"(1+(2*(3+4)))", 15}, {"1, 2", 2},   // a list's value is its last element
        {"(2+3", 5},                          // a missing ")" closes at the end
        {"&HFF", 255}, {"&hff", 255}, {"0x10", 16}, {"0X1f", 31}, {"&HFFFFFFFF", 4294967295.0},
        {".25", 0.25}, {"2^0.5", std::sqrt(2.0)},
    });
}

// Decimal literals come out bit for bit as the C library reads them, on
// both sides of the 15-digit fast path.
TEST(Expression, DecimalLiteralsAreExact)
{
    auto o = prepareImage("");
    for (const char* t : {"0.1", "2.675", "123456789012.345", "999999999999999", "1234567890123456",
                          "0.000000000000001", "12345678901234567890", "3.14159265358979323846", "7."}) {
        o->errorCode = 0;
        EXPECT_EQ(std::strtod(t, nullptr), o->evaluate(t)) << t;
        EXPECT_EQ(0, o->errorCode) << t;
    }
}

TEST(Expression, Strings)
{
    auto o = prepareImage("");
    Variable* s = define(*o, "s", TypeString);
    std::strcpy(s->data, "hello");
    std::memset(define(*o, "big[65535]", TypeIString)->data, 'q', 65535);
    check(*o, {
        gives("\"ab\"+\"cd\"", "abcd"), gives("(\"a\"+\"b\")+\"c\"", "abc"), gives("\"\"", ""),
        gives("\"a)b\"+\"(\"", "a)b("),   // parentheses inside literals
        gives("s", "hello"), gives("(s)", "hello"), gives("s + \"!\"", "hello!"),
        gives("s[1]", "e"), gives("s[1] + s[0]", "eh"),   // an index selects one character
        {"\"a\"<\"b\"", 1}, {"\"A\"=\"a\"", 0}, {"\"b\">\"a\"", 1}, {"\"a\"<=\"a\"", 1}, {"\"a\">=\"b\"", 0},
        {"\"a\"<>\"b\"", 1}, {"\"a\"~\"a\"", 0}, {"\"\xE9\">\"z\"", 1},   // bytes compare unsigned
        {"\"abc\"=\"ab\"+\"c\"", 1},                                     // "+" before "="
        {"\"a\"=\"a\" & \"b\"<\"c\"", 1}, {"(\"a\"=\"a\")+1", 2}, {"s = \"hello\"", 1},
    });
    // A concatenation stops at the capacity of SYSTEM_STRING0.
    o->evaluate("big + big + \"tail\"");
    EXPECT_EQ(65535u, std::strlen(o->stringResultBuffer()));
}

TEST(Expression, ErrorsAndBounds)
{
    auto o = prepareImage("");
    check(*o, {
        fails("1/0", ErrDivideByZero), fails("1/(2-2)", ErrDivideByZero), fails("5%0", ErrDivideByZero),
        fails("5%0.5", ErrDivideByZero),   // the divisor truncates to 0
        fails("\"a\"+1", ErrMalformed), fails("1+\"a\"", ErrMalformed), fails("\"a\"-\"b\"", ErrMalformed),
        fails("-\"a\"", ErrMalformed), fails("\"a\"=\"a\"+1", ErrMalformed),
        fails("\"abc", ErrMalformed), fails("1+", ErrMalformed), fails("1 2", ErrMalformed),
        fails("1e5", ErrMalformed), fails("2!3", ErrMalformed), fails("()", ErrMalformed),
        fails("(1,2)*3", ErrMalformed), fails("1)", ErrParentheses),
        fails("@nothing", ErrNamedValue), fails("@", ErrNamedValue),
        fails("nosuch + 1", ErrUndefined), fails("nosuch", ErrUndefined),
        // Raw placeholder and token bytes in an image are checked, never trusted.
        fails("\x04\x05", ErrMalformed), fails("\x05\x01", ErrMalformed), fails("\x04", ErrMalformed),
        fails("\xFE\xE0", ErrMalformed),
        // 15 operators in one level, "," included; 30 stored numbers; 29 stored strings.
        fails(repeated("1", "+", 16), ErrTooManyOperators), fails(repeated("1", ",", 16), ErrTooManyOperators),
        fails(nested(30, "1"), ErrTooManyValues), fails(nested(29, "\"a\""), ErrTooManyValues),
        fails(std::string(2000, '1'), ErrMalformed), fails(std::string(1024, '1'), ErrMalformed),
        // The largest that fit.
        {repeated("1", "+", 15), 15}, {nested(29, "1"), 1}, gives(nested(28, "\"a\""), "a"),
        {std::string(1022, ' ') + "7", 7},
    });
}

TEST(Expression, ConstantTokensAndNamedValues)
{
    auto o = prepareImage("");
    o->namedConstants["LIMIT"] = 10;
    o->namedConstants["ALL_BITS"] = 0xFFFFFFFFu;
    o->constants[63] = 17;   // an event slot, as the event routing sets it
    check(*o, {
        {token(0xFE, 5), 131072}, {token(0xFE, 12), 2147483648.0},
        {token(0xFE, 237), 4294967188.0},   // -108 read unsigned
        {token(0xFE, 63) + "+1", 18}, {token(0xFE, 5) + " / 2", 65536},
        // Only the low five bits of the first character count, so indices
        // from 480 on are also written with 0xDE and 0xDF.
        {"\xFE\xDE\xEA", 0x800F}, {"\xFE\xDF\xE0", 15}, {token(0xFE, 497), 0},
        fails("1+\xFE\xFF\xEF", ErrMalformed),   // index 511
        {"@LIMIT", 10}, {"@limit*2", 20}, {"@Limit+1", 11}, {"(@limit)", 10}, {"-@limit", -10},
        {"@all_bits", 4294967295.0},
    });
}

TEST(Expression, VariablesAsValues)
{
    auto o = prepareImage("");
    put<int32_t>(define(*o, "n", TypeInt), 7);
    put<double>(define(*o, "d", TypeDouble), 2.5);
    put<uint8_t>(define(*o, "c", TypeChar), 200);
    put<uint32_t>(define(*o, "u", TypeUInt), 0xFFFFFFFFu);
    put<uint16_t>(define(*o, "w", TypeWord), 65535);
    put<float>(define(*o, "f", TypeFloat), 1.25f);
    put<int64_t>(define(*o, "big", TypeInt64), 5000000000LL);
    put<uint64_t>(define(*o, "huge", TypeUInt64), 0x8000000000000000ull);
    Variable* a = define(*o, "a[3]", TypeInt);
    reinterpret_cast<int32_t*>(a->base)[1] = 40;
    reinterpret_cast<int32_t*>(a->base)[2] = 50;
    check(*o, {
        {"n", 7}, {"N + 1", 8}, {"-n", -7}, {"-(n)", -7}, {"(-n)", -7}, {"-(-n)", 7}, {"(n)+(n)", 14},
        {"d*2", 5}, {"c", -56},   // CHAR reads signed
        {"u", 4294967295.0}, {"w", 65535}, {"f", 1.25}, {"big+1", 5000000001.0},
        {"huge", 9223372036854775808.0}, {"DECIMAL_PREC", 2},
        {"a[1]+a[2]", 90}, {"a[n-6]", 40}, {"a[(2)]*2", 100},   // parentheses inside an index
        fails("a[3]+1", ErrRange),
    });
}

TEST(Expression, FunctionCallArgumentTexts)
{
    struct CallCase {
        std::string expr;
        std::vector<std::pair<std::string, int>> args;   // text, class
    };
    const CallCase cases[] = {
        {probe + "(0)", {{"0", ClassNumber}}},
        {probe + "(-2147483648)", {{"-2147483648", ClassNumber}}},
        {probe + "(2.5)", {{"2.5000000000000000", ClassNumber}}},
        {probe + "(3000000000)", {{"3000000000.0000000000000000", ClassNumber}}},
        {probe + "(1, \"ab\", n)", {{"1", ClassNumber}, {"\"ab\"", ClassString}, {"n", ClassVariable}}},
        {probe + "(-n)", {{"-n", ClassExpression}}},
        {probe + "(-(n))", {{"-n", ClassExpression}}},
        {probe + "((1+2)*3, (4))", {{"9", ClassNumber}, {"4", ClassNumber}}},
        {probe + "(\"a\" + \"b\")", {{"\"ab\"", ClassString}}},
        {probe + "()", {}},
        {probe + " (5)", {{"5", ClassNumber}}},
        {probe + "(a[1])", {{"a[1]", ClassVariable}}},
        // A string too long for an argument arrives cut between its quotes.
        {probe + "(\"" + std::string(300, 'x') + "\")", {{"\"" + std::string(253, 'x') + "\"", ClassString}}},
    };
    auto o = makeProbe();
    put<int32_t>(define(*o, "n", TypeInt), 7);
    define(*o, "a[3]", TypeInt);
    for (const CallCase& c : cases) {
        o->calls.clear();
        o->errorCode = 0;
        o->evaluate(c.expr.c_str());
        EXPECT_EQ(0, o->errorCode) << c.expr;
        ASSERT_EQ(1u, o->calls.size()) << c.expr;
        EXPECT_EQ(c.args, o->calls[0]) << c.expr;
    }
}

TEST(Expression, FunctionCallResultsAndErrors)
{
    auto o = makeProbe();
    put<int32_t>(define(*o, "n", TypeInt), 7);
    const std::string thirteen = "(" + repeated("1", ",", 13) + ")";
    check(*o, {
        {probe + "(0)+1", 1}, {"1+" + probe + "(2, 3)*2", 11},
        {probe + "(" + probe + "(2)+1)", 3},   // nested call
        {"-" + probe + "(4)", -4},
        {probe + "(3000000000)", 3000000000.0},    // read back exactly
        {probe + "(2^1000)", std::pow(2.0, 1000)},  // too long for "%.16f": exponent form
        fails("\xFF\xFF\xFF(1)", ErrMalformed),     // opcode outside the table
        fails(token(0xFF, 250) + "(1)", ErrMalformed),
        fails("n(1)", ErrMalformed),                // not a LABEL
        fails("nosuch(1)", ErrUndefined),           // the lookup's code is kept
        fails(probe + "(" + std::string(300, 'v') + ")", ErrMalformed),   // name too long for an argument
        fails(probe + thirteen + thirteen, ErrArgCount),                  // 26 arguments
        fails(probe + "(1/0)", ErrDivideByZero),
        fails(probe + "(nosuch)", ErrUndefined),    // from the function's own evalArg
    });

    // String results are taken out of SYSTEM_STRING0 before the next call
    // overwrites it, and strings held around a call survive the function's
    // own evaluations.
    o->mode = ProbeOstrin::Mode::Concat;
    check(*o, {gives(probe + "(\"ab\") + " + probe + "(\"cd\")", "abcd")});
    o->inner = "(\"in\" + \"ner\") + \"-\"";
    Variable* s = define(*o, "s", TypeString);
    std::strcpy(s->data, "xy");
    check(*o, {gives("(\"<\" + s) + " + probe + "(s + \"z\", \"!\") + \">\" + s", "<xyinner-xyz!>xy")});
    o->inner.clear();

    o->mode = ProbeOstrin::Mode::NoResult;   // no defined value: 0
    check(*o, {{probe + "(9)", 0}});
    o->mode = ProbeOstrin::Mode::Int64;
    check(*o, {{probe + "(0)+1", 5000000001.0}});
    // A failing function ends the evaluation with its own code.
    o->mode = ProbeOstrin::Mode::Fail;
    o->calls.clear();
    check(*o, {fails(probe + "(1) + " + probe + "(2)", ErrExternalArg)});
    EXPECT_EQ(1u, o->calls.size());
    o->handlers[ProbeOpcode] = nullptr;
    check(*o, {fails(probe + "(1)", ErrMalformed)});
}

// Whole programs: the assembler writes function names, constant names and
// label calls as the compiler does, and the run loop reports errors.
TEST(Expression, Programs)
{
    struct ProgramCase {
        const char* name;
        const char* source;
        const char* output;
        int error;
        int line;
    };
    const ProgramCase cases[] = {
        {"precedence and association", "console_print 2+3*4, (2+3)*4, 2^3^2, 7%3, -7%3, 5||3",
         "14 20 64 1 -1 6 \n", 0, 0},
        {"comparisons and bitwise", "console_print 1+2=3, 1=1&2=2, &HFF, 0x10, 12&10|1", "1 1 255 16 9 \n", 0, 0},
        {"strings", "console_print \"ab\"+\"cd\", \"a\"<\"b\", \"A\"=\"a\"", "abcd1 0 \n", 0, 0},
        {"later literal arguments", "console_print \"a\", \"b\"", "ab\n", 0, 0},
        {"function call with a nested group", "console_print sine((0))+1, absolute_value(-(2+3))", "1 5 \n", 0, 0},
        {"constant names", "console_print WS_POPUP, LVN_COLUMNCLICK", "2147483648 4294967188 \n", 0, 0},
        {"named values", "named_constant \"Limit\", 12\nconsole_print @limit * 2", "24 \n", 0, 0},
        {"unknown named value", "console_print 1\nconsole_print @limit", "1 \n", ErrNamedValue, 2},
        {"label called by name", "console_print answer + 1\njump done\nanswer:\nreturn 41\ndone:", "42 \n", 0, 0},
        {"label result negated", "console_print -answer\njump done\nanswer:\nreturn 41\ndone:", "-41 \n", 0, 0},
        {"string label result", "console_print greet + \"!\"\njump done\ngreet:\nreturn \"hi\"\ndone:", "hi!\n", 0, 0},
        {"division by zero", "console_print 1\nconsole_print 1/0", "1 \n", ErrDivideByZero, 2},
        {"error inside a called label reports its line",
         "console_print answer + 1\njump done\nanswer:\nconsole_print 1/0\nreturn 1\ndone:", "", ErrDivideByZero, 4},
        {"too many operators", "console_print 1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1", "", ErrTooManyOperators, 1},
    };
    for (const ProgramCase& c : cases) {
        const RunResult r = runProgram(c.source);
        EXPECT_EQ(c.output, r.output) << c.name;
        EXPECT_EQ(c.error, r.error) << c.name;
        EXPECT_EQ(c.line, r.line) << c.name;
    }
}

}  // namespace
