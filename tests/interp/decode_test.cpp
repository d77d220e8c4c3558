// Statement decoding: opcodes, argument splitting and classes, outer
// parentheses, plain lines and label calls.
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"

namespace {

struct Decoded {
    int failed;
    int error;
    int opcode;
    std::vector<std::pair<std::string, int>> args;   // text, class
};

Decoded decode(TestOstrin& o, std::string line)
{
    Statement* st = o.newStatement(MaxArgs);
    o.errorCode = 0;
    Decoded d{};
    d.failed = o.decodeStatement(st, line.data());
    d.error = o.errorCode;
    d.opcode = st->opcode;
    if (!d.failed)
        for (int i = 0; i < st->argCount; ++i) d.args.emplace_back(st->args[i], st->argClass[i]);
    o.deleteStatement(st);
    return d;
}

std::string op(int code, const std::string& rest)
{
    return std::string("\xFF") + static_cast<char>(0xE0 + (code >> 4)) + static_cast<char>(0xE0 + (code & 15)) + rest;
}

TEST(Decode, OpcodeFromTwoCharacters)
{
    auto o = prepareImage("");
    Decoded d = decode(*o, "\xFF\xE5\xEFx");
    EXPECT_EQ(95, d.opcode);
    ASSERT_EQ(1u, d.args.size());
    EXPECT_EQ("x", d.args[0].first);
    EXPECT_EQ(ClassVariable, d.args[0].second);

    d = decode(*o, "\xFF\xE1\xE4");
    EXPECT_EQ(20, d.opcode);
    EXPECT_TRUE(d.args.empty());
}

TEST(Decode, SplitsAndClassifiesArguments)
{
    auto o = prepareImage("");
    Decoded d = decode(*o, op(0, " a, (b, c), d[1, 2], \"x, y\""));
    ASSERT_EQ(4u, d.args.size());
    const std::pair<std::string, int> want[] = {
        {"a", ClassVariable}, {" (b, c)", ClassExpression}, {" d[1, 2]", ClassVariable}, {" \"x, y\"", ClassString}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(want[i].first, d.args[i].first) << "argument " << i;
        EXPECT_EQ(want[i].second, d.args[i].second) << "argument " << i;
    }
}

TEST(Decode, ArgumentClasses)
{
    struct Case { const char* text; int cls; };
    const Case cases[] = {
        {"-1", ClassExpression}, {"1.5", ClassNumber}, {"#p", ClassVariable}, {".5", ClassNumber},
        {"\"a\" + b", ClassExpression}, {"x[i+1]", ClassVariable}, {"\xFE\xE0\xE5", ClassExpression},
        {"\xFF\xE5\xEF(0)+1", ClassExpression}, {"0x10", ClassNumber}, {"?", ClassUnknown},
        {"\"a+b\"", ClassString}, {"a+1", ClassExpression},
    };
    auto o = prepareImage("");
    for (const Case& c : cases) {
        Decoded d = decode(*o, op(0, c.text));
        ASSERT_EQ(1u, d.args.size()) << c.text;
        EXPECT_EQ(c.cls, d.args[0].second) << c.text;
    }
}

TEST(Decode, OuterParentheses)
{
    struct Case { int opcode; const char* text; std::vector<std::string> args; };
    const Case cases[] = {
        {0, "(a, b)", {"a", " b "}},   // the closing parenthesis becomes a blank
        {6, "(a, b)", {"(a, b)"}},
        {42, "(a, b)", {"(a, b)"}},
        {0, "(a)+1, b", {"(a)+1", " b"}},
        {0, "(a), (b)", {"(a)", " (b)"}},
        {0, "(a, b) + 1", {"(a, b) + 1"}},
    };
    auto o = prepareImage("");
    for (const Case& c : cases) {
        Decoded d = decode(*o, op(c.opcode, c.text));
        ASSERT_EQ(c.args.size(), d.args.size()) << c.opcode << " " << c.text;
        for (size_t i = 0; i < c.args.size(); ++i) EXPECT_EQ(c.args[i], d.args[i].first) << c.text;
    }
}

TEST(Decode, LimitsAndErrors)
{
    auto o = prepareImage("");
    std::string many = "a";
    for (int i = 0; i < 30; ++i) many += ",a";
    Decoded d = decode(*o, op(0, many));
    EXPECT_EQ(25u, d.args.size());

    d = decode(*o, op(0, "(a, b"));
    EXPECT_EQ(1, d.failed);
    EXPECT_EQ(ErrParentheses, d.error);

    // An argument longer than its buffer is cut, never written past it.
    d = decode(*o, op(0, "\"" + std::string(400, 'z') + "\", b"));
    ASSERT_EQ(2u, d.args.size());
    EXPECT_EQ(255u, d.args[0].first.size());
    EXPECT_EQ(" b", d.args[1].first);
}

TEST(Decode, Assignments)
{
    struct Case { const char* line; const char* left; const char* right; int cls; };
    const Case cases[] = {
        {"x = 5", "x", "5", ClassNumber},
        {"x = \"a\" + s", "x", "\"a\" + s", ClassExpression},
        {"x = \"a\"", "x", "\"a\"", ClassString},
        {"x = y", "x", "y", ClassVariable},
        {"x = y[i+1]", "x", "y[i+1]", ClassVariable},
        {"x = y + 1", "x", "y + 1", ClassExpression},
        {"x = -5", "x", "-5", ClassExpression},
        {"  name[2]\t=  7 \t", "name[2]", "7", ClassNumber},
        {"s = \"a=b\"", "s", "\"a=b\"", ClassString},
        {"x = (1)", "x", "(1)", ClassExpression},
    };
    auto o = prepareImage("");
    for (const Case& c : cases) {
        Decoded d = decode(*o, c.line);
        ASSERT_EQ(0, d.failed) << c.line;
        EXPECT_EQ(20, d.opcode) << c.line;
        ASSERT_EQ(2u, d.args.size()) << c.line;
        EXPECT_EQ(c.left, d.args[0].first) << c.line;
        EXPECT_EQ(c.right, d.args[1].first) << c.line;
        EXPECT_EQ(c.cls, d.args[1].second) << c.line;
    }
}

TEST(Decode, LabelCallsAreRewritten)
{
    auto o = prepareImage("add:\r\ntotal:\r\n");
    ASSERT_EQ(1, o->run());   // defines the labels
    Decoded d = decode(*o, "add(a, b)");
    EXPECT_EQ(44, d.opcode);
    ASSERT_EQ(3u, d.args.size());
    EXPECT_EQ("add", d.args[0].first);
    EXPECT_EQ("a", d.args[1].first);
    EXPECT_EQ(" b ", d.args[2].first);

    d = decode(*o, "total");
    EXPECT_EQ(44, d.opcode);
    ASSERT_EQ(1u, d.args.size());
    EXPECT_EQ("total", d.args[0].first);

    // Empty parentheses, with or without blanks before and inside them,
    // are a call without arguments.
    for (const char* line : {"add()", "add ()", "add  (  )", "add\t()", "add( )"}) {
        d = decode(*o, line);
        EXPECT_EQ(0, d.failed) << line;
        ASSERT_EQ(1u, d.args.size()) << line;
        EXPECT_EQ("add", d.args[0].first) << line;
    }
    d = decode(*o, "add (x)");
    ASSERT_EQ(2u, d.args.size());
    EXPECT_EQ("(x)", d.args[1].first);
    d = decode(*o, "add x, y");
    ASSERT_EQ(3u, d.args.size());
    EXPECT_EQ("x", d.args[1].first);

    // The rewritten call must fit its scratch line; longer is malformed.
    d = decode(*o, "add " + std::string(260, 'x'));
    EXPECT_EQ(ErrMalformed, d.error);

    d = decode(*o, "nolabel 1, 2");
    EXPECT_EQ(1, d.failed);
    EXPECT_EQ(ErrMalformed, d.error);
}

TEST(Decode, LabelLinesRunAsNothing)
{
    auto o = prepareImage("label first\r\nsub second(a, b)\r\n" + op(23, "third") + "\r\n" + op(7, "") + "\r\n");
    RunResult r = runPrepared(*o);
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(0, r.error);
    for (const char* name : {"first", "second", "third"}) {
        std::string ref = name;
        Variable* v = o->findVariable(ref.data(), nullptr, false);
        ASSERT_NE(nullptr, v) << name;
        EXPECT_EQ(TypeLabel, v->type) << name;
    }
}

TEST(Decode, OpcodesWithoutHandlerStop)
{
    for (int code : {249, 250, 255}) {
        auto o = prepareImage("\xFF\xE0\xE7\r\n" + op(code, "") + "\r\n");
        RunResult r = runPrepared(*o);
        EXPECT_EQ(0, r.ok) << code;
        EXPECT_EQ(ErrMalformed, r.error) << code;
        EXPECT_EQ(2, r.line) << code;
    }
}

}  // namespace
