// Argument access: every class read as every kind of value, the kind
// checks and their errors, and the result convention.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/harness.h"

namespace {

// Decodes `args` as the argument text of a statement and keeps the record,
// so tests can evaluate its arguments as a handler would.
class Decoded {
public:
    Decoded(Ostrin& o, const std::string& args) : m_o(o), m_line("\xFF\xE0\xE0" + args)   // opcode 0
    {
        m_st = o.newStatement(MaxArgs);
        o.errorCode = 0;
        EXPECT_EQ(0, o.decodeStatement(m_st, m_line.data())) << args;
    }
    ~Decoded() { m_o.deleteStatement(m_st); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    // Evaluates argument i; the error code is 0 on success.
    int eval(int i, int kind, ArgValue& out)
    {
        m_o.errorCode = 0;
        const bool ok = m_o.evalArg(m_st, i, kind, out);
        EXPECT_EQ(ok, m_o.errorCode == 0);
        return m_o.errorCode;
    }
private:
    Ostrin& m_o;
    std::string m_line;
    Statement* m_st = nullptr;
};

Variable* define(Ostrin& o, std::string name, int type, uint32_t count = 1)
{
    o.errorCode = 0;
    Variable* v = o.defineVariable(name.data(), type, count, nullptr);
    EXPECT_NE(nullptr, v) << name;
    return v;
}

template <typename T>
void put(Variable* v, T value)
{
    std::memcpy(v->data, &value, sizeof value);
}

// The representations one argument must show, checked together.
struct Views {
    int type;
    int32_t i;
    int64_t i64;
    double d;
    float f;
};

void expectViews(const ArgValue& v, const Views& w, const std::string& what)
{
    EXPECT_EQ(w.type, v.type) << what;
    EXPECT_EQ(w.i, v.intValue) << what;
    EXPECT_EQ(w.i64, v.int64Value) << what;
    EXPECT_DOUBLE_EQ(w.d, v.doubleValue) << what;
    EXPECT_FLOAT_EQ(w.f, v.floatValue) << what;
}

TEST(Arguments, NumericLiteralsAndExpressions)
{
    struct Case {
        const char* text;
        Views want;
    };
    const Case cases[] = {
        {"12", {TypeInt, 12, 12, 12, 12}},
        {"-1", {TypeDouble, -1, -1, -1, -1}},             // an expression
        {"3000000000", {TypeInt64, -1294967296, 3000000000LL, 3000000000.0, 3e9f}},
        // Around the 32-bit edge, and past the 18 digits read without strtoll
        // (which saturates beyond 64 bits).
        {"2147483647", {TypeInt, 2147483647, 2147483647, 2147483647.0, 2147483647.0f}},
        {"2147483648", {TypeInt64, INT32_MIN, 2147483648LL, 2147483648.0, 2147483648.0f}},
        {"999999999999999999", {TypeInt64, -1486618625, 999999999999999999LL, 1e18, 1e18f}},
        {"99999999999999999999", {TypeInt64, -1, INT64_MAX, 9.2233720368547758e18, 9.2233720368547758e18f}},
        {"0xFFFFFFFF", {TypeInt, -1, 4294967295LL, -1, -1}},
        {"0x10", {TypeInt, 16, 16, 16, 16}},
        {"2.5", {TypeFloat, 2, 2, 2.5, 2.5f}},
        {"2.5000000000000000", {TypeFloat, 2, 2, 2.5, 2.5f}},
        {"3000000000.0000000000000000", {TypeFloat, -1294967296, 3000000000LL, 3e9, 3e9f}},
        {"1+1", {TypeDouble, 2, 2, 2, 2}},
        {"-2.7", {TypeDouble, -2, -2, -2.7, -2.7f}},
        {"&HFFFFFFFF + 0", {TypeDouble, -1, 4294967295LL, 4294967295.0, 4294967295.0f}},
    };
    auto o = prepareImage("");
    for (const Case& c : cases) {
        Decoded d(*o, c.text);
        ArgValue v;
        ASSERT_EQ(0, d.eval(0, KindAny, v)) << c.text;
        expectViews(v, c.want, c.text);
        EXPECT_EQ(nullptr, v.variable) << c.text;
    }
}

TEST(Arguments, StringLiterals)
{
    auto o = prepareImage("");
    Decoded d(*o, "\"a\", \"b, c\",\"\", \"x\"y\"");
    const char* want[] = {"a", "b, c", "", "x\"y"};   // a later argument keeps its blank
    for (int i = 0; i < 4; ++i) {
        ArgValue v;
        ASSERT_EQ(0, d.eval(i, KindAny, v)) << i;
        EXPECT_EQ(TypeString, v.type) << i;
        EXPECT_STREQ(want[i], v.text) << i;
    }
    // The first evaluation cut the text at its closing quote: a second one
    // in the same execution finds none.
    ArgValue v;
    EXPECT_EQ(ErrMalformed, d.eval(1, KindAny, v));

    // A string expression is left in SYSTEM_STRING0.
    Decoded e(*o, "\"a\" + \"b\"");
    ASSERT_EQ(0, e.eval(0, KindAny, v));
    EXPECT_EQ(TypeString, v.type);
    EXPECT_EQ(o->stringResultBuffer(), v.text);
    EXPECT_STREQ("ab", v.text);
}

TEST(Arguments, VariablesOfEveryType)
{
    auto o = prepareImage("");
    put<uint8_t>(define(*o, "c", TypeChar), 200);
    put<int32_t>(define(*o, "i", TypeInt), -5);
    put<float>(define(*o, "f", TypeFloat), 2.75f);
    put<uint16_t>(define(*o, "w", TypeWord), 65535);
    put<double>(define(*o, "d", TypeDouble), -2.75);
    put<int64_t>(define(*o, "l", TypeInt64), 5000000000LL);
    put<uint64_t>(define(*o, "ul", TypeUInt64), 0xFFFFFFFFFFFFFFFFull);
    put<uint32_t>(define(*o, "u", TypeUInt), 0xFFFFFFFFu);
    struct Case {
        const char* name;
        Views want;
    };
    const Case cases[] = {
        {"c", {TypeChar, 200, 200, 200, 200}},
        {"i", {TypeInt, -5, -5, -5, -5}},
        {"f", {TypeFloat, 2, 2, 2.75, 2.75f}},
        {"w", {TypeWord, 65535, 65535, 65535, 65535}},
        {"d", {TypeDouble, -2, -2, -2.75, -2.75f}},
        {"l", {TypeInt64, 705032704, 5000000000LL, 5e9, 5e9f}},
        {"ul", {TypeUInt64, -1, -1, 18446744073709551615.0, 1.8446744e19f}},
        {"u", {TypeUInt, -1, 4294967295LL, 4294967295.0, 4294967295.0f}},
    };
    for (const Case& c : cases) {
        Decoded d(*o, c.name);
        ArgValue v;
        ASSERT_EQ(0, d.eval(0, KindAny, v)) << c.name;
        expectViews(v, c.want, c.name);
        EXPECT_EQ(c.name, std::string(v.variable ? v.variable->name : ""));
        EXPECT_EQ(v.variable->data, v.dataPtr) << c.name;
        EXPECT_EQ(v.type == TypeChar ? 200 : 0, v.charValue) << c.name;
    }

}

TEST(Arguments, HandlesStringsAndBlocks)
{
    auto o = prepareImage("");
    Variable* s = define(*o, "s", TypeString);
    std::strcpy(s->data, "hello");
    char block[] = "in the block";
    put<char*>(define(*o, "m", TypeMemory), block);
    put<uint32_t>(define(*o, "win", TypeWindow), 0x1234);

    Decoded d(*o, "s, m, m, win, s[1]");
    ArgValue v;
    ASSERT_EQ(0, d.eval(0, TypeString, v));
    EXPECT_STREQ("hello", v.text);
    EXPECT_EQ(s->data, v.text);

    ASSERT_EQ(0, d.eval(1, TypeString, v));   // kind 0 takes a block as a string
    EXPECT_EQ(TypeString, v.type);
    EXPECT_EQ(block, v.text);

    ASSERT_EQ(0, d.eval(2, TypeMemory, v));
    EXPECT_EQ(TypeMemory, v.type);
    EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(block)), v.handle);

    ASSERT_EQ(0, d.eval(3, KindWindow, v));
    EXPECT_EQ(0x1234, v.handle);

    ASSERT_EQ(0, d.eval(4, TypeString, v));
    EXPECT_STREQ("e", v.text);            // the selection is one character
    EXPECT_EQ(s->base + 1, v.dataPtr);
    EXPECT_EQ(1, v.variable->capacity);
}

TEST(Arguments, KindChecks)
{
    auto o = prepareImage("");
    put<uint32_t>(define(*o, "u", TypeUInt), 7);
    put<int32_t>(define(*o, "n", TypeInt), 7);
    put<uint32_t>(define(*o, "win", TypeWindow), 0x40);
    put<uint32_t>(define(*o, "dlg", TypeDialog), 0x80);
    ASSERT_NE(nullptr, define(*o, "s", TypeString));
    ASSERT_NE(nullptr, define(*o, "m", TypeMemory));
    struct Case {
        const char* text;
        int kind;
        int error;
        int type;   // type after a successful check
    };
    const Case cases[] = {
        {"2.5", KindNumber, 0, TypeFloat},
        {"\"2.5\"", KindNumber, ErrNotNumeric, 0},
        {"s", KindNumber, ErrNotNumeric, 0},
        {"u", KindNumber, 0, TypeUInt},
        {"12", KindInt, 0, TypeInt},
        {"n", KindInt, 0, TypeInt},
        {"2.5", KindInt, ErrNotInteger, 0},
        {"1+1", KindInt, ErrNotInteger, 0},
        {"3000000000", KindInt, ErrNotInteger, 0},
        {"u", KindInt, ErrType, 0},
        {"0", KindWinOrDlg, 0, TypeWindow},
        {"0x10", KindWinOrDlg, 0, TypeWindow},
        {"win", KindWinOrDlg, 0, TypeWindow},
        {"dlg", KindWinOrDlg, 0, TypeDialog},
        {"n", KindWinOrDlg, ErrType, 0},
        {"2.5", KindWinOrDlg, ErrType, 0},
        {"dlg", KindWindow, ErrType, 0},
        {"7", KindWindow, 0, TypeWindow},
        {"m", TypeString, 0, TypeString},
        {"n", TypeString, ErrType, 0},
        {"m", TypeMemory, 0, TypeMemory},
        {"s", TypeMemory, ErrType, 0},
        {"u", TypeUInt, 0, TypeUInt},
        {"n", TypeUInt, ErrType, 0},
        {"dlg", TypeDialog, 0, TypeDialog},
        {"\"x\"", KindAny, 0, TypeString},
    };
    for (const Case& c : cases) {
        Decoded d(*o, c.text);
        ArgValue v;
        const std::string what = std::string(c.text) + " as kind " + std::to_string(c.kind);
        EXPECT_EQ(c.error, d.eval(0, c.kind, v)) << what;
        if (!c.error) {
            EXPECT_EQ(c.type, v.type) << what;
        }
    }
    Decoded zero(*o, "0, 0x10");
    ArgValue v;
    ASSERT_EQ(0, zero.eval(0, KindWinOrDlg, v));
    EXPECT_EQ(0, v.handle);
    ASSERT_EQ(0, zero.eval(1, KindWindow, v));
    EXPECT_EQ(16, v.handle);
}

TEST(Arguments, Errors)
{
    auto o = prepareImage("");
    ASSERT_NE(nullptr, define(*o, "target", TypeLabel, 0));
    struct Case {
        const char* text;
        int index;
        int error;
    };
    const Case cases[] = {
        {"1, 2, 3", 3, ErrArgCount},
        {"1, 2, 3", -1, ErrArgCount},
        {"", 0, ErrArgCount},
        {"$$", 0, ErrMalformed},            // unclassified
        {"target", 0, ErrMalformed},        // a LABEL is no value
        {"nosuch", 0, ErrUndefined},        // the lookup's code is kept
        {"nosuch + 1", 0, ErrUndefined},
        {"1/0", 0, ErrDivideByZero},
    };
    for (const Case& c : cases) {
        Decoded d(*o, c.text);
        ArgValue v;
        v.intValue = 99;
        EXPECT_EQ(c.error, d.eval(c.index, KindAny, v)) << c.text << " #" << c.index;
        EXPECT_EQ(0, v.intValue) << c.text;   // zeroed even on failure
    }
}

TEST(Arguments, CurrentWindowToken)
{
    const std::string token = "\xFE\xE4\xE8";
    auto o = prepareImage("");
    Variable* w = define(*o, "wins[3]", TypeWindow);
    reinterpret_cast<uint32_t*>(w->base)[2] = 0x5000;

    o->setCurrentWindow(reinterpret_cast<void*>(0x5000));
    Decoded held(*o, token);
    ArgValue v;
    ASSERT_EQ(0, held.eval(0, KindWindow, v));
    EXPECT_EQ(TypeWindow, v.type);
    EXPECT_EQ(w, v.variable);
    EXPECT_EQ(0x5000, v.handle);
    EXPECT_EQ(w->base + 8, v.dataPtr);

    // No variable holds it: the object itself, without an error.
    o->setCurrentWindow(reinterpret_cast<void*>(0x7000));
    Decoded loose(*o, token);
    ASSERT_EQ(0, loose.eval(0, KindWinOrDlg, v));
    EXPECT_EQ(TypeWindow, v.type);
    EXPECT_EQ(nullptr, v.variable);
    EXPECT_EQ(0x7000, v.handle);
}

TEST(Arguments, ResultVariables)
{
    auto o = prepareImage("");
    struct Case {
        uint32_t resultType;
        Variable* want;
    };
    const Case cases[] = {
        {0, o->sysString}, {2, o->sysInt}, {19, o->sysInt}, {3, o->sysFloat}, {14, o->sysDouble},
        {16, o->sysPointer}, {17, o->sysInt64}, {18, o->sysInt64}, {99, nullptr}, {1, nullptr}, {9, nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, o->resultVariable(c.resultType)) << c.resultType;

    Statement* st = o->newStatement(0);
    EXPECT_EQ(st, o->setIntResult(st, -3));
    EXPECT_EQ(2u, st->resultType);
    EXPECT_EQ(-3, *reinterpret_cast<int32_t*>(o->sysInt->data));
    o->setDoubleResult(st, 2.5);
    EXPECT_EQ(14u, st->resultType);
    EXPECT_EQ(2.5, *reinterpret_cast<double*>(o->sysDouble->data));
    o->setInt64Result(st, -5000000000LL);
    EXPECT_EQ(17u, st->resultType);
    EXPECT_EQ(-5000000000LL, *reinterpret_cast<int64_t*>(o->sysInt64->data));
    int target = 0;
    o->setPointerResult(st, &target);
    EXPECT_EQ(16u, st->resultType);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&target), *reinterpret_cast<uint32_t*>(o->sysPointer->data));

    // A string result never exceeds SYSTEM_STRING0: 65,535 characters.
    const std::string huge(70000, 'z');
    o->setStringResult(st, huge.c_str());
    EXPECT_EQ(0u, st->resultType);
    EXPECT_EQ(65535u, std::strlen(o->stringResultBuffer()));
    o->setStringResult(st, "abcdef", 3);
    EXPECT_STREQ("abc", o->stringResultBuffer());
    // A function of its own result: the text may overlap the buffer.
    o->setStringResult(st, o->stringResultBuffer() + 1);
    EXPECT_STREQ("bc", o->stringResultBuffer());
    o->deleteStatement(st);
}

}  // namespace
