// Text and binary files, record access, directories and file enumeration,
// run as small programs in a scratch directory of their own. Files written
// by programs are checked byte for byte: other programs read them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/harness.h"

namespace {

namespace fs = std::filesystem;

// A directory of the test's own, removed afterwards. Programs name it $D
// ("$D\a.txt"); tests run one per process in a shared working directory, so
// the name carries the test's name.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::string("scratch_files_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directory(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string path(const std::string& name) const { return dir + "\\" + name; }

    // Runs the lines ($D replaced) and keeps the interpreter; without a place
    // for the result the run must end without an error.
    std::unique_ptr<TestOstrin> run(const std::vector<std::string>& lines, RunResult* result = nullptr)
    {
        std::string source;
        for (std::string l : lines) {
            for (size_t at; (at = l.find("$D")) != std::string::npos;) l.replace(at, 2, dir);
            source += l + "\n";
        }
        auto o = prepareProgram(source);
        if (!o) return o;
        RunResult r = runPrepared(*o);
        if (result) *result = r;
        else EXPECT_EQ(0, r.error) << "error at line " << r.line;
        return o;
    }

    std::string readBytes(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void writeBytes(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

    std::string dir;
};

std::string le32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// Checks integer variables after a run, naming each one that differs.
void expectInts(Ostrin& o, std::initializer_list<std::pair<const char*, int32_t>> want)
{
    for (const auto& [name, value] : want) EXPECT_EQ(value, intVar(o, name)) << name;
}

TEST_F(FilesTest, TextLinesAreWrittenAppendedAndReadBack)
{
    auto o = run({
        "declare_variables f: FILE",
        "declare_variables s1, s2, s3: STRING",
        "rw = open_file(f, \"$D\\t.txt\", \"w\")",
        "write_file f, \"name\", 5, 2.5",
        "close_file f",
        "ra = open_file(f, \"$D\\t.txt\", \"A\")",
        "write_file f, \"second line\"",
        "close_file f",
        "rr = open_file(f, \"$D\\t.txt\", \"r\")",
        "r1 = read_file(f, s1)",
        "r2 = read_file(f, s2)",
        "e1 = end_of_file(f)",
        "r3 = read_file(f, s3)",
        "e2 = end_of_file(f)",
    });
    ASSERT_TRUE(o);
    // CR LF on disk; numbers as the console prints them (an integer with a
    // trailing blank, a fraction with a leading one).
    EXPECT_EQ("name5  2.50\r\nsecond line\r\n", readBytes("t.txt"));
    EXPECT_EQ("name5  2.50", stringVar(*o, "s1"));
    EXPECT_EQ("second line", stringVar(*o, "s2"));
    // End of file only once a read has hit the end, not after the last line.
    expectInts(*o, {{"rw", 0}, {"ra", 0}, {"rr", 0}, {"r1", 0}, {"r2", 0}, {"e1", 0}, {"r3", 999}, {"e2", 16}});
}

TEST_F(FilesTest, LongLineIsReadInPiecesThatFitTheString)
{
    const std::string head(100, 'x');
    writeBytes("long.txt", head + std::string(200, 'y') + "\r\nnext\r\n");
    auto o = run({
        "declare_variables f: FILE",
        "declare_variables a, b, c: STRING",
        "open_file f, \"$D\\long.txt\", \"r\"",
        "read_file f, a, b, c",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(head + std::string(153, 'y'), stringVar(*o, "a")) << "253 characters fit";
    EXPECT_EQ(std::string(47, 'y'), stringVar(*o, "b")) << "the rest of the line comes next";
    EXPECT_EQ("next", stringVar(*o, "c"));
}

TEST_F(FilesTest, TypedTextReads)
{
    writeBytes("n.txt", "42 4000000000 -9000000000 18000000000000000000 Q 7 1.5 -2.25\r\nabc\r\n");
    auto o = run({
        "declare_variables f: FILE",
        "declare_variables i, bad: INT",
        "declare_variables u: UINT",
        "declare_variables l: INT64",
        "declare_variables ul: UINT64",
        "declare_variables ch: CHAR",
        "declare_variables w: WORD",
        "declare_variables fl: FLOAT",
        "declare_variables d: DOUBLE",
        "open_file f, \"$D\\n.txt\", \"r\"",
        "r1 = read_file(f, i, u, l, ul)",
        "r2 = read_file(f, ch, w, fl, d)",
        "r3 = read_file(f, bad)",
    });
    ASSERT_TRUE(o);
    auto data = [&](const char* n) {
        std::string ref = n;
        return o->findVariable(ref.data(), nullptr, false)->data;
    };
    EXPECT_EQ(4000000000u, *reinterpret_cast<uint32_t*>(data("u")));
    EXPECT_EQ(-9000000000LL, *reinterpret_cast<int64_t*>(data("l")));
    EXPECT_EQ(18000000000000000000ULL, *reinterpret_cast<uint64_t*>(data("ul")));
    EXPECT_FLOAT_EQ(1.5f, *reinterpret_cast<float*>(data("fl")));
    EXPECT_DOUBLE_EQ(-2.25, doubleVar(*o, "d"));
    // Nothing converts from "abc": 999, and the target keeps its value.
    expectInts(*o, {{"r1", 0}, {"i", 42}, {"r2", 0}, {"ch", 'Q'}, {"w", 7}, {"r3", 999}, {"bad", 0}});
}

TEST_F(FilesTest, OpenFailuresAndWrongFileVariables)
{
    struct Case { const char* name; std::vector<std::string> lines; int result; int error; };
    const Case cases[] = {
        {"read of a missing file", {"declare_variables f: FILE", "r = open_file(f, \"$D\\none.txt\", \"r\")"}, 205, 0},
        {"write into a missing directory", {"declare_variables f: FILE", "r = open_file(f, \"$D\\no\\x.txt\", \"w\")"}, 206, 0},
        {"binary append of a missing file", {"declare_variables f: BFILE", "r = open_file(f, \"$D\\none.bin\", \"a\")"}, 207, 0},
        {"text append in a missing directory", {"declare_variables f: FILE", "r = open_file(f, \"$D\\no\\x.txt\", \"A\")"}, 207, 0},
        {"read after a failed open",
         {"declare_variables f: FILE", "declare_variables s: STRING", "r = open_file(f, \"$D\\none.txt\", \"r\")",
          "read_file f, s"}, 205, ErrFileClosed},
        {"write to a closed file", {"declare_variables f: FILE", "write_file f, 1"}, 0, ErrFileClosed},
        {"end of file of a closed file", {"declare_variables f: BFILE", "e = end_of_file(f)"}, 0, ErrFileClosed},
        {"position of a closed file", {"declare_variables f: BFILE", "p = file_position(f)"}, 0, ErrFileClosed},
        {"record of a closed file", {"declare_variables f: BFILE", "declare_variables n: INT", "read_record f, 1, n"}, 0, ErrFileClosed},
        {"unknown open mode", {"declare_variables f: FILE", "r = open_file(f, \"$D\\x.txt\", \"x\")"}, 0, ErrMalformed},
        {"open of a non-file variable", {"declare_variables f: INT", "r = open_file(f, \"$D\\x.txt\", \"w\")"}, 0, ErrType},
        {"close of a non-file variable", {"declare_variables f: INT", "close_file f"}, 0, ErrType},
        {"position of a text file", {"declare_variables f: FILE", "p = file_position(f)"}, 0, ErrType},
        {"close with two arguments", {"declare_variables f, g: FILE", "close_file f, g"}, 0, ErrMalformed},
        {"read without a target", {"declare_variables f: FILE", "read_file f"}, 0, ErrMalformed},
        {"binary read into a file variable",
         {"declare_variables f, g: BFILE", "open_file f, \"$D\\r.bin\", \"w\"", "read_file f, g"}, 0, ErrType},
        {"record read into a window variable",
         {"declare_variables f: BFILE", "declare_variables w: WINDOW", "open_file f, \"$D\\r.bin\", \"w\"",
          "read_record f, 1, w"}, 0, ErrType},
        {"text read into a memory variable",
         {"declare_variables f: FILE", "declare_variables m: MEMORY", "open_file f, \"$D\\r.txt\", \"w\"",
          "read_file f, m"}, 0, ErrType},
        {"record number below 1",
         {"declare_variables f: BFILE", "declare_variables n: INT", "open_file f, \"$D\\r.bin\", \"w\"",
          "write_record f, 0, n"}, 0, ErrSubstring},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = run(c.lines, &r);
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, r.error) << c.name;
        if (c.result) {
            EXPECT_EQ(c.result, intVar(*o, "r")) << c.name;
        }
        if (c.error) {
            EXPECT_EQ(static_cast<int>(c.lines.size()), r.line) << c.name;
        }
    }
}

TEST_F(FilesTest, ReopeningAVariableFlushesAndClosesItsStream)
{
    // Left open, the first stream would keep "abc" in its buffer and the
    // second would find an empty file.
    auto o = run({
        "declare_variables f: FILE",
        "declare_variables s: STRING",
        "open_file f, \"$D\\re.txt\", \"w\"",
        "write_file f, \"abc\"",
        "open_file f, \"$D\\re.txt\", \"r\"",
        "r = read_file(f, s)",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(0, intVar(*o, "r"));
    EXPECT_EQ("abc", stringVar(*o, "s"));
}

TEST_F(FilesTest, BinaryValuesAreWrittenAsTheirBytes)
{
    auto o = run({
        "declare_variables f: BFILE",
        "declare_variables i, i2: INT",
        "declare_variables w, w2: WORD",
        "declare_variables d, d2: DOUBLE",
        "declare_variables t[5], t2[5]: ISTRING",
        "i = 0x01020304",
        "w = 0xBEEF",
        "d = 1.5",
        "t = \"hi\"",
        "open_file f, \"$D\\v.bin\", \"w\"",
        "rw = write_file(f, i, w, d, t)",
        "p1 = file_position(f)",
        "file_position f, 0",
        "r1 = read_file(f, i2, w2, d2, t2)",
        "e1 = end_of_file(f)",
        "r2 = read_file(f, i2)",
        "e2 = end_of_file(f)",
    });
    ASSERT_TRUE(o);
    const double d = 1.5;
    EXPECT_EQ(le32(0x01020304) + "\xEF\xBE" + std::string(reinterpret_cast<const char*>(&d), 8) +
                  std::string("hi\0\0\0\0", 6),
              readBytes("v.bin"));
    EXPECT_DOUBLE_EQ(1.5, doubleVar(*o, "d2"));
    EXPECT_EQ("hi", stringVar(*o, "t2"));
    expectInts(*o, {{"rw", 0}, {"p1", 20}, {"r1", 0}, {"i2", 0x01020304}, {"w2", 0xBEEF}, {"e1", 0},
                    {"r2", 999}, {"e2", 16}});
}

TEST_F(FilesTest, BinaryTransfersStayInsideTheVariable)
{
    // An element near the end of an INT array takes only the bytes up to
    // the array's end, and a string read from raw bytes is terminated inside
    // its capacity.
    std::string ints;
    for (uint32_t k = 1; k <= 10; ++k) ints += le32(k);
    writeBytes("ten.bin", ints);
    writeBytes("text.bin", std::string(300, 'z'));
    auto o = run({
        "declare_variables f, g: BFILE",
        "declare_variables a[10]: INT",
        "declare_variables fx[8]: ISTRING",
        "open_file f, \"$D\\ten.bin\", \"r\"",
        "read_file f, a[8]",
        "p = file_position(f)",
        "open_file g, \"$D\\text.bin\", \"r\"",
        "read_file g, fx",
        "q = file_position(g)",
    });
    ASSERT_TRUE(o);
    expectInts(*o, {{"p", 8}, {"a[8]", 1}, {"a[9]", 2}, {"a[0]", 0}, {"q", 9}});
    EXPECT_EQ(std::string(8, 'z'), stringVar(*o, "fx"));
}

TEST_F(FilesTest, BinaryReadsIntoOneCharacterTakeOneByte)
{
    writeBytes("xyz.bin", "XYZ");
    auto o = run({
        "declare_variables f: BFILE",
        "declare_variables s, t: STRING",
        "s = \"abcde\"",
        "t = \"abcde\"",
        "open_file f, \"$D\\xyz.bin\", \"r\"",
        "read_file f, s[2]",
        "p = file_position(f)",
        "read_record f, 3, t[0]",
        "q = file_position(f)",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ("abXde", stringVar(*o, "s"));
    EXPECT_EQ("Zbcde", stringVar(*o, "t"));
    expectInts(*o, {{"p", 1}, {"q", 3}});
}

TEST_F(FilesTest, BinaryAppendUpdatesFromTheStart)
{
    writeBytes("u.bin", "ABCDEFGH");
    auto o = run({
        "declare_variables f: BFILE",
        "declare_variables i: INT",
        "i = 0x34333231",
        "r = open_file(f, \"$D\\u.bin\", \"a\")",
        "write_file f, i",
        "close_file f",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(0, intVar(*o, "r"));
    EXPECT_EQ("1234EFGH", readBytes("u.bin"));
}

TEST_F(FilesTest, RecordsAreNumberedFromOne)
{
    // INT, INT and WORD make 10 bytes: record 3 starts at byte 20, and
    // writing it into a new file leaves zeros before it.
    auto o = run({
        "record_type Rec",
        "declare_variables a, b: INT",
        "declare_variables c: WORD",
        "end_record_type",
        "declare_variables r, back, none: Rec",
        "declare_variables f: BFILE",
        "declare_variables n, m: INT",
        "declare_variables pair[2]: INT",
        "r.a = 0x11111111",
        "r.b = 0x22222222",
        "r.c = 0x3333",
        "open_file f, \"$D\\rec.bin\", \"w\"",
        "w3 = write_record(f, 3, r)",
        "p3 = file_position(f)",
        "r3 = read_record(f, 3, back)",
        "r4 = read_record(f, 4, none)",
        "r1 = read_record(f, 1, none)",
        "close_file f",
        // A plain variable is a record of its own size.
        "open_file f, \"$D\\ints.bin\", \"w\"",
        "n = 5",
        "write_record f, 2, n",
        "n = 6",
        "write_record f, 1, n",
        "read_record f, 2, m",
        "read_record f, 1, pair",
    });
    ASSERT_TRUE(o);
    const std::string rec = le32(0x11111111) + le32(0x22222222) + "\x33\x33";
    EXPECT_EQ(std::string(20, '\0') + rec, readBytes("rec.bin"));
    EXPECT_EQ(le32(6) + le32(5), readBytes("ints.bin"));
    expectInts(*o, {{"w3", 0}, {"p3", 30}, {"r3", 0}, {"back.a", 0x11111111}, {"back.b", 0x22222222},
                    {"back.c", 0x3333}, {"r4", 999}, {"r1", 0}, {"none.a", 0},
                    {"m", 5}, {"pair[0]", 6}, {"pair[1]", 5}});
}

TEST_F(FilesTest, NestedRecordsAndMemoryBlocksTravelWhole)
{
    // Sequential transfers write the members of nested records, not the
    // addresses the engine keeps them at, and a block its whole size.
    auto o = run({
        "record_type Pt",
        "declare_variables x, y: INT",
        "end_record_type",
        "record_type Box",
        "declare_variables corner: Pt",
        "declare_variables tag: CHAR",
        "end_record_type",
        "declare_variables b, c: Box",
        "declare_variables m, back: MEMORY",
        "declare_variables n: INT",
        "declare_variables f: BFILE",
        "b.corner.x = 3",
        "b.corner.y = 4",
        "b.tag = \"T\"",
        "allocate_memory m, 3, 4",
        "n = 0x41424344",
        "variable_to_memory m, 2, n",
        "open_file f, \"$D\\box.bin\", \"w\"",
        "write_file f, b, m",
        "allocate_memory back, 3, 4",
        "file_position f, 0",
        "r = read_file(f, c, back)",
        "n = 0",
        "memory_to_variable back, 2, n",
        "close_file f",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(le32(3) + le32(4) + "T" + le32(0) + le32(0x41424344) + le32(0), readBytes("box.bin"));
    expectInts(*o, {{"r", 0}, {"c.corner.x", 3}, {"c.corner.y", 4}, {"c.tag", 'T'}, {"n", 0x41424344}});
}

TEST_F(FilesTest, CopyDeleteAndDirectories)
{
    const std::string bytes("a\0b\r\nc", 6);
    writeBytes("src.bin", bytes);
    fs::create_directory(path("full"));
    writeBytes("full\\inside.txt", "x");
    struct Case { const char* line; bool succeeds; };
    const Case cases[] = {
        {"r = copy_file(\"$D\\src.bin\", \"$D\\copy.bin\", 0)", true},
        {"r = copy_file(\"$D\\src.bin\", \"$D\\copy.bin\", 1)", false},   // exists, may not overwrite
        {"r = copy_file(\"$D\\src.bin\", \"$D\\copy.bin\", 0)", true},
        {"r = copy_file(\"$D\\missing.txt\", \"$D\\other.txt\", 0)", false},
        {"r = copy_file(\"$D\\src.bin\", \"$D\\kept.bin\", 1)", true},
        {"r = delete_file(\"$D\\copy.bin\")", true},
        {"r = delete_file(\"$D\\copy.bin\")", false},
        {"r = make_directory(\"$D\\sub\")", true},
        {"r = make_directory(\"$D\\sub\")", false},
        {"r = remove_directory(\"$D\\full\")", false},                   // not empty
        {"r = remove_directory(\"$D\\sub\")", true},
        {"r = remove_directory(\"$D\\sub\")", false},
    };
    for (const Case& c : cases) {
        auto o = run({c.line});
        ASSERT_TRUE(o) << c.line;
        EXPECT_EQ(c.succeeds, intVar(*o, "r") != 0) << c.line;
    }
    EXPECT_EQ(bytes, readBytes("kept.bin"));
    EXPECT_FALSE(fs::exists(path("copy.bin")));
    EXPECT_FALSE(fs::exists(path("sub")));
    EXPECT_TRUE(fs::exists(path("full\\inside.txt")));
}

TEST_F(FilesTest, ArgumentCounts)
{
    const char* lines[] = {
        "copy_file \"a\", \"b\"", "delete_file", "delete_file \"a\", \"b\"", "make_directory",
        "remove_directory \"a\", \"b\"", "find_first_file", "find_next_file", "find_close 1, 2", "open_file 1, 2",
    };
    for (const char* line : lines) {
        RunResult r;
        ASSERT_TRUE(run({line}, &r)) << line;
        EXPECT_EQ(ErrArgCount, r.error) << line;
    }
    RunResult r;
    ASSERT_TRUE(run({"file_dialog"}, &r));
    EXPECT_EQ(ErrMalformed, r.error) << "file dialog without a title";
}

// Program lines that start an enumeration and take `steps` names from it
// into n1$, n2$, ...; and the names taken.
std::vector<std::string> enumerationLines(const std::string& pattern, int steps)
{
    std::vector<std::string> lines = {"declare_variables h: INT", "h = find_first_file(\"" + pattern + "\")"};
    for (int k = 1; k <= steps; ++k) lines.push_back(std::string("n") + std::to_string(k) + "$ = find_next_file(h)");
    return lines;
}

std::vector<std::string> taken(Ostrin& o, int steps)
{
    std::vector<std::string> names;
    for (int k = 1; k <= steps; ++k) names.push_back(stringVar(o, (std::string("n") + std::to_string(k) + "$").c_str()));
    return names;
}

TEST_F(FilesTest, EnumerationWithPatterns)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.dat"}) writeBytes(name, "x");
    struct Case { const char* pattern; std::set<std::string> names; };
    const Case cases[] = {
        {"$D\\*.txt", {"a.txt", "b.txt", "c.txt"}},
        {"$D\\*.dat", {"d.dat"}},
        {"$D\\?.txt", {"a.txt", "b.txt", "c.txt"}},
        {"$D\\*", {".", "..", "a.txt", "b.txt", "c.txt", "d.dat"}},
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.names.size());
        std::vector<std::string> lines = enumerationLines(c.pattern, n + 2);
        lines.push_back("find_close h");
        auto o = run(lines);
        ASSERT_TRUE(o) << c.pattern;
        EXPECT_NE(0, intVar(*o, "h")) << c.pattern;
        // Every match once, in the order the system lists them, then empty
        // texts for good.
        const std::vector<std::string> got = taken(*o, n + 2);
        EXPECT_EQ(c.names, std::set<std::string>(got.begin(), got.begin() + n)) << c.pattern;
        EXPECT_EQ("", got[n]) << c.pattern;
        EXPECT_EQ("", got[n + 1]) << c.pattern;
    }
}

TEST_F(FilesTest, EnumerationWithoutMatchesOrHandle)
{
    std::vector<std::string> lines = enumerationLines("$D\\*.none", 1);
    lines.insert(lines.end(), {"n2$ = find_next_file(12345)", "find_close h", "find_close 12345"});
    auto o = run(lines);
    ASSERT_TRUE(o);
    EXPECT_EQ(0, intVar(*o, "h"));
    EXPECT_EQ("", stringVar(*o, "n1$"));
    EXPECT_EQ("", stringVar(*o, "n2$")) << "a number that is no finder is never followed";
}

// A finder the program never closed goes at the end of its run: another
// run finds nothing behind the same number.
TEST_F(FilesTest, UnclosedFinderEndsWithTheRun)
{
    writeBytes("a.txt", "x");
    auto first = run({"h = find_first_file(\"$D\\*.txt\")"});
    ASSERT_TRUE(first);
    const int32_t h = intVar(*first, "h");
    ASSERT_NE(0, h);
    first.reset();
    auto second = run({"n$ = find_next_file(" + std::to_string(h) + ")"});
    ASSERT_TRUE(second);
    EXPECT_EQ("", stringVar(*second, "n$"));
}

TEST_F(FilesTest, EnumerationSurvivesOtherSystemCallsBetweenSteps)
{
    // Opening a file whose name is invalid leaves the system's last-error
    // code at "invalid name", the very code that marks an ended enumeration;
    // the names still come one by one.
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) writeBytes(name, "x");
    std::vector<std::string> lines = {"declare_variables f: FILE"};
    for (const std::string& l : enumerationLines("$D\\*.txt", 4)) {
        lines.push_back(l);
        lines.push_back("r = open_file(f, \"$D\\bad<|>name.txt\", \"r\")");
    }
    auto o = run(lines);
    ASSERT_TRUE(o);
    EXPECT_EQ(205, intVar(*o, "r"));
    const std::vector<std::string> got = taken(*o, 4);
    EXPECT_EQ((std::set<std::string>{"a.txt", "b.txt", "c.txt"}), std::set<std::string>(got.begin(), got.begin() + 3));
    EXPECT_EQ("", got[3]);
}

}  // namespace
