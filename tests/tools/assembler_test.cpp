// The readable notation -> image bytes, error reporting, line ends, and the
// disassembler's round trip.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "image/assembler.h"

namespace {

using namespace std::string_literals;

// Shows image bytes readably in failure messages: printable ASCII as is,
// everything else as <HH>.
std::string show(const std::string& bytes)
{
    std::string s;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "<%02X>", c);
            s += buf;
        }
    }
    return s;
}

std::string assembleOk(const std::string& source, bool bareLf = false)
{
    std::string out;
    image::AsmError err;
    image::AsmOptions opt;
    opt.bareLf = bareLf;
    EXPECT_TRUE(image::assemble(source, out, err, opt))
        << show(source) << " -> " << err.line << ":" << err.column << ": " << err.message;
    return out;
}

struct EncodeCase {
    const char* name;
    std::string source;  // one line
    std::string line;    // expected image line, without its CR LF
};

TEST(Assembler, EncodesOneLine)
{
    const EncodeCase cases[] = {
        // Statements by name at the start of a line, one blank dropped.
        {"sine opcode 95", "sine x", "\xFF\xE5\xEFx"},
        {"call opcode 44", "call total, 1", "\xFF\xE2\xECtotal, 1"},
        {"no arguments", "no_operation", "\xFF\xE1\xE6"},
        {"opcode 0", "console_print \"Hi\"", "\xFF\xE0\xE0\"Hi\""},
        {"shared name takes lower opcode 23", "label_definition here", "\xFF\xE1\xE7here"},
        {"shared name takes lower opcode 13", "jump here", "\xFF\xE0\xEDhere"},
        {"opcode 248", "get_caret_position", "\xFF\xEF\xE8"},
        {"only one blank is dropped", "console_print  x", "\xFF\xE0\xE0 x"},
        {"tab separator dropped", "console_print\tx", "\xFF\xE0\xE0x"},
        {"parenthesised arguments", "console_print(a, b)", "\xFF\xE0\xE0(a, b)"},
        {"leading blanks kept", "  \tjump done", "  \t\xFF\xE0\xED" "done"},
        {"block else statement", "else", "\xFF\xE3\xE7"},
        {"then and else tokens",
         "conditional x > 1 then console_print \"big\" else console_print \"small\"",
         "\xFF\xE0\xE6x > 1 \xFF\xED\xEA \xFF\xE0\xE0 \"big\" \xFF\xE3\xE7 \xFF\xE0\xE0 \"small\""},
        // A statement name as the first word of a plain line.
        {"assignment to a statement name", "sign = 1", "sign = 1"},
        {"assignment without blanks", "sign=1", "sign=1"},
        {"label with a statement name", "sine:", "sine:"},
        {"indexed statement name", "sign[2] = 1", "sign[2] = 1"},
        {"member of a statement name", "character.x = 1", "character.x = 1"},
        {"backquoted first word", "`sine foo", "sine foo"},
        // Plain lines: first word as written, the rest encoded.
        {"function in assignment", "x = sine(0)+1", "x = \xFF\xE5\xEF(0)+1"},
        {"function without arguments", "t = date_text", "t = \xFF\xE4\xE6"},
        {"label call arguments", "add(sine(1), 2)", "add(\xFF\xE5\xEF(1), 2)"},
        {"label line", "done:", "done:"},
        {"sub line", "sub total(a, b)", "sub total(a, b)"},
        {"first word never a constant", "WM_PAINT = 1", "WM_PAINT = 1"},
        // Names that stay plain.
        {"backquote keeps a name", "x = `sine + 1", "x = sine + 1"},
        {"member path", "x = a.sine", "x = a.sine"},
        {"pointer target", "x = #sign", "x = #sign"},
        {"named value", "x = @WM_PAINT", "x = @WM_PAINT"},
        {"longer identifier", "x = sines + thenx + WM_PAINTED", "x = sines + thenx + WM_PAINTED"},
        {"upper-case statement name", "x = SINE(1)", "x = SINE(1)"},
        {"lower-case constant name", "x = wm_paint", "x = wm_paint"},
        {"number tokens", "x = 1e5 + 0x1F + 2sine + 1.5", "x = 1e5 + 0x1F + 2sine + 1.5"},
        // Constants by name: index = (c1 & 0x1F) * 16 + (c2 - 0xE0).
        {"WM_PAINT index 49", "x = WM_PAINT", "x = \xFE\xE3\xE1"},
        {"CURRENT_WINDOW index 72", "close_window CURRENT_WINDOW", "\xFF\xE1\xE2\xFE\xE4\xE8"},
        {"WS_CAPTION index 17", "s = WS_CAPTION | WS_SYSMENU", "s = \xFE\xE1\xE1 | \xFE\xE1\xE3"},
        {"event slot index 0", "conditional EVENT_CODE = EV_CLOSE",
         "\xFF\xE0\xE6\xFE\xE0\xE0 = \xFE\xE1\xEF"},
        {"index 490", "x = EV_ERASE", "x = \xFE\xDE\xEA"},   // never 0xFE/0xFF inside a token
        // Escapes.
        {"{N} constant", "x = {5} + {237}", "x = \xFE\xE0\xE5 + \xFE\xEE\xED"},
        {"{N} highest index", "x = {497}", "x = \xFE\xDF\xE1"},
        {"{opN} at line start", "{op56} here", "\xFF\xE3\xE8 here"},
        {"{opN} in an expression", "x = {op95}(0)", "x = \xFF\xE5\xEF(0)"},
        {"{opN} top opcode", "{op255}", "\xFF\xEF\xEF"},
        {"{xHH} raw bytes", "x = {x41}{xff}{x00}", "x = A\xFF\x00"s},
        {"escape ends a name", "x = {x41}sine", "x = A\xFF\xE5\xEF"},
        // String literals are never touched.
        {"names in strings", "console_print \"sine WM_PAINT then {op1} `x\"",
         "\xFF\xE0\xE0\"sine WM_PAINT then {op1} `x\""},
        {"non-ASCII in strings", "s = \"\xE9t\xE9 \x80\xFD\"", "s = \"\xE9t\xE9 \x80\xFD\""},
        {"two strings and a name", "s = \"a\" + sine(1) + \"b\"", "s = \"a\" + \xFF\xE5\xEF(1) + \"b\""},
        // Comments pass through as written.
        {"quote comment", "' sine {op1} \xFF `", "' sine {op1} \xFF `"},
        {"semicolon comment", "  ; then else", "  ; then else"},
        {"blank line", " \t ", " \t "},
    };
    for (const EncodeCase& c : cases) {
        std::string want = c.line + "\r\n"s + '\0';
        EXPECT_EQ(show(want), show(assembleOk(c.source))) << c.name;
    }
}

struct ErrorCase {
    const char* name;
    std::string source;
    int line;
    int column;
    const char* words;  // part of the message
};

TEST(Assembler, RejectsWhatItCannotEncode)
{
    const ErrorCase cases[] = {
        {"unterminated string", "x = \"abc", 1, 5, "unterminated string"},
        {"unterminated after a good one", "console_print \"a\", \"b", 1, 20, "unterminated string"},
        {"unknown escape", "x = {foo}", 1, 5, "unknown escape {foo}"},
        {"one hex digit", "x = {x4}", 1, 5, "unknown escape"},
        {"unclosed brace", "x = {op1", 1, 5, "closing"},
        {"literal 0xFF", "x = \xFF\xE5\xEF", 1, 5, "0xFF"},
        {"literal 0xFE", "x = 1 + \xFE", 1, 9, "0xFE"},
        {"0xFF in a string", "x = \"a\xFF\"", 1, 7, "string literal"},
        {"zero byte", "x = 1\0 + 2"s, 1, 6, "zero byte"},
        {"opcode too large", "{op256}", 1, 1, "opcode 256"},
        {"constant index too large", "x = {498}", 1, 5, "constant index 498"},
        {"line-end mark inside", "x{lf} = 1", 1, 2, "last thing"},
        {"noeol not last", "a{noeol}\nb", 1, 2, "last line"},
        {"lone backquote", "x = ` sine", 1, 5, "backquote"},
        {"reports its line", "a = 1\r\n' fine\n\nb = \"open", 4, 5, "unterminated string"},
    };
    for (const ErrorCase& c : cases) {
        std::string out = "stale";
        image::AsmError err;
        EXPECT_FALSE(image::assemble(c.source, out, err)) << c.name;
        EXPECT_TRUE(out.empty()) << c.name << ": no image on failure";
        EXPECT_EQ(c.line, err.line) << c.name;
        EXPECT_EQ(c.column, err.column) << c.name;
        EXPECT_NE(std::string::npos, err.message.find(c.words)) << c.name << ": " << err.message;
    }
}

struct LineEndCase {
    const char* name;
    std::string source;
    bool bareLf;
    std::string image;
};

TEST(Assembler, EndsLinesAsAsked)
{
    const LineEndCase cases[] = {
        {"empty source", "", false, "\0"s},
        {"CR LF by default", "a\nb\n", false, "a\r\nb\r\n\0"s},
        {"bare LF", "a\nb\n", true, "a\nb\n\0"s},
        {"CR LF source read as lines", "a\r\nb\r\n", true, "a\nb\n\0"s},
        {"last line without newline", "a\nb", false, "a\r\nb\r\n\0"s},
        {"blank lines count", "\n\n", false, "\r\n\r\n\0"s},
        {"lf mark", "a{lf}\nb", false, "a\nb\r\n\0"s},
        {"crlf mark", "a{crlf}\nb", true, "a\r\nb\n\0"s},
        {"noeol mark", "a\nb{noeol}\n", false, "a\r\nb\0"s},
        {"mark on a comment", "' c{lf}\nx", false, "' c\nx\r\n\0"s},
        {"mark on a statement", "no_operation{lf}", false, "\xFF\xE1\xE6\n\0"s},
        {"only the last mark is taken", "' c{lf}{crlf}", false, "' c{lf}\r\n\0"s},
        {"CR before a mark kept", "' c\r{crlf}\n", false, "' c\r\r\n\0"s},
    };
    for (const LineEndCase& c : cases)
        EXPECT_EQ(show(c.image), show(assembleOk(c.source, c.bareLf))) << c.name;
}

struct DisasmCase {
    const char* name;
    std::string image;
    std::string text;
};

TEST(Disassembler, WritesTheNotation)
{
    const DisasmCase cases[] = {
        {"statement by name", "\xFF\xE5\xEFx\r\n\0"s, "sine x\n"},
        {"statement without arguments", "\xFF\xE1\xE6\r\n\0"s, "no_operation\n"},
        {"second opcode of a shared name", "\xFF\xE3\xE8here\r\n\0"s, "{op56}here\n"},
        {"opcode without a name", "\xFF\xE2\xE3\r\n\0"s, "{op35}\n"},
        {"function and constant", "x = \xFF\xE5\xEF(0) + \xFE\xE3\xE1\r\n\0"s, "x = sine(0) + WM_PAINT\n"},
        {"constant without a name", "x = \xFE\xE5\xE0\r\n\0"s, "x = {80}\n"},
        {"name that would join", "x = a\xFF\xE5\xEF\r\n\0"s, "x = a{op95}\n"},
        {"plain statement name", "x = sine\r\n\0"s, "x = `sine\n"},
        {"plain first word", "sine foo\r\n\0"s, "`sine foo\n"},
        {"assignment kept", "sign = 1\r\n\0"s, "sign = 1\n"},
        {"statement that looks like an assignment", "\xFF\xE1\xE4= 1\r\n\0"s, "{op20}= 1\n"},
        {"odd bytes", "x = {`\x01\r\n\0"s, "x = {x7B}{x60}{x01}\n"},
        {"0xFF inside a string", "x = \"a\xFF\"\r\n\0"s, "x = {x22}a{xFF}{x22}\n"},
        {"line ends marked", "a\nb\r\nc\0"s, "a{lf}\nb\nc{noeol}\n"},
        {"comment ending in CR", "' a\r\r\n\0"s, "' a\r{crlf}\n"},
    };
    for (const DisasmCase& c : cases) {
        EXPECT_EQ(show(c.text), show(image::disassemble(c.image))) << c.name;
        EXPECT_EQ(show(c.image), show(assembleOk(c.text))) << c.name << ": back again";
    }
}

// A program of every kind of line; its image must survive the round trip
// image -> text -> image unchanged, in both line-end modes.
const char* const sampleProgram =
    "' sample: every kind of line\n"
    "; another comment with sine and {op1} inside\n"
    "\n"
    "open_console\n"
    "declare_variables x, y[10], s: INT\n"
    "record_type point\n"
    "  declare_variables px, py: INT\n"
    "end_record_type\n"
    "x = sine(0) + cosine(1) * 2\n"
    "s = \"text with then and else \xE9\" + upper_case(\"a\")\n"
    "conditional x > 1 then console_print \"big\" else console_print \"small\"\n"
    "conditional EVENT_CODE = EV_CLOSE then close_window CURRENT_WINDOW\n"
    "counted_loop i, 1, 10\n"
    "  console_print i, {300}, {op35}(i), a.sine, #p, @LIMIT\n"
    "next_step i\n"
    "done:\n"
    "label total\n"
    "total(x, `sign)\n"
    "sign = 1\n"
    "sine:\n"
    "{op56} other\n"
    "  jump done{lf}\n"
    "x = {x7B}{xFE}{xFF}{x00}\n"
    "return{noeol}\n";

TEST(Disassembler, RoundTripsASampleProgram)
{
    for (bool bareLf : {false, true}) {
        image::AsmOptions opt;
        opt.bareLf = bareLf;
        std::string img = assembleOk(sampleProgram, bareLf);
        std::string text = image::disassemble(img, opt);
        EXPECT_EQ(show(img), show(assembleOk(text, bareLf))) << "bareLf " << bareLf << "\n" << text;
        if (!bareLf) {
            EXPECT_EQ(sampleProgram, text) << "canonical source comes back as written";
        }
    }
}

// Any image, however odd, must come back byte for byte: random lines made
// of the bytes the notation treats specially.
TEST(Disassembler, RoundTripsArbitraryImages)
{
    const std::string alphabet =
        "\xFF\xFE\xE0\xE3\xE5\xEA\xED\xEF\xF2"  // token bytes
        "\"\"{}`'; \t\r\n.#@=:[(0123\x01\x7F\x80"
        "sineWM_PAINTthenlsex"s + '\0';
    std::mt19937 rng(12345);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 3000; ++round) {
        std::string img;
        int n = length(rng);
        for (int i = 0; i < n; ++i) img += alphabet[pick(rng)];
        if (round % 3 == 0) img += "sine = 1\r\nconsole_print \"x\"";  // real words too
        img += '\0';
        for (bool bareLf : {false, true}) {
            image::AsmOptions opt;
            opt.bareLf = bareLf;
            std::string text = image::disassemble(img, opt);
            std::string back;
            image::AsmError err;
            ASSERT_TRUE(image::assemble(text, back, err, opt))
                << show(img) << "\n-> " << show(text) << "\n" << err.line << ":" << err.column << ": " << err.message;
            ASSERT_EQ(show(img), show(back)) << "text: " << show(text);
        }
    }
}

}  // namespace
