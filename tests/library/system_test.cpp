// Date, time and system services, run as small programs. Dates and times
// are checked against the system clock's fields at the moment of the run,
// never against fixed values; resources come from system_test.rc, linked
// into this executable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/harness.h"

namespace {


std::unique_ptr<TestOstrin> runKeep(const std::vector<std::string>& lines, RunResult* result = nullptr)
{
    std::string source;
    for (const std::string& l : lines) source += l + "\n";
    auto o = prepareProgram(source);
    if (!o) return o;
    RunResult r = runPrepared(*o);
    if (result) *result = r;
    else EXPECT_EQ(0, r.error) << "error at line " << r.line;
    return o;
}

// Runs `sample` until the local date is the same before and after it, so a
// run across midnight cannot compare one day's text with the next day's.
template <typename F>
SYSTEMTIME stableDay(F sample)
{
    for (;;) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        sample();
        GetLocalTime(&after);
        if (before.wDay == after.wDay && before.wMonth == after.wMonth && before.wYear == after.wYear)
            return after;
    }
}

TEST(DateText, DefaultFormatIsMonthDayYear)
{
    std::unique_ptr<TestOstrin> o;
    const SYSTEMTIME t = stableDay([&] { o = runKeep({"d$ = date_text()"}); });
    ASSERT_TRUE(o);
    char want[32];
    std::snprintf(want, sizeof want, "%02u-%02u-%04u", t.wMonth, t.wDay, t.wYear);
    EXPECT_EQ(want, stringVar(*o, "d$"));
}

// A date written by hand: %D and %M two-digit day and month, %d and %m
// without leading zero, %Y the four-digit year, %y its last two digits.
std::string expandDate(const char* format, const SYSTEMTIME& t)
{
    std::string out;
    char buf[8];
    for (const char* p = format; *p; ++p) {
        if (*p != '%' || !p[1]) {
            out += *p;
            continue;
        }
        switch (*++p) {
        case 'D': std::snprintf(buf, sizeof buf, "%02u", t.wDay); break;
        case 'd': std::snprintf(buf, sizeof buf, "%u", t.wDay); break;
        case 'M': std::snprintf(buf, sizeof buf, "%02u", t.wMonth); break;
        case 'm': std::snprintf(buf, sizeof buf, "%u", t.wMonth); break;
        case 'Y': std::snprintf(buf, sizeof buf, "%04u", t.wYear); break;
        case 'y': std::snprintf(buf, sizeof buf, "%02u", t.wYear % 100u); break;
        default: buf[0] = *p; buf[1] = 0; break;
        }
        out += buf;
    }
    return out;
}

TEST(DateText, Pictures)
{
    struct Case { const char* picture; const char* want; };
    const Case cases[] = {
        {"dd.MM.yyyy", "%D.%M.%Y"},
        {"yyyy", "%Y"},
        {"d/M/yy", "%d/%m/%y"},
        {"yyyy-MM-dd", "%Y-%M-%D"},
        {"'Year' yyyy", "Year %Y"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TestOstrin> o;
        const SYSTEMTIME t =
            stableDay([&] { o = runKeep({std::string("d$ = date_text(\"") + c.picture + "\")"}); });
        ASSERT_TRUE(o) << c.picture;
        EXPECT_EQ(expandDate(c.want, t), stringVar(*o, "d$")) << c.picture;
    }
}

TEST(DateText, PictureLongerThanTheLimitGivesNothing)
{
    // Forty-eight full weekday names pass the 256-character limit: the text is
    // not delivered at all rather than overrunning or arriving cut.
    std::string picture;
    for (int i = 0; i < 48; ++i) picture += "dddd ";
    auto o = runKeep({
        "date_text \"dd\"",
        "date_text \"" + picture + "\"",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ("", stringVar(*o, "SYSTEM_STRING0"));
}

// Seconds since local midnight, from the system clock.
int localSecondsNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

// Distance between two times of day, across midnight too.
int secondsApart(int a, int b)
{
    int d = (a - b) % 86400;
    if (d < 0) d += 86400;
    return d > 43200 ? 86400 - d : d;
}

TEST(TimeText, MatchesTheClock)
{
    auto o = runKeep({"t$ = time_text()"});
    ASSERT_TRUE(o);
    const int now = localSecondsNow();
    const std::string t = stringVar(*o, "t$");
    ASSERT_EQ(8u, t.size()) << t;
    unsigned h = 99, m = 99, s = 99;
    ASSERT_EQ(3, std::sscanf(t.c_str(), "%2u:%2u:%2u", &h, &m, &s)) << t;
    EXPECT_EQ(':', t[2]);
    EXPECT_EQ(':', t[5]);
    EXPECT_LT(h, 24u);
    EXPECT_LT(m, 60u);
    EXPECT_LT(s, 60u);
    EXPECT_LE(secondsApart(static_cast<int>(h * 3600 + m * 60 + s), now), 2) << t;
}

TEST(SecondsOfDay, IsUniversalTimeSinceMidnight)
{
    auto o = runKeep({
        "declare_variables s: FLOAT",
        "s = seconds_of_day()",
    });
    ASSERT_TRUE(o);
    const int now = static_cast<int>(std::time(nullptr) % 86400);
    const double s = doubleVar(*o, "s");
    EXPECT_GE(s, 0);
    EXPECT_LE(s, 86399);
    EXPECT_EQ(s, static_cast<double>(static_cast<int>(s))) << "whole seconds";
    EXPECT_LE(secondsApart(static_cast<int>(s), now), 2);
}

TEST(ProgramDirectory, IsTheExecutablesDirectory)
{
    char path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, path, MAX_PATH));
    std::string want = path;
    want.erase(want.rfind('\\') + 1);

    auto o = runKeep({"p$ = program_directory()"});
    ASSERT_TRUE(o);
    EXPECT_EQ(want, stringVar(*o, "p$"));
}

TEST(ZeroQuery, AlwaysZero)
{
    auto o = runKeep({
        "z = 5",
        "z = zero_query()",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(0, intVar(*o, "z"));
}

TEST(SystemServices, ArgumentErrors)
{
    struct Case { const char* line; int error; };
    const Case cases[] = {
        {"zero_query 1", ErrMalformed},
        {"time_text 1", ErrArgCount},
        {"seconds_of_day 1", ErrArgCount},
        {"date_text \"d\", \"M\"", ErrArgCount},
        {"program_directory 1", ErrArgCount},
        {"shell_open", ErrArgCount},
        {"shell_open \"a\", \"b\", \"c\"", ErrArgCount},
        {"play_sound \"\"", ErrArgCount},
        {"play_sound 5, 0", ErrType},
        {"key_state", ErrArgCount},
        {"key_state \"a\"", ErrNotNumeric},
        {"message_box 0, \"t\"", ErrArgCount},
        {"message_box \"w\", \"t\", \"c\"", ErrType},
        {"load_resource \"TEXT1\", 10", ErrArgCount},
        {"load_resource \"TEXT1\", 10, 5", ErrMalformed},
        {"load_resource SYSTEM_STDOUT0, 10, SYSTEM_STRING0", ErrType},
        {"load_resource \"TEXT1\", SYSTEM_STDOUT0, SYSTEM_STRING0", ErrType},
    };
    for (const Case& c : cases) {
        RunResult r;
        auto o = runKeep({c.line}, &r);
        ASSERT_TRUE(o) << c.line;
        EXPECT_EQ(c.error, r.error) << c.line;
    }
}

// --- Resources ---------------------------------------------------------------------

// The bytes of a resource of this executable, as the test sees them.
std::string resourceBytes(const char* name, const char* type)
{
    HRSRC r = FindResourceA(nullptr, name, type);
    if (!r) return {};
    const char* p = static_cast<const char*>(LockResource(LoadResource(nullptr, r)));
    return p ? std::string(p, SizeofResource(nullptr, r)) : std::string();
}

TEST(LoadResource, IntoStrings)
{
    const std::string text = resourceBytes("TEXT1", RT_RCDATA);
    const std::string big = resourceBytes("BIG1000", RT_RCDATA);
    const std::string numbered = resourceBytes(MAKEINTRESOURCEA(7), "TESTDATA");
    ASSERT_EQ(14u, text.size());
    ASSERT_EQ(1000u, big.size());
    ASSERT_FALSE(numbered.empty());

    struct Case { const char* name; const char* type; const char* declare; std::string want; };
    const Case cases[] = {
        {"\"TEXT1\"", "10", "s: STRING", text},
        {"\"text1\"", "10", "s: STRING", text},                   // names ignore case
        {"\"BIG1000\"", "10", "s: STRING", big.substr(0, 253)},   // capacity 255 keeps 253 bytes
        {"\"TEXT1\"", "10", "s[4]: ISTRING", "hel"},               // capacity 5 keeps 3
        {"7", "\"TESTDATA\"", "s: STRING", numbered},             // numeric name, named type
        {"7.9", "\"TESTDATA\"", "s: STRING", numbered},           // any number, its integer part
    };
    for (const Case& c : cases) {
        auto o = runKeep({
            std::string("declare_variables ") + c.declare,
            "declare_variables t: STRING",
            "t = \"after\"",
            std::string("r = load_resource(") + c.name + ", " + c.type + ", s)",
        });
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(1, intVar(*o, "r")) << c.name;
        EXPECT_EQ(c.want, stringVar(*o, "s")) << c.name;
        EXPECT_EQ("after", stringVar(*o, "t")) << c.name;
    }
}

TEST(LoadResource, MissingResourceLeavesTheTargetAlone)
{
    struct Case { const char* name; const char* type; };
    const Case cases[] = {
        {"\"NOSUCH\"", "10"},
        {"\"TEXT1\"", "\"TESTDATA\""},
        {"8", "\"TESTDATA\""},
    };
    for (const Case& c : cases) {
        auto o = runKeep({
            "declare_variables s: STRING",
            "s = \"unchanged\"",
            "r = 7",
            std::string("r = load_resource(") + c.name + ", " + c.type + ", s)",
        });
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(0, intVar(*o, "r")) << c.name;
        EXPECT_EQ("unchanged", stringVar(*o, "s")) << c.name;
    }
}

TEST(LoadResource, IntoIntegersAndMemory)
{
    auto o = runKeep({
        "declare_variables a: INT",
        "declare_variables m: MEMORY",
        "declare_variables w: WORD",
        "ra = load_resource(\"BIG1000\", 10, a)",
        "rm = load_resource(\"TEXT1\", 10, m)",
        "rw = load_resource(\"TEXT1\", 10, w)",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(1, intVar(*o, "ra"));
    // The address of the resource's data in this very executable.
    const char* data = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intVar(*o, "a"))));
    EXPECT_EQ(resourceBytes("BIG1000", RT_RCDATA), std::string(data, 1000));

    EXPECT_EQ(1, intVar(*o, "rm"));
    std::string ref = "m";
    Variable* m = o->findVariable(ref.data(), nullptr, false);
    ASSERT_NE(nullptr, m);
    const char* block = *reinterpret_cast<char**>(m->data);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(std::string("hello resource"), std::string(block, 14));
    EXPECT_EQ(0, block[14]) << "one zeroed byte past the data";
    EXPECT_EQ(14, m->returnType) << "recorded size";

    EXPECT_EQ(0, intVar(*o, "rw")) << "other types receive nothing";
    EXPECT_EQ(0, intVar(*o, "w"));
}

TEST(LoadResource, MemoryBlockIsUsableByTheMemoryStatements)
{
    // The block is the engine's own: slots are bounded by its size, and
    // loading again replaces it.
    RunResult r;
    auto o = runKeep({
        "declare_variables m: MEMORY",
        "declare_variables c: CHAR",
        "load_resource \"BIG1000\", 10, m",
        "load_resource \"TEXT1\", 10, m",
        "memory_to_variable m, 14, c",
        "memory_to_variable m, 16, c",
    }, &r);
    ASSERT_TRUE(o);
    EXPECT_EQ(ErrRange, r.error);
    EXPECT_EQ(6, r.line) << "slot 16 lies past the 15-byte block";
    EXPECT_EQ('e', intVar(*o, "c"));
}

TEST(LoadResource, MemoryBlockHoldsExactlyTheResource)
{
    // Its size, a binary write of it and its slots all end with the
    // resource's last byte.
    const std::string file = "scratch_system_resource.bin";
    RunResult r;
    auto o = runKeep({
        "declare_variables m: MEMORY",
        "declare_variables f: BFILE",
        "declare_variables c: CHAR",
        "load_resource \"TEXT1\", 10, m",
        "n = size_of(m)",
        "open_file f, \"" + file + "\", \"w\"",
        "write_file f, m",
        "close_file f",
        "memory_to_variable m, 14, c",
        "memory_to_variable m, 15, c",
    }, &r);
    ASSERT_TRUE(o);
    EXPECT_EQ(ErrRange, r.error);
    EXPECT_EQ(10, r.line) << "slot 15 lies past the 14-byte block";
    EXPECT_EQ(14, intVar(*o, "n"));
    EXPECT_EQ('e', intVar(*o, "c"));
    std::ifstream in(file, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    in.close();
    std::remove(file.c_str());
    EXPECT_EQ("hello resource", written.str());
}

// --- Sounds, keys, shell --------------------------------------------------------------

TEST(PlaySound, FileMemoryAndStopForms)
{
    const std::string wav = "scratch_system_tone.wav";
    std::ofstream(wav, std::ios::binary) << resourceBytes("TONE", RT_RCDATA);
    // Without a sound device the sound is simply not heard: no form is an
    // error, nor a MEMORY variable without a block. SND_ASYNC (1) returns
    // at once, SND_SYNC (0) after playing.
    const std::vector<std::string> lines = {
        "declare_variables m: MEMORY",
        "play_sound \"" + wav + "\", 0",
        "play_sound \"" + wav + "\", 1",
        "play_sound \"\", 0",
        "play_sound \"no such sound.wav\", 0",
        "play_sound m, 0",
        "load_resource \"TONE\", 10, m",
        "play_sound m, 0",
        "play_sound m, 1",
        "play_sound \"\", 0",
    };
    auto o = runKeep(lines);
    EXPECT_TRUE(o);
    std::remove(wav.c_str());
}

// Sends one key transition through the system's input queue.
void sendKey(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

TEST(KeyState, NegativeWhileTheKeyIsDown)
{
    const WORD vk = VK_F13;
    sendKey(vk, false);
    const bool reported = (GetAsyncKeyState(vk) & 0x8000) != 0;
    auto down = runKeep({"k = key_state(0x7C)"});
    sendKey(vk, true);
    auto up = runKeep({"k = key_state(0x7C)"});
    ASSERT_TRUE(down);
    ASSERT_TRUE(up);
    EXPECT_GE(intVar(*up, "k"), 0);
    if (!reported) GTEST_SKIP() << "this system does not report injected keys as down";
    EXPECT_LT(intVar(*down, "k"), 0);
}

// Waits up to five seconds for a file that another process writes.
std::string awaitFile(const std::string& path)
{
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        if (in) {
            ss << in.rdbuf();
            if (!ss.str().empty()) return ss.str();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

TEST(ShellOpen, RunsAProgramWithItsParameters)
{
    const std::string out = "scratch_system_shell.txt";
    std::remove(out.c_str());
    auto o = runKeep({
        "r = 5",
        "r = shell_open(\"cmd.exe\", \"/c echo shell-ran>" + out + "\")",
    });
    ASSERT_TRUE(o);
    EXPECT_EQ(0, intVar(*o, "r"));
    EXPECT_EQ("shell-ran", awaitFile(out).substr(0, 9));
    std::remove(out.c_str());
}

TEST(ShellOpen, FailureIsOne)
{
    auto o = runKeep({"r = shell_open(\"no-such-file-anywhere.xyz\")"});
    ASSERT_TRUE(o);
    EXPECT_EQ(1, intVar(*o, "r"));
}

}  // namespace
