// String functions, called as programs call them: inside expressions as
// encoded function tokens, and as statements for their errors and for the
// bounds of SYSTEM_STRING0.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "interp/text.h"
#include "support/harness.h"

namespace {

std::unique_ptr<TestOstrin> runLines(const std::vector<std::string>& lines, RunResult& r)
{
    std::string source;
    for (const std::string& l : lines) source += l + "\n";
    auto o = prepareProgram(source);
    if (o) r = runPrepared(*o);
    return o;
}

// Variables the value cases read.
const std::vector<std::string> setup = {
    "record_type Pt",
    "declare_variables x, y: INT",
    "declare_variables tag: CHAR",
    "end_record_type",
    "declare_variables pt: Pt",
    "declare_variables n: INT",
    "declare_variables w: WORD",
    "declare_variables a[10]: INT",
    "declare_variables s, ws: STRING",
    R"(s = "abc")",
    // Line ends cannot stand in an image line, so this text is built.
    R"(ws = concatenate(" a b", character(9), character(13), character(10), character(11), character(12), " "))",
};

TEST(StringFunctions, Values)
{
    struct Case { const char* type; const char* expr; const char* want; };
    const Case cases[] = {
        {"STRING", R"(substring("ABCDE", 2, 3))", "BCD"},
        {"STRING", R"(substring("ABCDE", 2))", "BCDE"},
        {"STRING", R"(substring("ABCDE", 5, 10))", "E"},
        {"STRING", R"(substring("ABCDE", 6))", ""},
        {"STRING", R"(substring("ABCDE", 9))", ""},
        {"STRING", R"(substring("ABCDE", 2, 0))", ""},
        {"STRING", R"(left_part("ABC", 2))", "AB"},
        {"STRING", R"(left_part("ABC", 5))", "ABC"},
        {"STRING", R"(right_part("ABC", 2))", "BC"},
        {"STRING", R"(right_part("ABC", 5))", "ABC"},
        {"STRING", R"(right_part("ABC", 0))", ""},
        {"STRING", R"(substring(concatenate("xy", "ABC"), 3, 2))", "AB"},
        {"STRING", "character(65)", "A"},
        {"STRING", "character(0)", ""},
        {"STRING", "character(321)", "A"},                        // the low byte
        {"STRING", R"(repeat_character(3, "xy"))", "xxx"},
        {"STRING", "repeat_character(2, 66.9)", "BB"},
        {"STRING", R"(repeat_character(-4, "x"))", ""},
        {"STRING", "blanks(3)", "   "},
        {"STRING", R"(upper_case("abc-12_z{~"))", "ABC-12_Z{~"},
        {"STRING", R"(lower_case("AbC@9[Z"))", "abc@9[z"},
        {"STRING", "upper_case(\"\xE9t\xE9\")", "\xE9T\xE9"},     // no letter in the C locale
        {"STRING", R"(trim_left("  	 ab  "))", "ab  "},           // blanks and a tab
        {"STRING", R"(trim_right("  ab 	  "))", "  ab"},
        {"STRING", "trim_right(ws)", " a b"},                      // TAB CR LF VT FF too
        {"STRING", "upper_case(s[1])", "B"},                       // one selected character
        {"STRING", "concatenate(s[2], s[0], s[1])", "cab"},
        {"STRING", "number_to_text(5)", " 5"},
        {"STRING", "number_to_text(-2.5)", " -2.50"},
        {"STRING", "number_to_text(1/3)", " 0.33"},
        {"STRING", "number_to_text(2.999)", " 3.00"},              // rounded, not cut
        {"STRING", "number_to_text(5000000000)", " 5000000000"},   // not its low 32 bits
        {"STRING", "hexadecimal(255)", "FF"},
        {"STRING", "hexadecimal(-1)", "FFFFFFFFFFFFFFFF"},
        {"STRING", "hexadecimal(4294967296)", "100000000"},
        {"DOUBLE", R"(to_number("  -1e3xyz"))", "-1000"},
        {"DOUBLE", R"(to_number("abc"))", "0"},
        {"DOUBLE", R"(to_number(number_to_text(2.5)))", "2.5"},
        {"INT", R"(find_text("ABCDCD", "CD"))", "3"},
        {"INT", R"(find_text(4, "ABCDCD", "CD"))", "5"},
        {"INT", R"(find_text(3, "ABCDCD", "CD"))", "3"},          // found at the start itself
        {"INT", R"(find_text(6, "ABCDCD", "CD"))", "0"},          // only half of it left
        {"INT", R"(find_text(7, "ABCDCD", "CD"))", "0"},          // start beyond the end
        {"INT", R"(find_text(-5, "ABC", "C"))", "3"},             // start below 1 counts as 1
        {"INT", R"(find_text("ABCDCD", ""))", "0"},
        {"INT", R"(find_text("abc", "B"))", "0"},                 // case-sensitive
        {"INT", R"(character_code(""))", "0"},
        {"INT", "character_code(\"\xE9\")", "233"},               // unsigned
        {"INT", R"(size_of("hello"))", "5"},
        {"INT", "size_of(s)", "3"},
        {"INT", "size_of(w)", "2"},
        {"INT", "size_of(a)", "40"},
        {"INT", "size_of(pt)", "9"},                              // INT, INT, CHAR: no gaps
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = setup;
        lines.push_back(std::string("declare_variables res: ") + c.type);
        lines.push_back(std::string("res = ") + c.expr);
        RunResult r;
        auto o = runLines(lines, r);
        ASSERT_TRUE(o) << c.expr;
        EXPECT_EQ(0, r.error) << c.expr;
        std::string got = c.type[0] == 'S' ? stringVar(*o, "res")
                        : c.type[0] == 'I' ? std::to_string(intVar(*o, "res"))
                                           : testing::PrintToString(doubleVar(*o, "res"));
        EXPECT_EQ(c.want, got) << c.expr;
    }
}

TEST(StringFunctions, FormatNumberPictures)
{
    struct Case { const char* args; const char* want; };
    const Case cases[] = {
        {R"("#,###.##", 1234.5)", "1,234.50"},
        {R"("0###", 42)", "042"},                     // the zero is a flag: three digits minimum
        {R"("-###", 42)", "42 "},
        {R"("0####", -42)", "-0042"},
        {R"("##", 12345)", "12345"},                  // wider than its picture
        {R"("#.##", 1.006)", "1.01"},                 // rounded to the fraction digits
        {R"("#.#", 99.96)", "100.0"},                 // rounding overflows the picture
        {R"("0##.#", 2.26)", "02.3"},                 // zero-filled field of width 4
        {R"("###.", 7)", "   7"},                     // a point alone: width 4, no decimals
        {R"("###", 2.9)", "  2"},                     // an integer field takes the integer value
        {R"(",#########", -1234567)", " -1,234,567"},
        {R"(",######", 123)", "   123"},              // blanks do not start a group
        {R"(",######", -123456)", "-123,456"},        // nor does the sign
        {R"("-,######", 1234)", "1,234  "},
        {R"("############", 5000000000)", "  5000000000"},
        {R"("Total: ### & done", 42, "EUR")", "Total:  42 EUR done"},
        {R"("[##][##]", 1, 2)", "[ 1][ 2]"},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines({"declare_variables res: STRING", std::string("res = format_number(") + c.args + ")"}, r);
        ASSERT_TRUE(o) << c.args;
        EXPECT_EQ(0, r.error) << c.args;
        EXPECT_EQ(c.want, stringVar(*o, "res")) << c.args;
    }
}

TEST(StringFunctions, OverwriteTextChangesTheVariableInPlace)
{
    struct Case { const char* args; const char* want; };
    const Case cases[] = {
        {R"(2, 10, "XY")", "HXYLO"},      // stops at the replacement's end
        {R"(2, 1, "XYZ")", "HXLLO"},      // after count
        {R"(4, 9, "WXYZ")", "HELWX"},     // at the target's end: its length never changes
        {R"(0, 2, "XY")", "HELLO"},       // out of range: no change, no error
        {R"(6, 1, "X")", "HELLO"},
        {R"(2, 0, "X")", "HELLO"},
        {"2, 3, s", "HHELO"},             // the replacement is the target itself
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines({"declare_variables s: STRING", R"(s = "HELLO")", std::string("overwrite_text s, ") + c.args}, r);
        ASSERT_TRUE(o) << c.args;
        EXPECT_EQ(0, r.error) << c.args;
        EXPECT_EQ(c.want, stringVar(*o, "s")) << c.args;
    }
}

// Statement-level calls: the literal keeps its own type, string arguments
// that are expressions arrive in SYSTEM_STRING0 (which the next argument
// overwrites), and no result outgrows SYSTEM_STRING0.
TEST(StringFunctions, StatementCalls)
{
    struct Case { std::vector<std::string> lines; std::string want; };
    const std::string limit(Ostrin::StringResultSize - 1, ' ');
    const Case cases[] = {
        {{"number_to_text 5000000000"}, " 5000000000"},
        {{"hexadecimal 0xFFFFFFFF"}, "FFFFFFFF"},             // a hexadecimal literal has no sign
        {{"decimal_precision 4", "number_to_text 2.5"}, " 2.5000"},
        {{"decimal_precision 4", "number_to_text 12"}, " 12"},
        {{R"(find_text "ab" + "cd", "c" + "d")"}, "3"},
        {{R"(concatenate "a" + "b", "c" + "d")"}, "abcd"},
        {{R"(substring "AB" + "CD", find_text(upper_case("xbc"), "B"))"}, "BCD"},
        {{R"(format_number "#" + "#" + "&", 7, "z" + "z")"}, " 7zz"},
        {{"blanks 70000"}, limit},
        {{R"(repeat_character 100000, " ")"}, limit},
        {{"declare_variables big[20000]: ISTRING", "big = blanks(20000)", "concatenate big, big"},
         limit.substr(0, 32766)},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runLines(c.lines, r);
        ASSERT_TRUE(o) << c.lines.back();
        EXPECT_EQ(0, r.error) << c.lines.back();
        const std::string got = o->mainStatement->resultType == TypeInt
                                    ? std::to_string(intVar(*o, "SYSTEM_INT0"))
                                    : std::string(o->stringResultBuffer());
        EXPECT_EQ(c.want, got) << c.lines.back();
    }
}

TEST(StringFunctions, Errors)
{
    struct Case { std::vector<std::string> lines; int error; };
    const Case cases[] = {
        {{R"(substring "ABC", 0)"}, ErrSubstring},
        {{R"(substring "ABC", 1, -1)"}, ErrSubstring},
        {{R"(left_part "ABC", -1)"}, ErrSubstring},
        {{R"(right_part "ABC", -1)"}, ErrSubstring},
        {{"declare_variables res: STRING", R"(res = substring("ABC", 0, 1))"}, ErrSubstring},
        {{R"(substring "ABC", 1, 2, 3)"}, ErrArgCount},
        {{"concatenate"}, ErrArgCount},
        {{R"(find_text "A")"}, ErrArgCount},
        {{R"(format_number "###")"}, ErrArgCount},
        {{R"(format_number "### ###", 1)"}, ErrArgCount},   // the picture wants a second value
        {{R"(format_number "&", 5)"}, ErrType},             // a number where a string goes
        {{R"(format_number "## &", "x", 5)"}, ErrNotNumeric},   // the first error recorded
        {{"substring 12345, 1"}, ErrType},
        {{R"(character "A")"}, ErrNotNumeric},
        {{"size_of 5"}, ErrType},                            // not a variable
        {{"declare_variables m: MEMORY", R"(repeat_character 3, m)"}, ErrType},
        {{"declare_variables f: FILE", "size_of f"}, ErrFileClosed},
    };
    for (const Case& c : cases) {
        RunResult r;
        ASSERT_TRUE(runLines(c.lines, r)) << c.lines.back();
        EXPECT_EQ(c.error, r.error) << c.lines.back();
        EXPECT_EQ(static_cast<int>(c.lines.size()), r.line) << c.lines.back();
    }
}

// Lengths are read several characters at a time, both ways: the
// terminator at every place in a block, at every alignment, and a bound
// that comes first, give strnlen's answer, reading nothing past the bound
// (the buffer ends there).
TEST(StringFunctions, TextLengthsAtEveryAlignment)
{
    for (size_t start = 0; start < 32; ++start)
        for (size_t length = 0; length < 64; ++length)
            for (size_t limit : {length, length + 1, length + 17, length / 2}) {
                std::vector<char> buffer(start + limit + (limit ? 0 : 1), 'a');
                if (length < limit) buffer[start + length] = 0;
                const char* p = buffer.data() + start;
                const size_t expected = strnlen(p, limit);
                EXPECT_EQ(expected, textLengthByWords(p, limit)) << start << " " << length << " " << limit;
                size_t bySse2 = expected;
                textLengthBySse2(p, limit, bySse2);   // left as it is where there is no SSE2
                EXPECT_EQ(expected, bySse2) << start << " " << length << " " << limit;
                EXPECT_EQ(expected, textLength(p, limit));
            }
}

// A string grown past several words, copied into a shorter one, and grown
// when full, keeps the length its characters give.
TEST(StringFunctions, GrownStringsKeepTheirLengths)
{
    RunResult r;
    ASSERT_TRUE(runLines({"declare_variables t[20], f[7]: ISTRING", "declare_variables i, n: INT",
                          "counted_loop i, 1, 21", "t = t + character(64 + i)", "n = n * 100 + size_of(t) - i",
                          "next_step i", "f = t", "t = t + f", "console_print size_of(t), t, size_of(f), f, n"},
                         r));
    EXPECT_EQ(0, r.error);
    // n stays 0 while each append adds one character, and goes to -1 when
    // the full string (20 characters) cannot take the 21st.
    EXPECT_EQ("20 ABCDEFGHIJKLMNOPQRST7 ABCDEFG-1 \n", r.output);
}

}  // namespace
