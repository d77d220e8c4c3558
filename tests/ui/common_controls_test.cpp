// Common-control operations (list views, edits, rich edits, status bars,
// toolbars) and the add-toolbar statement: each operation through a real
// program on real controls, read back from the program and from Windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/ui_harness.h"
#include "ui/controls/color_controls.h"

namespace {

constexpr int ControlIdBase = 2024;
constexpr int NoCheck = INT_MIN;

// A window with a list view (1, report style), a multi-line edit (2), a
// multi-line rich edit (3), a status bar (4), a list box (5) and a button
// (6); `body` runs on it, and the hook 1 it may call sees it.
std::string onControls(const std::string& body, const std::string& decls = "")
{
    return decls +
           "declare_variables w, e: WINDOW\n"
           "declare_variables a, b, n, m: INT\n"
           "declare_variables f: FLOAT\n"
           "declare_variables s, t: STRING\n"
           "declare_variables edges[3]: INT\n"
           "declare_variables short[9]: ISTRING\n"
           "declare_variables big[4000]: ISTRING\n"
           "open_window w, 40, 50, 500, 400, 0, 0, \"operations\", h\n"
           "add_controls w, \"LV,,10,10,300,150,1,1\", \"E,,10,170,200,80,0x1044,2\", \"RE,,220,170,200,80,4,3\"\n"
           "add_controls w, \"SW,,0,0,0,0,0,4\", \"L,,320,10,100,80,0,5\", \"B,Go,320,100,60,24,0,6\"\n" +
           body +
           "jump finish\n"
           "h:\nreturn\n"
           "finish:\n";
}

HWND control(UiTestOstrin& t, int programId)
{
    return ::GetDlgItem(hwndVar(t, "w"), programId + ControlIdBase);
}

struct OpCase {
    const char* name;
    const char* body;
    int n;           // expected n (NoCheck: not checked)
    const char* s;   // expected s (null: not checked)
    int a = NoCheck, b = NoCheck;
};

void runCases(const OpCase* cases, size_t count)
{
    for (size_t k = 0; k < count; ++k) {
        const OpCase& c = cases[k];
        auto o = prepareUiProgram(onControls(c.body));
        ASSERT_TRUE(o) << c.name;
        const RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name << " (line " << r.line << ")";
        if (c.n != NoCheck) {
            EXPECT_EQ(c.n, intVar(*o, "n")) << c.name;
        }
        if (c.s) {
            EXPECT_EQ(c.s, stringVar(*o, "s")) << c.name;
        }
        if (c.a != NoCheck) {
            EXPECT_EQ(c.a, intVar(*o, "a")) << c.name;
        }
        if (c.b != NoCheck) {
            EXPECT_EQ(c.b, intVar(*o, "b")) << c.name;
        }
    }
}

// Two items (apple, pear) under two columns (Name, Colour).
const char* const fruit =
    "control_operation w, 1, 4, 0, \"Name\"\n"
    "control_operation w, 1, 4, 1, \"Colour\"\n"
    "control_operation w, 1, 3, 0, \"apple\"\n"
    "control_operation w, 1, 3, 1, \"pear\"\n";

TEST(CommonControls, ListViewOperations)
{
    const std::string f = fruit;
    const std::vector<std::string> bodies = {
        f + "n = control_operation(w, 1, 16)\ns = control_operation(w, 1, 6, 1, 0)\n",
        f + "control_operation w, 1, 3, 0, \"fig\"\nn = control_operation(w, 1, 16)\ns = control_operation(w, 1, 6, 0, 0)\n",
        f + "control_operation w, 1, 5, 1, 1, \"green\"\ns = control_operation(w, 1, 6, 1, 1)\n",
        f + "control_operation w, 1, 2, 0\nn = control_operation(w, 1, 16)\ns = control_operation(w, 1, 6, 0, 0)\n",
        f + "control_operation w, 1, 0\nn = control_operation(w, 1, 16)\n",
        f + "s = control_operation(w, 1, 9, 1)\n",
        f + "control_operation w, 1, 8, 0, \"Fruit\"\ns = control_operation(w, 1, 9, 0)\n",
        f + "control_operation w, 1, 1, 0\ns = control_operation(w, 1, 9, 0)\n",
        f + "control_operation w, 1, 10, 1, 77\nn = control_operation(w, 1, 11, 1)\n",
        f + "control_operation w, 1, 12, 1\nn = control_operation(w, 1, 7)\na = control_operation(w, 1, 13, 0)\n"
            "b = control_operation(w, 1, 13, 1)\n",
        f + "n = control_operation(w, 1, 14, \"pear\")\na = control_operation(w, 1, 14, \"pea\")\n"
            "b = control_operation(w, 1, 14, \"apple\")\n",
        f + "n = control_operation(w, 1, 15)\n",
        // Indices that name nothing change nothing and read as empty.
        f + "control_operation w, 1, 2, 9\ncontrol_operation w, 1, 1, 9\nn = control_operation(w, 1, 16)\n"
            "s = control_operation(w, 1, 6, 9, 0) + control_operation(w, 1, 9, 9)\n",
        f + "control_operation w, 1, 99\nn = control_operation(w, 1, 16)\n",
    };
    const OpCase cases[] = {
        {"insert, count and read back", bodies[0].c_str(), 2, "pear"},
        {"insert before the first", bodies[1].c_str(), 3, "fig"},
        {"sub-item text set and read", bodies[2].c_str(), NoCheck, "green"},
        {"delete an item", bodies[3].c_str(), 1, "pear"},
        {"delete every item", bodies[4].c_str(), 0, nullptr},
        {"column heading", bodies[5].c_str(), NoCheck, "Colour"},
        {"column heading changed", bodies[6].c_str(), NoCheck, "Fruit"},
        {"column deleted", bodies[7].c_str(), NoCheck, "Colour"},
        {"column width", bodies[8].c_str(), 77, nullptr},
        {"select an item", bodies[9].c_str(), 1, nullptr, 0, 1},
        {"find only the exact text", bodies[10].c_str(), 1, nullptr, -1, 0},
        {"top index", bodies[11].c_str(), 0, nullptr},
        {"indices that name nothing", bodies[12].c_str(), 2, ""},
        {"a code outside the table does nothing", bodies[13].c_str(), 2, nullptr},
    };
    runCases(cases, std::size(cases));
}

TEST(CommonControls, ListViewColumnFitsItsHeading)
{
    auto o = prepareUiProgram(onControls(std::string(fruit) + "control_operation w, 1, 8, 1, \"Much longer heading\"\n"
                                                              "{op249} 1\n"));
    ASSERT_TRUE(o);
    int widths[2] = {}, wanted[2] = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        HWND list = control(t, 1);
        const char* headings[2] = {"Name", "Much longer heading"};
        for (int k = 0; k < 2; ++k) {
            widths[k] = static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, k, 0));
            wanted[k] = static_cast<int>(::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)headings[k]) +
                                         ::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, (LPARAM)"XX"));
        }
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(wanted[0], widths[0]) << "inserted column";
    EXPECT_EQ(wanted[1], widths[1]) << "changed column";
    EXPECT_GT(widths[1], widths[0]);
}

// Three lines: abc, an empty line, de.
const char* const threeLines =
    "control_operation w, 2, 17, \"abc\" + character(13) + character(10) + character(13) + character(10) + \"de\"\n";

TEST(CommonControls, EditOperations)
{
    const std::string l = threeLines;
    const std::vector<std::string> bodies = {
        l + "n = control_operation(w, 2, 9)\ns = control_operation(w, 2, 8, 0)\n",
        l + "s = \"x\"\ns = control_operation(w, 2, 8, 1)\n",
        l + "n = control_operation(w, 2, 15, 7)\ns = control_operation(w, 2, 8, 2)\n",
        l + "n = control_operation(w, 2, 14, 7)\n",
        l + "control_operation w, 2, 12, 1, 3\ncontrol_operation w, 2, 13, a, b\n",
        l + "control_operation w, 2, 12, 0, 2\ncontrol_operation w, 2, 1\ns = control_operation(w, 2, 8, 0)\n",
        l + "control_operation w, 2, 6, 5\nn = control_operation(w, 2, 7)\n",
        l + "control_operation w, 2, 11, 0\nn = control_operation(w, 2, 10)\ncontrol_operation w, 2, 11, 1\n"
            "a = control_operation(w, 2, 10)\n",
        l + "n = control_operation(w, 2, 0)\ncontrol_operation w, 2, 19\ns = control_operation(w, 2, 8, 0)\n",
        l + "control_operation w, 2, 4\nn = control_operation(w, 2, 0)\n",
        l + "control_operation w, 2, 12, 0, 2\ncontrol_operation w, 2, 3\ncontrol_operation w, 2, 12, 1, 1\n"
            "control_operation w, 2, 16\ns = control_operation(w, 2, 8, 0)\n",
        l + "control_operation w, 2, 12, 1, 3\ncontrol_operation w, 2, 2\ncontrol_operation w, 2, 12, 0, 0\n"
            "control_operation w, 2, 16\ns = control_operation(w, 2, 8, 0)\n",
        l + "n = control_operation(w, 2, 5)\n",
        // Not variables: nothing written, no error.
        l + "a = 7\ncontrol_operation w, 2, 13, 1, 2\n",
    };
    const OpCase cases[] = {
        {"line count and first line", bodies[0].c_str(), 3, "abc"},
        {"an empty line reads empty", bodies[1].c_str(), NoCheck, ""},
        {"line length and last line", bodies[2].c_str(), 2, "de"},
        {"line of a character", bodies[3].c_str(), 2, nullptr},
        {"selection set and read", bodies[4].c_str(), NoCheck, nullptr, 1, 3},
        {"clear the selection", bodies[5].c_str(), NoCheck, "c"},
        {"text limit", bodies[6].c_str(), 5, nullptr},
        {"modified flag", bodies[7].c_str(), 0, nullptr, 1},
        {"undo", bodies[8].c_str(), 1, ""},
        {"empty the undo buffer", bodies[9].c_str(), 0, nullptr},
        {"cut and paste", bodies[10].c_str(), NoCheck, "cab"},
        {"copy and paste", bodies[11].c_str(), NoCheck, "bcabc"},
        {"first visible line", bodies[12].c_str(), 0, nullptr},
        {"selection into literals", bodies[13].c_str(), NoCheck, nullptr, 7},
    };
    runCases(cases, std::size(cases));
}

TEST(CommonControls, EditMarginsAndReplace)
{
    auto o = prepareUiProgram(onControls("control_operation w, 2, 18, 5, 9\ncontrol_operation w, 2, 17, \"xy\"\n{op249} 1\n"));
    ASSERT_TRUE(o);
    LRESULT margins = 0;
    char text[16] = "";
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        margins = ::SendMessageA(control(t, 2), EM_GETMARGINS, 0, 0);
        ::GetWindowTextA(control(t, 2), text, sizeof text);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(5, LOWORD(margins));
    EXPECT_EQ(9, HIWORD(margins));
    EXPECT_STREQ("xy", text);
}

const char* const hello = "control_operation w, 3, 24, \"Hello world\"\n";

TEST(CommonControls, RichEditOperations)
{
    const std::string h = hello;
    const std::vector<std::string> bodies = {
        h + "n = control_operation(w, 3, 18)\ns = control_operation(w, 3, 11, 0)\n",
        h + "n = control_operation(w, 3, 5, \"world\", 0, 0)\na = control_operation(w, 3, 5, \"WORLD\", 0, 0)\n"
            "b = control_operation(w, 3, 5, \"WORLD\", 0, 1)\n",
        h + "n = control_operation(w, 3, 5, \"o\", 5, 0)\na = control_operation(w, 3, 5, \"Hello\", 1, 0)\n",
        h + "control_operation w, 3, 15, 0, 5\ns = control_operation(w, 3, 17)\ncontrol_operation w, 3, 16, a, b\n",
        h + "n = control_operation(w, 3, 12)\na = control_operation(w, 3, 20, 4)\nb = control_operation(w, 3, 21, 0)\n",
        h + "control_operation w, 3, 7, 1\nn = control_operation(w, 3, 6)\n",
        h + "control_operation w, 3, 9, 40\nn = control_operation(w, 3, 10)\n",
        h + "control_operation w, 3, 14, 0\nn = control_operation(w, 3, 13)\ncontrol_operation w, 3, 14, 1\n"
            "a = absolute_value(control_operation(w, 3, 13))\n",
        h + "control_operation w, 3, 15, 0, 6\ncontrol_operation w, 3, 1\ns = control_operation(w, 3, 11, 0)\n",
        h + "control_operation w, 3, 15, 0, 6\ncontrol_operation w, 3, 3\ncontrol_operation w, 3, 15, 5, 5\n"
            "control_operation w, 3, 23\ns = control_operation(w, 3, 11, 0)\n",
        h + "control_operation w, 3, 15, 0, 5\ncontrol_operation w, 3, 2\ncontrol_operation w, 3, 15, 0, 0\n"
            "control_operation w, 3, 23\ns = control_operation(w, 3, 11, 0)\n",
        h + "n = control_operation(w, 3, 0)\ncontrol_operation w, 3, 32\ns = control_operation(w, 3, 11, 0)\n",
        h + "control_operation w, 3, 4\nn = control_operation(w, 3, 0)\n",
        h + "n = control_operation(w, 3, 8)\n",
        // 16 is the selection here, the item count on a list view.
        h + "control_operation w, 3, 15, 2, 4\ncontrol_operation w, 3, 16, a, b\nn = control_operation(w, 1, 16)\n",
    };
    const OpCase cases[] = {
        {"text length and line", bodies[0].c_str(), 11, "Hello world\r\n"},
        {"find with and without case", bodies[1].c_str(), 6, nullptr, -1, 6},
        {"find from a start", bodies[2].c_str(), 7, nullptr, -1},
        {"selection set, read and its text", bodies[3].c_str(), NoCheck, "Hello", 0, 5},
        {"lines", bodies[4].c_str(), 1, nullptr, 0, 11},
        {"event mask", bodies[5].c_str(), 1, nullptr},
        {"text limit", bodies[6].c_str(), 40, nullptr},
        {"modified flag", bodies[7].c_str(), 0, nullptr, 1},
        {"clear the selection", bodies[8].c_str(), NoCheck, "world\r\n"},
        {"cut and paste", bodies[9].c_str(), NoCheck, "worldHello \r\n"},
        {"copy and paste", bodies[10].c_str(), NoCheck, "HelloHello world\r\n"},
        {"undo", bodies[11].c_str(), 1, "\r\n"},
        {"empty the undo buffer", bodies[12].c_str(), 0, nullptr},
        {"first visible line", bodies[13].c_str(), 0, nullptr},
        {"operation 16 by class", bodies[14].c_str(), 0, nullptr, 2, 4},
    };
    runCases(cases, std::size(cases));
}

// Lines, not one long run: Wine's GDI fails painting a line of tens of
// thousands of characters.
TEST(CommonControls, RichEditLongSelectionsAreCutToTheResult)
{
    const std::string text = "control_operation w, 3, 9, 200000\n"
                             "counted_loop k, 1, 450\ncontrol_operation w, 3, 24, repeat_character(199, \"x\") + character(13)\nnext_step k\n";
    const OpCase cases[] = {
        {"40,000 characters: all of them", "control_operation w, 3, 15, 0, 40000\nhuge = control_operation(w, 3, 17)\nn = size_of(huge)\n",
         40000, nullptr},
        {"90,000 characters: what the result holds",
         "control_operation w, 3, 15, 0, -1\nhuge = control_operation(w, 3, 17)\nn = size_of(huge)\na = control_operation(w, 3, 18)\n",
         65535, nullptr, 90000},
    };
    for (const OpCase& c : cases) {
        auto o = prepareUiProgram(onControls(text + c.body, "declare_variables k: INT\ndeclare_variables huge[70000]: ISTRING\n"));
        ASSERT_TRUE(o) << c.name;
        const RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name << " (line " << r.line << ")";
        if (c.a != NoCheck) {
            EXPECT_EQ(c.a, intVar(*o, "a")) << c.name;
        }
        EXPECT_EQ(c.n, intVar(*o, "n")) << c.name;
    }
}

TEST(CommonControls, RichEditFormats)
{
    auto o = prepareUiProgram(onControls(std::string(hello) +
                                         "control_operation w, 3, 25, \"Courier New\", 12, 1, 0x10011\n"
                                         "control_operation w, 3, 26, 0x0000FF\n"
                                         "control_operation w, 3, 15, 0, 5\n"
                                         "control_operation w, 3, 27, \"Arial\", 9, 0, 0x20\n"
                                         "control_operation w, 3, 28, 0x00FF00\n"
                                         "control_operation w, 3, 37, 40\n"
                                         "control_operation w, 3, 36, 3\n"
                                         "control_operation w, 3, 30, 150, 60\n"
                                         "{op249} 1\n"));
    ASSERT_TRUE(o);
    CHARFORMATA def = {}, sel = {};
    PARAFORMAT para = {};
    RECT after = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        HWND re = control(t, 3);
        def.cbSize = sel.cbSize = sizeof(CHARFORMATA);
        ::SendMessageA(re, EM_GETCHARFORMAT, SCF_DEFAULT, (LPARAM)&def);
        ::SendMessageA(re, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&sel);
        para.cbSize = sizeof para;
        ::SendMessageA(re, EM_GETPARAFORMAT, 0, (LPARAM)&para);
        ::SendMessageA(re, EM_GETRECT, 0, (LPARAM)&after);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_STREQ("Courier New", def.szFaceName);
    EXPECT_EQ(12 * 20, def.yHeight);
    EXPECT_EQ(DWORD(CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE), def.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT));
    EXPECT_EQ(1, def.bCharSet);
    EXPECT_EQ(COLORREF(0x0000FF), def.crTextColor);
    EXPECT_STREQ("Arial", sel.szFaceName);
    EXPECT_EQ(9 * 20, sel.yHeight);
    EXPECT_EQ(DWORD(CFE_STRIKEOUT), sel.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT));
    EXPECT_EQ(COLORREF(0x00FF00), sel.crTextColor);
    EXPECT_EQ(40, sel.yOffset);
    EXPECT_EQ(PFA_CENTER, para.wAlignment);
    EXPECT_EQ(150, after.right - after.left) << "formatting rectangle width";
    EXPECT_EQ(60, after.bottom - after.top) << "formatting rectangle height";
}

TEST(CommonControls, RichEditLayout)
{
    // Twenty numbered lines, and one long line of words.
    const std::string lines =
        "counted_loop k, 1, 20\ncontrol_operation w, 3, 24, number_to_text(k) + character(13)\nnext_step k\n";
    const std::string words =
        "counted_loop k, 1, 40\ncontrol_operation w, 3, 24, \"word \"\nnext_step k\n";
    const std::vector<std::string> bodies = {
        lines + "control_operation w, 3, 22, 5, 0\nn = control_operation(w, 3, 8)\n",
        words + "control_operation w, 3, 31, 1\nn = control_operation(w, 3, 12)\n"
                "control_operation w, 3, 31, 0\na = control_operation(w, 3, 12) > 1\n",
    };
    const OpCase cases[] = {
        {"scroll down five lines", bodies[0].c_str(), 5, nullptr},
        {"no wrapping, then wrapping to the window", bodies[1].c_str(), 1, nullptr, 1},
    };
    for (const OpCase& c : cases) {
        auto o = prepareUiProgram(onControls(c.body, "declare_variables k: INT\n"));
        ASSERT_TRUE(o) << c.name;
        const RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name << " (line " << r.line << ")";
        EXPECT_EQ(c.n, intVar(*o, "n")) << c.name;
        if (c.a != NoCheck) {
            EXPECT_EQ(c.a, intVar(*o, "a")) << c.name;
        }
    }
}

// Messages a control received while a spy was on it.
struct Sent {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Sent> sent;
WNDPROC spiedProc = nullptr;

LRESULT CALLBACK spyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER || message == EM_SETMARGINS) sent.push_back({message, wParam, lParam});
    return ::CallWindowProcA(spiedProc, hwnd, message, wParam, lParam);
}

// Operations whose effect Wine's rich edit does not show (margins are
// accepted and ignored, a hidden selection looks the same in a control
// without the focus): what reaches the control is checked instead.
TEST(CommonControls, RichEditMessagesSent)
{
    struct Case {
        const char* name;
        const char* body;
        std::vector<Sent> want;   // lParam LPARAM(-7) stands for "a device context, not 0"
    };
    const LPARAM anyDevice = -7;
    const Case cases[] = {
        {"margins, left then right", "control_operation w, 3, 29, 10, 20\n",
         {{EM_SETMARGINS, EC_LEFTMARGIN, MAKELONG(10, 20)}, {EM_SETMARGINS, EC_RIGHTMARGIN, MAKELONG(10, 20)}}},
        {"hide the selection", "control_operation w, 3, 19, 1\n", {{EM_HIDESELECTION, 1, 0}}},
        {"line width on the screen", "control_operation w, 3, 31, 2000\n", {{EM_SETTARGETDEVICE, WPARAM(anyDevice), 2000}}},
        {"no wrapping: no device", "control_operation w, 3, 31, 1\n", {{EM_SETTARGETDEVICE, 0, 1}}},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(onControls(std::string("{op249} 1\n") + c.body + "{op249} 2\n"));
        ASSERT_TRUE(o) << c.name;
        std::vector<Sent> got;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            sent.clear();
            spiedProc = (WNDPROC)::SetWindowLongPtrA(control(t, 3), GWLP_WNDPROC, (LONG_PTR)spyProc);
        };
        o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
            ::SetWindowLongPtrA(control(t, 3), GWLP_WNDPROC, (LONG_PTR)spiedProc);
            got = sent;
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        ASSERT_EQ(c.want.size(), got.size()) << c.name;
        for (size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(c.want[k].message, got[k].message) << c.name << " message " << k;
            if (c.want[k].wParam == WPARAM(anyDevice)) {
                EXPECT_NE(0u, got[k].wParam) << c.name << " message " << k;
            } else {
                EXPECT_EQ(c.want[k].wParam, got[k].wParam) << c.name << " message " << k;
            }
            EXPECT_EQ(c.want[k].lParam, got[k].lParam) << c.name << " message " << k;
        }
    }
}

TEST(CommonControls, RichEditStreams)
{
    const std::string thirty = "control_operation w, 3, 24, \"abcdefghijklmnopqrstuvwxyz0123\"\n";
    const std::vector<std::string> bodies = {
        // Out into a short string: what fits is kept.
        thirty + "n = control_operation(w, 3, 33, short, 0)\ns = short\n",
        thirty + "n = control_operation(w, 3, 33, s, 0)\n",
        // In twice from the same string: the whole text both times.
        "t = \"again\"\nn = control_operation(w, 3, 34, t, 0)\na = control_operation(w, 3, 18)\n"
        "control_operation w, 3, 15, 5, 5\ncontrol_operation w, 3, 34, t, 0\nb = control_operation(w, 3, 18)\n"
        "s = control_operation(w, 3, 11, 0)\n",
        // Rich text round trip.
        "control_operation w, 3, 24, \"bold words\"\ncontrol_operation w, 3, 33, big, 1\n"
        "s = left_part(big, 5)\ncontrol_operation w, 3, 15, 0, -1\n"
        "control_operation w, 3, 24, \"\"\nn = control_operation(w, 3, 34, big, 1)\na = control_operation(w, 3, 18)\n",
    };
    const OpCase cases[] = {
        {"out into a string of 10 bytes: 9 characters fit", bodies[0].c_str(), 0, "abcdefghi"},
        {"out into a string", bodies[1].c_str(), 0, nullptr},
        {"in twice, the whole string each time", bodies[2].c_str(), 0, "again\r\n", 5, 5},
        {"rich text out and in", bodies[3].c_str(), 0, "{\\rtf", 10},
    };
    runCases(cases, std::size(cases));
}

TEST(CommonControls, RichEditStreamIntoAnArrayElementStaysInIt)
{
    auto o = prepareUiProgram(onControls(
        "control_operation w, 3, 9, 1000\ncontrol_operation w, 3, 24, repeat_character(300, \"x\")\n"
        "names[2] = \"keep\"\nn = control_operation(w, 3, 33, names[1], 0)\ns = names[2]\nt = names[1]\n",
        "declare_variables names[3]: STRING\n"));
    ASSERT_TRUE(o);
    const RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ("keep", stringVar(*o, "s"));
    EXPECT_EQ(std::string(254, 'x'), stringVar(*o, "t"));
}

TEST(CommonControls, RichEditStreamsThroughFiles)
{
    auto o = prepareUiProgram(onControls(
        std::string(hello) +
        "declare_variables g: FILE\nn = open_file(g, \"stream_out.txt\", \"w\")\n"
        "a = control_operation(w, 3, 33, g, 0)\nclose_file g\n"
        "n = open_file(g, \"stream_out.txt\", \"r\")\ncontrol_operation w, 3, 15, 0, -1\ncontrol_operation w, 3, 24, \"\"\n"
        "b = control_operation(w, 3, 34, g, 0)\nclose_file g\ns = control_operation(w, 3, 11, 0)\n"
        "m = control_operation(w, 3, 33, g, 0)\n"));
    ASSERT_TRUE(o);
    const RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(0, intVar(*o, "a"));
    EXPECT_EQ(0, intVar(*o, "b"));
    EXPECT_EQ("Hello world\r\n", stringVar(*o, "s"));
    EXPECT_NE(0, intVar(*o, "m")) << "a closed file stops the stream with an error";
    std::remove("stream_out.txt");
}

TEST(CommonControls, RichEditPastesTheClipboardsFirstFormat)
{
    auto o = prepareUiProgram(onControls("{op249} 1\ncontrol_operation w, 3, 35\ns = control_operation(w, 3, 11, 0)\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        ASSERT_TRUE(::OpenClipboard(hwndVar(t, "w")));
        ::EmptyClipboard();
        HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, 8);
        std::strcpy(static_cast<char*>(::GlobalLock(mem)), "pasted");
        ::GlobalUnlock(mem);
        ::SetClipboardData(CF_TEXT, mem);
        ::CloseClipboard();
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ("pasted\r\n", stringVar(*o, "s"));
}

TEST(CommonControls, StatusBarOperations)
{
    struct Case {
        const char* name;
        const char* body;
        std::vector<int> edges;   // parts' right edges afterwards
        const char* part1;        // text of part 1
    };
    const Case cases[] = {
        {"three parts", "edges[0] = 100\nedges[1] = 200\nedges[2] = -1\ncontrol_operation w, 4, 0, 3, edges\n",
         {100, 200, -1}, ""},
        {"more parts than the array holds", "edges[0] = 50\nedges[1] = 60\nedges[2] = 70\ncontrol_operation w, 4, 0, 9, edges\n",
         {50, 60, 70}, ""},
        {"a part count from a literal array does nothing", "control_operation w, 4, 0, 3, 5\n", {-1}, ""},
        {"part text", "edges[0] = 100\nedges[1] = -1\ncontrol_operation w, 4, 0, 2, edges\ncontrol_operation w, 4, 1, 1, \"ready\"\n",
         {100, -1}, "ready"},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(onControls(std::string(c.body) + "{op249} 1\n"));
        ASSERT_TRUE(o) << c.name;
        std::vector<int> edges;
        char text[64] = "";
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            HWND bar = control(t, 4);
            int got[16] = {};
            const int n = static_cast<int>(::SendMessageA(bar, SB_GETPARTS, 16, (LPARAM)got));
            edges.assign(got, got + n);
            if (n > 1) ::SendMessageA(bar, SB_GETTEXTA, 1, (LPARAM)text);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(c.edges, edges) << c.name;
        EXPECT_STREQ(c.part1, text) << c.name;
    }
}

TEST(CommonControls, StatusBarFollowsItsParent)
{
    auto o = prepareUiProgram(onControls("move_window w, 40, 50, 300, 250\ncontrol_operation w, 4, 2\n{op249} 1\n"));
    ASSERT_TRUE(o);
    RECT bar = {}, client = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        ::GetWindowRect(control(t, 4), &bar);
        ::GetClientRect(hwndVar(t, "w"), &client);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(client.right, bar.right - bar.left);
}

// A window with a toolbar of buttons 1, 2, separator, 3 (and list `ids`).
std::string withToolbar(const std::string& body, const std::string& style = "")
{
    return onControls("ids[0] = 1\nids[1] = 2\nids[2] = 0\nids[3] = 3\n"
                      "n = add_toolbar(w, \"NOSUCHBITMAP\", 7, ids" + style + ")\n" + body,
                      "declare_variables ids[4]: INT\n");
}

TEST(CommonControls, AddToolbarMakesButtonsAndSeparators)
{
    auto o = prepareUiProgram(withToolbar("{op249} 1\n"));
    ASSERT_TRUE(o);
    struct Button { int command, image; bool separator; };
    std::vector<Button> buttons;
    LRESULT size = 0;
    DWORD style = 0;
    bool listed = false;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        HWND bar = control(t, 7);
        ASSERT_TRUE(bar);
        style = ::GetWindowLongA(bar, GWL_STYLE);
        const int n = static_cast<int>(::SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
        for (int k = 0; k < n; ++k) {
            TBBUTTON b = {};
            ::SendMessageA(bar, TB_GETBUTTON, k, (LPARAM)&b);
            buttons.push_back({b.idCommand, b.iBitmap, (b.fsStyle & TBSTYLE_SEP) != 0});
        }
        size = ::SendMessageA(bar, TB_GETBUTTONSIZE, 0, 0);
        for (CWnd* c : windowVar(t, "w")->controls()) listed = listed || c->GetSafeHwnd() == bar;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(1, intVar(*o, "n"));
    ASSERT_EQ(4u, buttons.size());
    const int commands[] = {1 + ControlIdBase, 2 + ControlIdBase, 0, 3 + ControlIdBase};
    const int images[] = {0, 1, 8, 2};   // a separator's "image" is its width
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(k == 2, buttons[k].separator) << "button " << k;
        if (k != 2) {
            EXPECT_EQ(commands[k], buttons[k].command) << "button " << k;
        }
        EXPECT_EQ(images[k], buttons[k].image) << "button " << k;
    }
    EXPECT_EQ(DWORD(WS_CHILD | WS_VISIBLE | CCS_TOP), style & (WS_CHILD | WS_VISIBLE | 3));
    // Buttons hold their 16 x 15 images (Wine fits the buttons to the
    // image size set after them: 23 x 21).
    EXPECT_GE(LOWORD(size), 23);
    EXPECT_GE(HIWORD(size), 21);
    EXPECT_TRUE(listed) << "the toolbar is one of the window's controls";
}

TEST(CommonControls, AddToolbarTakesABitmapHandle)
{
    // The bitmap comes from the test: four 16 x 15 images in a strip.
    auto o = prepareUiProgram(onControls("{op249} 1\nn = add_toolbar(w, a, 7, ids, 0x10003)\n{op249} 2\n",
                                         "declare_variables ids[4]: INT\n"));
    ASSERT_TRUE(o);
    HBITMAP strip = nullptr;
    int images = -1;
    DWORD style = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        HDC screen = ::GetDC(nullptr);
        strip = ::CreateCompatibleBitmap(screen, 64, 15);
        ::ReleaseDC(nullptr, screen);
        Variable* a = t.findVariable(const_cast<char*>("a"), nullptr, false);
        const int32_t handle = static_cast<int32_t>(reinterpret_cast<uintptr_t>(strip));
        std::memcpy(a->data, &handle, sizeof handle);
        Variable* ids = t.findVariable(const_cast<char*>("ids"), nullptr, false);
        const int32_t values[4] = {4, 5, 6, 7};
        std::memcpy(ids->base ? ids->base : ids->data, values, sizeof values);
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        HWND bar = control(t, 7);
        style = ::GetWindowLongA(bar, GWL_STYLE);
        HIMAGELIST list = (HIMAGELIST)::SendMessageA(bar, TB_GETIMAGELIST, 0, 0);
        images = list ? ImageList_GetImageCount(list) : 0;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(1, intVar(*o, "n"));
    EXPECT_EQ(4, images);
    EXPECT_EQ(DWORD(CCS_BOTTOM), style & 3) << "the style given, without the handle bit";
    EXPECT_EQ(0u, style & 0x10000);
    ::DeleteObject(strip);
}

int toolbarImages(HWND bar)
{
    HIMAGELIST list = (HIMAGELIST)::SendMessageA(bar, TB_GETIMAGELIST, 0, 0);
    return list ? ImageList_GetImageCount(list) : 0;
}

TEST(CommonControls, AddToolbarLoadsItsStripFromTheProgram)
{
    struct Case { const char* name; const char* bitmap; int images; };
    const Case cases[] = {
        {"resource by name", "\"TOOLSTRIP\"", 4},
        {"resource by number", "201", 4},
        {"number in the low 16 bits", "201 + 65536 * 3", 4},
        {"no such resource: buttons without images", "\"NOSUCHSTRIP\"", 0},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(onControls(std::string("n = add_toolbar(w, ") + c.bitmap + ", 7, ids)\n{op249} 1\n",
                                             "declare_variables ids[4]: INT\n"));
        ASSERT_TRUE(o) << c.name;
        int images = -1;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) { images = toolbarImages(control(t, 7)); };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(1, intVar(*o, "n")) << c.name;
        EXPECT_EQ(c.images, images) << c.name;
    }
}

TEST(CommonControls, DialogTakesAToolbarWhileShown)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "declare_variables ids[2], n, m, a: INT\n"
        "create_dialog d, 20, 20, 240, 120, WS_CAPTION, 0, \"dialog\", h\n"
        "ids[0] = 1\nids[1] = 2\n"
        "n = add_toolbar(d, 0, 7, ids)\n"
        "show_dialog d\n"
        "m = add_toolbar(d, 0, 7, ids)\n"
        "a = control_operation(d, 7, 7)\n"
        "{op249} 1\n"
        "close_dialog d\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    int buttons = -1;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        Variable* d = t.findVariable(const_cast<char*>("d"), nullptr, false);
        uint32_t object = 0;
        std::memcpy(&object, d->data, sizeof object);
        HWND dialog = reinterpret_cast<CWnd*>(static_cast<uintptr_t>(object))->GetSafeHwnd();
        buttons = static_cast<int>(::SendMessageA(::GetDlgItem(dialog, 7 + ControlIdBase), TB_BUTTONCOUNT, 0, 0));
    };
    const RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(0, intVar(*o, "n")) << "a dialog not shown has no window to hold it";
    EXPECT_EQ(1, intVar(*o, "m"));
    EXPECT_GE(intVar(*o, "a"), 23) << "operations reach a dialog's toolbar: its button width";
    EXPECT_EQ(2, buttons);
}

TEST(CommonControls, ToolbarOperations)
{
    auto o = prepareUiProgram(withToolbar(
        "control_operation w, 7, 2, 30, 28\na = control_operation(w, 7, 7)\nb = control_operation(w, 7, 8)\n"
        "control_operation w, 7, 3, 2, 0\n"
        "control_operation w, 7, 5, 1, 2\n{op249} 1\nm = control_operation(w, 7, 6, 1)\n"
        "control_operation w, 7, 4, \"Open|Save|\"\n"
        "control_operation w, 7, 9, 1, \"Opens a file\"\ncontrol_operation w, 7, 9, 1, \"Opens a document\"\n"
        "control_operation w, 7, 1, 32, 32\nn = control_operation(w, 7, 7)\n{op249} 2\n",
        ", 0x101"));
    ASSERT_TRUE(o);
    bool enabled2 = true, enabled1 = false;
    std::string strings[2];
    std::string tip;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        // Button 1 became a check button: a click checks it.
        ::SendMessageA(control(t, 7), TB_CHECKBUTTON, 1 + ControlIdBase, TRUE);
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        HWND bar = control(t, 7);
        enabled1 = ::SendMessageA(bar, TB_ISBUTTONENABLED, 1 + ControlIdBase, 0) != 0;
        enabled2 = ::SendMessageA(bar, TB_ISBUTTONENABLED, 2 + ControlIdBase, 0) != 0;
        for (int k = 0; k < 2; ++k) {
            char text[32] = "";
            ::SendMessageA(bar, TB_GETSTRINGA, MAKEWPARAM(sizeof text, k), (LPARAM)text);
            strings[k] = text;
        }
        // The toolbar's own tooltip asks the toolbar for the button's text.
        HWND tips = (HWND)::SendMessageA(bar, TB_GETTOOLTIPS, 0, 0);
        ASSERT_TRUE(tips);
        char text[80] = "";
        TOOLINFOA info = {};
        info.cbSize = sizeof info;
        info.hwnd = bar;
        info.uId = 1 + ControlIdBase;
        info.lpszText = text;
        ::SendMessageA(tips, TTM_GETTEXTA, sizeof text, (LPARAM)&info);
        tip = text;
    };
    const RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(30, intVar(*o, "a")) << "button width";
    EXPECT_EQ(28, intVar(*o, "b")) << "button height";
    EXPECT_GT(intVar(*o, "n"), 32) << "bigger images make bigger buttons";
    EXPECT_TRUE(enabled1);
    EXPECT_FALSE(enabled2);
    EXPECT_EQ(1, intVar(*o, "m")) << "checked";
    EXPECT_EQ("Open", strings[0]);
    EXPECT_EQ("Save", strings[1]);
    EXPECT_EQ("Opens a document", tip);
}

TEST(CommonControls, ToolbarFollowsItsParent)
{
    auto o = prepareUiProgram(withToolbar("move_window w, 40, 50, 300, 250\ncontrol_operation w, 7, 0\n{op249} 1\n"));
    ASSERT_TRUE(o);
    RECT bar = {}, client = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        ::GetWindowRect(control(t, 7), &bar);
        ::GetClientRect(hwndVar(t, "w"), &client);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(client.right, bar.right - bar.left);
}

TEST(CommonControls, VerticalToolbarOfAnMdiFrameMakesRoom)
{
    // A toolbar down the frame's left side that keeps its own size
    // (CCS_NORESIZE: Wine's toolbar otherwise spans the parent's whole
    // width even when vertical). Sizing it again fits the MDI client
    // beside it.
    auto o = prepareUiProgram(
        "declare_variables f: WINDOW\n"
        "declare_variables ids[2], n: INT\n"
        "open_window f, 0, 0, 600, 400, 0x20, 0, \"frame\", h\n"
        "ids[0] = 1\nids[1] = 2\n"
        "n = add_toolbar(f, 0, 7, ids, 0x85)\n"
        "{op249} 1\n"
        "control_operation f, 7, 0\n"
        "{op249} 2\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    int clientLeft = -1;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        COstrinWnd* frame = windowVar(t, "f");
        ::MoveWindow(::GetDlgItem(frame->GetSafeHwnd(), 7 + ControlIdBase), 0, 0, 50, 300, TRUE);
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        COstrinWnd* frame = windowVar(t, "f");
        ASSERT_TRUE(frame && frame->isMdiFrame());
        RECT client = {};
        ::GetWindowRect(frame->client()->GetSafeHwnd(), &client);
        ::MapWindowPoints(nullptr, frame->GetSafeHwnd(), reinterpret_cast<POINT*>(&client), 2);
        clientLeft = client.left;
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(1, intVar(*o, "n"));
    EXPECT_EQ(50, clientLeft);
}

TEST(CommonControls, Errors)
{
    struct Case { const char* name; const char* body; int error; };
    const Case cases[] = {
        {"two arguments", "control_operation w, 1\n", 56},
        {"no window", "control_operation e, 1, 16\n", 25},
        {"no control with the id", "control_operation w, 9, 16\n", 30},
        {"a list box", "control_operation w, 5, 16\n", 31},
        {"a button", "control_operation w, 6, 0\n", 31},
        {"operation's text missing", "control_operation w, 1, 3, 0\n", 56},
        {"item index not numeric", "control_operation w, 1, 12, \"one\"\n", 19},
        {"stream into an INT", "control_operation w, 3, 33, a, 0\n", 14},
        {"stream from a literal", "control_operation w, 3, 34, \"text\", 0\n", 14},
        {"selection into a FLOAT", "control_operation w, 2, 13, f, b\n", 20},
        {"character index a FLOAT", "control_operation w, 3, 20, f\n", 20},
        {"status parts into a FLOAT", "control_operation w, 4, 0, 1, f\n", 20},
        {"toolbar with three arguments", "add_toolbar w, 0, 7\n", 56},
        {"toolbar on no window", "add_toolbar e, 0, 7, ids\n", 25},
        {"toolbar's buttons not an INT array", "add_toolbar w, 0, 7, s\n", 56},
        {"toolbar's bitmap a window", "add_toolbar w, w, 7, ids\n", 56},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(onControls(c.body, "declare_variables ids[2]: INT\n"));
        ASSERT_TRUE(o) << c.name;
        const RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error) << c.name;
    }
}

}  // namespace
