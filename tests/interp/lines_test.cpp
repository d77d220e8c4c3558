// Splitting the image into numbered lines and the label pre-pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/harness.h"

namespace {

const std::string nop = "\xFF\xE0\xE7";   // a statement that does nothing

std::vector<int> lineNumbersAfterRun(TestOstrin& o)
{
    std::vector<int> numbers;
    for (uint32_t i = 0; i < o.lineCount; ++i) numbers.push_back(o.lineNumbers[i] + 1);
    return numbers;
}

TEST(Lines, SourceLineNumbers)
{
    struct Case { const char* name; std::string image; std::vector<int> want; };
    const Case cases[] = {
        {"bare LF joins lines", nop + "\n" + nop + "\r\n" + nop + "\r\n", {1, 1, 2}},
        {"comment with bare LF advances", "' note\n" + nop + "\r\n", {2}},
        {"semicolon comment", "; note\r\n" + nop, {2}},
        {"empty CR LF line advances", "\r\n" + nop, {2}},
        {"empty LF line does not", "\n" + nop, {1}},
        {"blank line advances", "  \t\n" + nop, {2}},
        {"leading blanks skipped", "   " + nop + "\r\n\t" + nop, {1, 2}},
        {"last line keeps the previous line end", nop + "\n" + nop, {1, 1}},
    };
    for (const Case& c : cases) {
        auto o = prepareImage(c.image);
        RunResult r = runPrepared(*o);
        EXPECT_EQ(1, r.ok) << c.name;
        EXPECT_EQ(c.want, lineNumbersAfterRun(*o)) << c.name;
        for (uint32_t i = 0; i < o->lineCount; ++i)
            EXPECT_EQ('\xFF', o->lines[i][0]) << c.name << ": line starts at its first non-blank";
    }
}

TEST(Lines, NothingToRun)
{
    // A CR before a line's CR LF makes it an empty (or blank) line in the
    // count as in the split: no line slot is left without its line.
    for (const char* image : {"", "' only a comment\r\n\r\n   \r\n; another\n", "\r\n\r\n", "\r\r\n", " \r\r\n"}) {
        auto o = prepareImage(image);
        RunResult r = runPrepared(*o);
        EXPECT_EQ(1, r.ok) << image;
        EXPECT_EQ(0, r.error);
        EXPECT_FALSE(o->reported);
        EXPECT_EQ(0u, o->lineCount);
    }
}

TEST(Lines, ColonLabelIsDefinedAndSkipped)
{
    auto o = prepareImage(nop + "\r\ndone:\r\n" + nop + "\r\n");
    RunResult r = runPrepared(*o);
    EXPECT_EQ(1, r.ok);
    std::string name = "DONE";
    Variable* v = o->findVariable(name.data(), nullptr, false);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(TypeLabel, v->type);
    EXPECT_EQ(1, v->capacity);                  // its own line index
    EXPECT_EQ('\0', o->lines[1][0]);            // emptied, so the run skips it
}

TEST(Lines, LabelDefinitions)
{
    // Twice the same label is accepted.
    auto twice = prepareImage("again:\r\n\xFF\xE1\xE7 again\r\n" + nop);
    EXPECT_EQ(1, runPrepared(*twice).ok);

    // A label named like an existing variable stops before any statement,
    // without a report.
    auto clash = prepareImage("SYSTEM_INT0:\r\n\xFF\xEF\xE9\r\n");
    RunResult r = runPrepared(*clash);
    EXPECT_EQ(0, r.ok);
    EXPECT_EQ(ErrMalformed, r.error);
    EXPECT_FALSE(clash->reported);
}

TEST(Lines, ErrorReportsItsSourceLine)
{
    // Opcode 249 has no handler: error 1 where it stands.
    const std::string bad = "\xFF\xEF\xE9";
    struct Case { std::string image; int line; };
    const Case cases[] = {
        {bad, 1},
        {"' comment\r\n" + nop + "\r\n\r\n" + bad + "\r\n", 4},
        {nop + "\n" + nop + "\n" + bad, 1},
        // Opcodes cut short by the end of the image are no label for the
        // label pass either, which reads nothing past the image's end.
        {nop + "\r\n\xFF", 2},
        {nop + "\r\n\xFF\xE1", 2},
    };
    for (const Case& c : cases) {
        auto o = prepareImage(c.image);
        RunResult r = runPrepared(*o);
        EXPECT_EQ(0, r.ok);
        EXPECT_EQ(ErrMalformed, r.error);
        EXPECT_TRUE(o->reported);
        EXPECT_EQ(c.line, r.line);
    }
}

TEST(Lifecycle, ReleaseIsIdempotentAndKeepsBuiltIns)
{
    TestOstrin fresh;
    fresh.release();
    fresh.release();
    EXPECT_EQ(&fresh.stdinVar, fresh.stdoutVar.next);
    EXPECT_EQ(&fresh.precVar, fresh.stdinVar.next);
    EXPECT_EQ(nullptr, fresh.precVar.next);

    auto o = prepareImage(nop);
    ASSERT_NE(nullptr, o->sysString);
    EXPECT_EQ(65536u, o->sysString->count);
    EXPECT_EQ(TypeString, o->sysString->type);
    o->release();
    EXPECT_EQ(nullptr, o->precVar.next);
    EXPECT_EQ(&o->precVar, o->lastVariable);
    EXPECT_EQ(0, o->run());   // nothing loaded any more
}

TEST(Lifecycle, ControlStack)
{
    auto o = prepareImage("");
    for (int i = 0; i < Ostrin::ControlStackSize; ++i) ASSERT_EQ(1, o->pushControl(i));
    EXPECT_EQ(0, o->pushControl(-1));
    EXPECT_EQ(Ostrin::ControlStackSize - 1, o->popControl());
    while (o->controlTop) o->popControl();
    EXPECT_EQ(0, o->popControl());
}

}  // namespace
