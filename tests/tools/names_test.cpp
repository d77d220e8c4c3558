// Statement and constant names, and the scrambling shared with the engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "image/names.h"
#include "image/scramble.h"

namespace {

TEST(Names, StatementNamesGiveTheirOpcodes)
{
    const struct {
        const char* name;
        int opcode;
    } cases[] = {
        {"console_print", 0},     {"counted_loop", 2},        {"end_conditional", 7},
        {"jump", 13},             {"assignment", 20},         {"declare_variables", 21},
        {"no_operation", 22},     {"label_definition", 23},   {"call", 44},
        {"return", 45},           {"else", 55},               {"date_text", 70},
        {"sine", 95},             {"sign", 113},              {"bitwise_not", 154},
        {"centre_window", 130},   {"then", 218},              {"implicit_declarations", 243},
        {"get_caret_position", 248},
        // Not statement names.
        {"Sine", -1},             {"label", -1},              {"sub", -1},
        {"no-operation", -1},     {"", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.opcode, image::opcodeByName(c.name)) << c.name;
}

TEST(Names, EveryNamedOpcodeComesBackExceptTheSharedOnes)
{
    std::set<int> shared;
    int named = 0;
    for (int op = 0; op < image::OpcodeCount; ++op) {
        const char* name = image::opcodeName(op);
        if (!name) continue;
        ++named;
        int back = image::opcodeByName(name);
        if (back != op) {
            EXPECT_LT(back, op) << name << ": the lower opcode wins";
            shared.insert(op);
        }
    }
    EXPECT_EQ((std::set<int>{56, 66}), shared);
    EXPECT_EQ(208, named) << "207 statements and the then-token";
    for (int op : {35, 57, 67, 140, 156, 183, 228, 247, 249, 255})
        EXPECT_EQ(nullptr, image::opcodeName(op)) << op;
    EXPECT_EQ(nullptr, image::opcodeName(-1));
    EXPECT_EQ(nullptr, image::opcodeName(256));
}

// Each name must sit at the index whose value is the Windows (or engine)
// value the name stands for.
TEST(Names, ConstantNamesPointAtTheRightValues)
{
    const struct {
        const char* name;
        int64_t value;
    } cases[] = {
        {"WS_MINIMIZEBOX", 0x20000},   {"WS_MAXIMIZEBOX", 0x10000},  {"WS_POPUP", 0x80000000},
        {"WS_MINIMIZE", 0x20000000},   {"WS_MAXIMIZE", 0x1000000},   {"WS_THICKFRAME", 0x40000},
        {"WS_CAPTION", 0xC00000},      {"WS_SYSMENU", 0x80000},      {"WS_HSCROLL", 0x100000},
        {"WS_VSCROLL", 0x200000},      {"WS_CLIPCHILDREN", 0x2000000},
        {"WM_LBUTTONDBLCLK", 0x203},   {"WM_LBUTTONUP", 0x202},      {"WM_RBUTTONUP", 0x205},
        {"WM_MOUSEMOVE", 0x200},       {"WM_LBUTTONDOWN", 0x201},    {"WM_RBUTTONDOWN", 0x204},
        {"WM_RBUTTONDBLCLK", 0x206},   {"WM_INITMENU", 0x116},       {"WM_HSCROLL", 0x114},
        {"WM_VSCROLL", 0x115},         {"WM_INITDIALOG", 0x110},     {"WM_CHAR", 0x102},
        {"WM_KEYDOWN", 0x100},         {"WM_KEYUP", 0x101},          {"WM_TIMER", 0x113},
        {"WM_PAINT", 0x0F},
        {"NM_CLICK", -2},              {"NM_DBLCLK", -3},            {"NM_RETURN", -4},
        {"NM_RCLICK", -5},             {"NM_RDBLCLK", -6},           {"NM_SETFOCUS", -7},
        {"NM_KILLFOCUS", -8},          {"LVN_ITEMCHANGING", -100},   {"LVN_ITEMCHANGED", -101},
        {"LVN_INSERTITEM", -102},      {"LVN_DELETEITEM", -103},     {"LVN_BEGINLABELEDIT", -105},
        {"LVN_ENDLABELEDIT", -106},    {"LVN_COLUMNCLICK", -108},    {"LVN_KEYDOWN", -155},
        {"EN_SELCHANGE", 0x702},       {"EN_REQUESTRESIZE", 0x701},
        {"EV_CLOSE", 0x8002},          {"EV_MENU", 0x8003},          {"EV_CONTROL", 0x8004},
        {"EV_SIZE", 0x8009},           {"EV_BEFORE_NAVIGATE", 0x800D},
        {"EV_NAVIGATE_COMPLETE", 0x800E},                            {"EV_ERASE", 0x800F},
    };
    for (const auto& c : cases) {
        int index = image::constantByName(c.name);
        ASSERT_GE(index, 0) << c.name;
        EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(c.value)), image::constantValue(index)) << c.name;
    }
}

TEST(Names, EventSlotsHaveTheirIndices)
{
    const struct {
        const char* name;
        int index;
    } cases[] = {
        {"EVENT_CODE", 0},   {"EVENT_WPARAM", 1},  {"EVENT_LPARAM", 2},     {"EVENT_X", 3},
        {"EVENT_Y", 4},      {"EVENT_NOTIFY", 47}, {"EVENT_MENU_ID", 55},   {"EVENT_CONTROL_ID", 63},
        {"CURRENT_WINDOW", 72},
        {"wm_paint", -1},    {"WINDOW", -1},       {"INT", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.index, image::constantByName(c.name)) << c.name;
        if (c.index >= 0) {
            EXPECT_EQ(0, image::constantValue(c.index)) << c.name;
        }
    }
}

TEST(Names, ConstantNamesAreUniqueAndComeBack)
{
    std::set<std::string> seen;
    for (int i = 0; i < image::ConstantCount; ++i) {
        const char* name = image::constantName(i);
        if (!name) continue;
        EXPECT_TRUE(seen.insert(name).second) << name << " named twice";
        EXPECT_EQ(i, image::constantByName(name)) << name;
        EXPECT_EQ(-1, image::opcodeByName(name)) << name << " is also a statement";
    }
    EXPECT_EQ(nullptr, image::constantName(image::ConstantCount));
}

TEST(Names, ConstantValuesFollowTheTable)
{
    const struct {
        int index;
        int32_t value;
    } cases[] = {
        {5, 0x20000},  {12, INT32_MIN}, {76, 0xA00003}, {237, -108}, {263, 16}, {264, 0},
        {293, 29},     {294, 31},       {434, 47},      {457, 131},  {490, 0x800F}, {497, 0},
        {-1, 0},       {498, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, image::constantValue(c.index)) << c.index;
}

TEST(Scramble, KnownBytes)
{
    std::string bytes("\x00Hello, world!\r\n\xFF\xE0\xE0\x00", 20);
    image::scramble(bytes);
    const unsigned char want[20] = {0xA5, 0xA4, 0x5D, 0xBD, 0x02, 0xDB, 0x23, 0xAF, 0x85, 0x25,
                                    0xE9, 0xA9, 0x6A, 0xF0, 0x4E, 0x7A, 0x5A, 0x14, 0xD8, 0xC9};
    ASSERT_EQ(20u, bytes.size());
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(want[i], static_cast<unsigned char>(bytes[i])) << "byte " << i;
}

TEST(Scramble, EveryByteAtEveryKeyPositionComesBack)
{
    std::string all;
    for (int pos = 0; pos < 16; ++pos)
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    all += 'x';  // not a multiple of the key length
    std::string bytes = all;
    image::scramble(bytes);
    EXPECT_NE(all, bytes);
    image::unscramble(bytes);
    EXPECT_EQ(all, bytes);

    // The engine's direction undone by the binder's, too.
    image::unscramble(bytes);
    image::scramble(bytes);
    EXPECT_EQ(all, bytes);
}

}  // namespace
