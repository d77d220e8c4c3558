// The console statements: print formats, line input, the key reader, the
// screen statements, file mode and the output window.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

struct ConsoleCase {
    const char* name;
    const char* source;
    const char* input;
    const char* output;
    int error;
};

void runCases(const ConsoleCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const ConsoleCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const RunResult r = runProgram(c.source, c.input);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.output, r.output);
    }
}

TEST(Console, PrintFormats)
{
    const ConsoleCase cases[] = {
        // An integer ends in a blank and a fraction starts with one.
        {"integer then fraction", "console_print 5, 2.5", "", "5  2.50\n", 0},
        {"whole float prints as an integer", "console_print 3.0", "", "3 \n", 0},
        {"trailing comma: no line feed", "console_print \"a\",", "", "a", 0},
        {"no arguments: only a line feed", "console_print", "", "\n", 0},
        {"empty argument in the middle", "console_print 1, , 2", "", "1 2 \n", 0},
        {"precision 4", "decimal_precision 4\nconsole_print 0.125", "", " 0.1250\n", 0},
        {"precision 0", "decimal_precision 0\nconsole_print 0.75", "", " 1\n", 0},
        {"precision from an expression", "decimal_precision 1 + 2\nconsole_print 1 / 8", "", " 0.125\n", 0},
        {"negative fraction", "console_print -1.5", "", " -1.50\n", 0},
        {"numeric expression", "console_print 1 / 4, 10 / 2", "", " 0.255 \n", 0},
        {"64-bit literal", "console_print 3000000000", "", "3000000000 \n", 0},
        {"beyond 64 bits", "console_print 1000000000 * 1000000000 * 1000", "", "1000000000000000000000 \n", 0},
        {"string expression", "console_print \"x\" + \"y\", \"z\"", "", "xyz\n", 0},
        {"percent sign is text", "console_print \"100%\"", "", "100%\n", 0},
        {"word has no blank", "declare_variables w: WORD\nw = 7\nconsole_print w, w", "", "77\n", 0},
        {"unsigned", "declare_variables u: UINT\nu = 4000000000\nconsole_print u", "", "4000000000 \n", 0},
        {"64-bit variable", "declare_variables v: INT64\nv = -5\nconsole_print v", "", "-5 \n", 0},
        {"double variable", "declare_variables d: DOUBLE\nd = 0.5\nconsole_print d, d * 4", "", " 0.502 \n", 0},
        {"file prints a percent sign", "declare_variables f: FILE\nconsole_print f", "", "%\n", 0},
        {"pointer prints its value", "declare_variables p: POINTER\nconsole_print p", "", "00000000 \n", 0},
        {"memory prints its block", "declare_variables m: MEMORY\nconsole_print m", "", "00000000 \n", 0},
        {"unknown name", "console_print nothing", "", "", ErrUndefined},
        // The current-window token starts an ordinary expression unless it
        // stands alone; outside an event it reads 0.
        {"current-window token in an expression", "console_print \"x\", {72}<>0, {72}+5", "", "x0 5 \n", 0},
        {"current-window token alone", "console_print \"x\", {72}", "", "x\n", 0},
        {"precision without argument", "decimal_precision", "", "", ErrArgCount},
        // A function an argument calls prints its own line first; the line
        // being built around the call stays whole.
        {"a function that prints",
         "declare_function f(x: INT)\nconsole_print \"a\", f(1), \"b\", f(2)\njump finish\nf:\n"
         "console_print \"in\", x\nreturn x * 10\nfinish:",
         "", "in1 \nin2 \na10 b20 \n", 0},
    };
    runCases(cases, std::size(cases));
}

TEST(Console, Input)
{
    const ConsoleCase cases[] = {
        {"hexadecimal integer", "declare_variables n: INT\nconsole_input n\nconsole_print n", "0x1F\n", "31 \n", 0},
        {"octal integer", "declare_variables n: INT\nconsole_input n\nconsole_print n", "010\n", "8 \n", 0},
        {"negative integer", "declare_variables n: INT\nconsole_input n\nconsole_print n", "-12\n", "-12 \n", 0},
        {"unsigned", "declare_variables u: UINT\nconsole_input u\nconsole_print u", "4000000000\n", "4000000000 \n", 0},
        {"word keeps 16 bits", "declare_variables w: WORD\nconsole_input w\nconsole_print w", "70000\n", "4464\n", 0},
        {"double", "declare_variables d: DOUBLE\nconsole_input d\nconsole_print d", "2.5\n", " 2.50\n", 0},
        {"float", "declare_variables f: FLOAT\nconsole_input f\nconsole_print f", "0.25\n", " 0.25\n", 0},
        {"64-bit", "declare_variables v: INT64\nconsole_input v\nconsole_print v", "3000000000\n", "3000000000 \n", 0},
        {"string line with blanks", "declare_variables s: STRING\nconsole_input s\nconsole_print s, \"|\"",
         "hello world\n", "hello world|\n", 0},
        {"character takes the first", "declare_variables c: CHAR\nconsole_input c\nconsole_print c", "xyz\n", "x\n", 0},
        {"prompt without line feed", "declare_variables s: STRING\nconsole_input \"Name? \", s\nconsole_print s",
         "Bob\n", "Name? Bob\n", 0},
        {"array element", "declare_variables a[3]: INT\nconsole_input a[1]\nconsole_print a[0], a[1]", "9\n",
         "0 9 \n", 0},
        {"end of input", "declare_variables n: INT\nconsole_input n", "", "", ErrInputEnded},
        {"prompt without target", "console_input \"Name? \"", "x\n", "", ErrArgCount},
        {"no argument", "console_input", "x\n", "", ErrArgCount},
        {"unknown target", "console_input nothing", "x\n", "", ErrUndefined},
        {"target of a type input cannot set", "declare_variables f: FILE\nconsole_input f", "x\n", "", ErrType},
    };
    runCases(cases, std::size(cases));
}

// Lines longer than the input buffer are cut to 254 characters.
TEST(Console, LongInputLineIsCut)
{
    auto o = prepareProgram("declare_variables s[400]: ISTRING\nconsole_input s\nconsole_input s");
    ASSERT_NE(nullptr, o);
    const RunResult r = runPrepared(*o, std::string(300, 'a') + "\nshort\n");
    ASSERT_EQ(0, r.error);
    EXPECT_EQ("short", stringVar(*o, "s"));

    auto first = prepareProgram("declare_variables s[400]: ISTRING\nconsole_input s");
    ASSERT_NE(nullptr, first);
    ASSERT_EQ(0, runPrepared(*first, std::string(300, 'a') + "\n").error);
    EXPECT_EQ(std::string(254, 'a'), stringVar(*first, "s"));
}

TEST(Console, Key)
{
    const ConsoleCase cases[] = {
        {"nothing pending: empty at once", "declare_variables s: STRING\ns = console_key\nconsole_print \"[\", s, \"]\"",
         "", "[]\n", 0},
        {"pending character", "declare_variables s: STRING\ns = console_key\nconsole_print \"[\", s, \"]\"", "k", "[k]\n",
         0},
        {"key-code mode", "declare_variables s: STRING\ns = console_key(1)\nconsole_print \"[\", s, \"]\"", "k", "[K]\n", 0},
        {"flag 0 is character mode", "declare_variables s: STRING\ns = console_key(0)\nconsole_print s", "k", "k\n", 0},
        {"too many arguments", "console_key 1, 2", "", "", ErrMalformed},
    };
    runCases(cases, std::size(cases));

    // Reading a key must not open the console.
    auto o = prepareProgram("console_key");
    ASSERT_NE(nullptr, o);
    runPrepared(*o);
    EXPECT_FALSE(o->capture.opened);
}

struct ScreenCase {
    const char* name;
    const char* source;
    int error;
    int attribute;   // last attribute set, -1 for none
    int row, column; // cursor, -1 when not moved
    int clears;
};

TEST(Console, ScreenStatements)
{
    const ScreenCase cases[] = {
        {"foreground only", "console_colour 14", 0, 14, -1, -1, 0},
        {"foreground and background", "console_colour 2, 1", 0, 18, -1, -1, 0},
        {"background only", "console_colour , 1", 0, 16, -1, -1, 0},
        {"colour without arguments", "console_colour", ErrArgCount, -1, -1, -1, 0},
        {"colour with three arguments", "console_colour 1, 2, 3", ErrArgCount, -1, -1, -1, 0},
        {"cursor counts from 1", "console_cursor 3, 5", 0, -1, 2, 4, 0},
        {"cursor with one argument", "console_cursor 3", ErrArgCount, -1, -1, -1, 0},
        {"clear", "clear_console", 0, -1, -1, -1, 1},
        {"clear with an argument", "clear_console 1", ErrArgCount, -1, -1, -1, 0},
    };
    for (const ScreenCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto o = prepareProgram(c.source);
        ASSERT_NE(nullptr, o);
        const RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.attribute, o->capture.attribute);
        EXPECT_EQ(c.row, o->capture.cursorRow);
        EXPECT_EQ(c.column, o->capture.cursorColumn);
        EXPECT_EQ(c.clears, o->capture.clears);
        // Each of them opens the console first, even when it then fails.
        EXPECT_TRUE(o->capture.opened);
    }
}

TEST(Console, OpenAndClose)
{
    const ConsoleCase cases[] = {
        {"open with an argument", "open_console 1", "", "", ErrArgCount},
        {"close with an argument", "close_console 1", "", "", ErrArgCount},
        {"print after close reopens", "open_console\nclose_console\nconsole_print \"x\"", "", "x\n", 0},
    };
    runCases(cases, std::size(cases));

    auto o = prepareProgram("open_console\nclose_console");
    ASSERT_NE(nullptr, o);
    runPrepared(*o);
    EXPECT_FALSE(o->capture.opened);

    auto p = prepareProgram("console_print 1");
    ASSERT_NE(nullptr, p);
    runPrepared(*p);
    EXPECT_TRUE(p->capture.opened);
}

// File mode: the file statements pass a FILE variable as argument 0 with
// toFile set; the text goes to its stream with a line feed, never to the
// console.
TEST(Console, FileMode)
{
    auto o = prepareProgram("' nothing to run");
    ASSERT_NE(nullptr, o);
    char fileName[] = "f";
    Variable* f = o->defineVariable(fileName, TypeFile, 1, nullptr);
    ASSERT_NE(nullptr, f);
    char emptyName[] = "closed";
    ASSERT_NE(nullptr, o->defineVariable(emptyName, TypeFile, 1, nullptr));
    char numberName[] = "n";
    ASSERT_NE(nullptr, o->defineVariable(numberName, TypeInt, 1, nullptr));

    struct FileCase { const char* args; int error; const char* written; };
    const FileCase cases[] = {
        {"f, 5, \"x\", 2.5", 0, "5 x 2.50\n"},
        {"f, \"no line feed suppression\",", 0, "no line feed suppression\n"},
        {"f", 0, "\n"},
        {"closed, 1", ErrFileClosed, ""},
        {"n, 1", ErrType, ""},
    };
    Statement* st = o->newStatement(MaxArgs);
    ASSERT_NE(nullptr, st);
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.args);
        FILE* stream = std::fopen("console_file_mode.txt", "w+");
        ASSERT_NE(nullptr, stream);
        *reinterpret_cast<FILE**>(f->data) = stream;
        std::string line = std::string("\xFF\xE0\xE0 ") + c.args;
        std::vector<char> text(line.begin(), line.end());
        text.push_back(0);
        ASSERT_EQ(0, o->decodeStatement(st, text.data()));
        st->toFile = 1;
        o->errorCode = 0;
        Statement* result = o->consolePrint(st);
        EXPECT_EQ(c.error, o->errorCode);
        EXPECT_EQ(c.error == 0, result != nullptr);
        EXPECT_EQ(0, st->toFile);
        // A text stream: the line feed is stored as CR LF and read back.
        const long written = std::ftell(stream);
        std::rewind(stream);
        std::string got(static_cast<size_t>(written), '\0');
        got.resize(std::fread(&got[0], 1, got.size(), stream));
        EXPECT_EQ(c.written, got);
        std::fclose(stream);
        *reinterpret_cast<FILE**>(f->data) = nullptr;
    }
    std::remove("console_file_mode.txt");
    o->deleteStatement(st);
    EXPECT_EQ("", o->capture.output);
    EXPECT_FALSE(o->capture.opened);
}

// A host that records the text drawn into windows.
class DrawingUi : public UiHost {
public:
    bool prepare() override { return true; }
    void startRun() override {}
    void destroyWindow(void*) override {}
    void deleteWindow(void*) override {}
    void deleteDialog(void*) override {}
    bool drawText(void* window, const char* text, size_t length) override
    {
        drawn.push_back({window, std::string(text, length)});
        return true;
    }
    struct Drawn {
        void* window;
        std::string text;
    };
    std::vector<Drawn> drawn;
};

// A character written or typed into the last byte of a fixed string takes
// the place of its terminator: the string is then read up to the end of its storage,
// never past it, whatever lies behind it in memory.
TEST(Console, StringWithoutTerminatorEndsWithItsStorage)
{
    for (int size : {3, 7, 15, 23}) {
        const std::string text(static_cast<size_t>(size), 'a');
        const std::string n = std::to_string(size);
        const RunResult r = runProgram(
            "declare_variables s[" + n + "]: ISTRING\n"
            "declare_variables t[" + n + "]: ISTRING\n"
            "t = \"" + text + "\"\n"
            "s = \"" + text + "\"\n"
            "s[" + n + "] = \"d\"\n"
            "console_input t[" + n + "]\n"
            "console_print s\n"
            "console_print t, size_of(s)\n",
            "e\n");
        EXPECT_EQ(0, r.error) << size;
        EXPECT_EQ(text + "d\n" + text + "e" + std::to_string(size + 1) + " \n", r.output) << size;
    }
}

// A window as the first argument makes it the output window: that print and
// the later ones draw there, without line feeds, instead of the console.
TEST(Console, OutputWindow)
{
    DrawingUi ui;
    const char* source = "console_print w, \"a\", 1\nconsole_print \"b\"";
    auto prepared = prepareProgram(source);
    ASSERT_NE(nullptr, prepared);
    prepared->ui = &ui;
    char name[] = "w";
    Variable* w = prepared->defineVariable(name, TypeWindow, 1, nullptr);
    ASSERT_NE(nullptr, w);
    int windowObject = 0;
    *reinterpret_cast<void**>(w->data) = &windowObject;

    const RunResult r = runPrepared(*prepared);
    EXPECT_EQ(0, r.error);
    EXPECT_EQ("", r.output);
    ASSERT_EQ(2u, ui.drawn.size());
    EXPECT_EQ(&windowObject, ui.drawn[0].window);
    EXPECT_EQ("a1 ", ui.drawn[0].text);
    EXPECT_EQ("b", ui.drawn[1].text);
    prepared->ui = nullptr;   // the fake window object is no real window
    *reinterpret_cast<void**>(w->data) = nullptr;
}

}  // namespace
