// Random texts through the decoder and the evaluator: whatever an image
// holds, they must end with a value or an error code, never overrun a
// buffer or crash. Seeds are fixed so a failure repeats.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "support/harness.h"

namespace {

// Pieces that expressions and argument lists are made of, weighted towards
// the characters with structure (quotes, brackets, parentheses, commas).
const char* const pieces[] = {
    "1", "0", "2.5", ".5", "0x1F", "&HFF", "3000000000", "a", "b", "s", "arr", "arr[1]", "arr[i]", "s[2]",
    "#p", "r.x", "@K", "@MISSING", "+", "-", "*", "/", "%", "^", "&", "|", "||", "=", "<", ">", "<=", ">=",
    "<>", "~", "(", ")", "(", ")", "[", "]", ",", ",", "\"", "\"ab\"", "\"a,b\"", " ", "  ", "\t",
    "\xFE\xE0\xE5", "\xFE\xEE\xED", "\xFE", "i", "nolabel", "-(", "((", "))", "\x04\x01", "\x05\x01",
    "\x06\x01", "\x07\x01", "9999999999999999999999", "1e308", "-1",
    "arr[i + 1]", "arr[a*2-b]", "ia[i - 1]", "ia[ b+a ]", "im[i, b]", "im[1, a - 1]", "im[0x1, 02]", "arr[2]",
    "im[a, 1, 0]", "arr[i % 3]", "ia[(a + 1) / 2]", "ia[b % 0]",
};

std::string randomText(std::mt19937& rng, size_t maxPieces)
{
    std::uniform_int_distribution<size_t> count(0, maxPieces), pick(0, std::size(pieces) - 1);
    std::string text;
    for (size_t n = count(rng); n > 0; --n) text += pieces[pick(rng)];
    return text;
}

std::unique_ptr<TestOstrin> withVariables()
{
    auto o = prepareImage("");
    for (const char* decl : {"a", "b", "i"}) {
        std::string name = decl;
        o->defineVariable(name.data(), TypeInt, 1, nullptr);
    }
    std::string s = "s", arr = "arr[4]", ia = "ia[3]", im = "im[2, 3]", p = "p";
    std::strcpy(o->defineVariable(s.data(), TypeString, 1, nullptr)->data, "hello");
    o->defineVariable(arr.data(), TypeDouble, 1, nullptr);
    o->defineVariable(ia.data(), TypeInt, 1, nullptr);
    o->defineVariable(im.data(), TypeInt, 1, nullptr);
    o->defineVariable(p.data(), TypePointer, 1, nullptr)->target = o->stdinVar.next;   // any variable
    o->namedConstants["K"] = 7;
    o->errorCode = 0;
    return o;
}

TEST(Robustness, RandomExpressionsEndInAValueOrAnError)
{
    auto o = withVariables();
    std::mt19937 rng(1234);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(rng, round % 10 == 0 ? 400 : 24);
        o->errorCode = 0;
        o->evaluate(text.c_str());
        // Whatever happened, the string result stays inside its buffer.
        EXPECT_LT(strnlen(o->stringResultBuffer(), Ostrin::StringResultSize), size_t(Ostrin::StringResultSize))
            << "round " << round;
    }
}

// The compiled form of an expression must give what its text gives: the
// same value, error and string result, the first time (when it is compiled)
// and every time after (when it runs from the cache).
TEST(Robustness, CompiledExpressionsMatchTheTextEvaluator)
{
    auto cached = withVariables();
    auto plain = withVariables();
    plain->useCaches = false;
    std::mt19937 rng(1234);
    auto same = [](double a, double b) { return a == b || (a != a && b != b); };
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        // A full cache takes no more texts: start afresh now and then.
        if (round % 2000 == 0) cached->freeExpressions();
        const std::string text = randomText(rng, round % 10 == 0 ? 400 : 24);
        plain->errorCode = 0;
        const double want = plain->evaluate(text.c_str());
        const std::string wantText = plain->stringResult ? plain->stringResultBuffer() : "";
        for (int pass = 0; pass < 2; ++pass) {
            cached->errorCode = 0;
            const double got = cached->evaluate(text.c_str());
            ASSERT_EQ(plain->errorCode, cached->errorCode) << "round " << round << " pass " << pass << ": " << text;
            ASSERT_EQ(plain->stringResult, cached->stringResult) << "round " << round << ": " << text;
            ASSERT_TRUE(same(want, got)) << "round " << round << ": " << text << " " << want << " " << got;
            if (plain->stringResult) {
                ASSERT_EQ(wantText, cached->stringResultBuffer()) << "round " << round;
            }
        }
        compiled += cached->isCompiled(text.c_str());
    }
    // Most texts fail to read, but thousands compile and ran compiled.
    EXPECT_GT(compiled, 2000);
}

TEST(Robustness, RandomStatementLinesDecodeWithinTheirBuffers)
{
    auto o = withVariables();
    Statement* st = o->newStatement(MaxArgs);
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> opcode(0, 255);
    for (int round = 0; round < 20000; ++round) {
        const int code = opcode(rng);
        const char head[] = {'\xFF', static_cast<char>(0xE0 + (code >> 4)), static_cast<char>(0xE0 + (code & 15))};
        std::string line = randomText(rng, round % 10 == 0 ? 300 : 30);
        if (round % 3) line.insert(0, head, sizeof head);
        o->errorCode = 0;
        if (o->decodeStatement(st, line.data()) != 0) {
            EXPECT_NE(0, o->errorCode) << "round " << round;
            continue;
        }
        ASSERT_LE(st->argCount, MaxArgs);
        for (int i = 0; i < st->argCount; ++i) {
            ASSERT_LT(strnlen(st->args[i], ArgSize), size_t(ArgSize)) << "round " << round;
            ASSERT_GE(st->argClass[i], ClassNumber);
            ASSERT_LE(st->argClass[i], ClassUnknown);
        }
    }
    o->deleteStatement(st);
}

}  // namespace
