// Controls: creation from descriptions, the colour-aware classes (colour
// requests answered in the program's colours, owner-drawn push buttons,
// pictures), the control statements and the events controls send.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/ui_harness.h"
#include "ui/controls/color_controls.h"
#include "ui/controls/re_ole_callback.h"
#include "ui/windows/ostrin_dlg.h"

namespace {

constexpr int ControlIdBase = 2024;

// The handler may run from the first message of the window on: variables
// it reads belong in `decls`.
std::string withWindow(const std::string& body, const std::string& handler = "", const std::string& decls = "")
{
    return decls + "declare_variables w, e: WINDOW\n"
           "declare_variables d: DIALOG\n"
           "declare_variables a, b, n: INT\n"
           "declare_variables s: STRING\n"
           "open_window w, 40, 50, 400, 300, 0, 0, \"controls\", h\n" + body +
           "jump finish\n"
           "h:\n" + handler +
           "return\n"
           "finish:\n";
}

HWND control(UiTestOstrin& t, int programId)
{
    return ::GetDlgItem(hwndVar(t, "w"), programId + ControlIdBase);
}

std::string className(HWND hwnd)
{
    char cls[64] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
}

RECT clientRect(HWND child)
{
    RECT r = {};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(Controls, CreatedFromDescriptions)
{
    struct Case {
        const char* name;
        const char* description;
        const char* cls;
        DWORD styleSet, styleClear, exStyle;
        const char* text;
    };
    const DWORD visibleChild = WS_CHILD | WS_VISIBLE;
    const Case cases[] = {
        {"push button, owner-drawn", "B,OK,10,10,80,24,0,1", "Button", visibleChild | BS_OWNERDRAW, 0, 0, "OK"},
        {"only the first letter counts", "BUTTON,OK,10,10,80,24,0,1", "Button", BS_OWNERDRAW, 0, 0, "OK"},
        {"lower-case letters", "b,OK,10,10,80,24,0,1", "Button", BS_OWNERDRAW, 0, 0, "OK"},
        {"check box keeps its look", "C,Tick,10,10,80,24,0,1", "Button", BS_AUTOCHECKBOX, BS_OWNERDRAW & ~3, 0, "Tick"},
        {"radio button", "R,One,10,10,80,24,0,1", "Button", BS_AUTORADIOBUTTON, 0x2, 0, "One"},
        {"bitmap button is not owner-drawn", "B,x.bmp,10,10,80,24,0x80,1", "Button", 0x80, 0xB, 0, "x.bmp"},
        {"edit: border, no caption", "E,ignored,10,10,80,24,0,1", "Edit", WS_BORDER, 0, WS_EX_CLIENTEDGE, ""},
        {"list box", "L,,10,10,80,60,0,1", "ListBox", WS_BORDER | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, 0,
         WS_EX_CLIENTEDGE, ""},
        {"scroll bar", "S,,10,10,80,16,0,1", "ScrollBar", visibleChild, WS_BORDER, 0, ""},
        // The combo box draws its own frame: it drops the border it was given.
        {"combo box", "M,,10,10,80,100,3,1", "ComboBox", CBS_NOINTEGRALHEIGHT | CBS_HASSTRINGS | 3, 0, 0, ""},
        {"static text", "T,Hello,10,10,80,24,0,1", "Static", visibleChild, 0, 0, "Hello"},
        {"list view", "LV,,10,10,80,60,0,1", "SysListView32", visibleChild, WS_BORDER, 0, ""},
        {"status bar", "SW,,0,0,0,0,0,1", "msctls_statusbar32", visibleChild, 0, 0, ""},
        {"rich edit with border", "RE,,10,10,80,60,0x800000,1", "RICHEDIT", WS_BORDER, 0, WS_EX_CLIENTEDGE, ""},
        {"rich edit without border", "RE,,10,10,80,60,0,1", "RICHEDIT", visibleChild, WS_BORDER, 0, ""},
        {"hidden", "E,,10,10,80,24,0x80000,1", "Edit", WS_CHILD, WS_VISIBLE | 0x80000, WS_EX_CLIENTEDGE, ""},
        {"hidden even when visible asked", "E,,10,10,80,24,0x10080000,1", "Edit", WS_CHILD, WS_VISIBLE, WS_EX_CLIENTEDGE,
         ""},
        {"fields are expressions", "T,x,5*2,2+8,40*2,48/2,0,(3-2)", "Static", visibleChild, 0, 0, "x"},
        {"extra fields are evaluated and ignored", "T,x,10,10,80,24,0,1,7,8,9", "Static", visibleChild, 0, 0, "x"},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withWindow(std::string("add_controls w, \"") + c.description + "\"\n{op249} 1\n"));
        ASSERT_TRUE(o) << c.name;
        HWND hwnd = nullptr;
        RECT r = {};
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            hwnd = control(t, 1);
            if (hwnd) r = clientRect(hwnd);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        ASSERT_TRUE(hwnd) << c.name << ": no control with Windows id 2025";
        EXPECT_STRCASEEQ(c.cls, className(hwnd).c_str()) << c.name;
        const DWORD style = ::GetWindowLongA(hwnd, GWL_STYLE);
        EXPECT_EQ(c.styleSet, style & c.styleSet) << c.name << std::hex << " style " << style;
        EXPECT_EQ(0u, style & c.styleClear) << c.name << std::hex << " style " << style;
        EXPECT_EQ(c.exStyle, ::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << c.name;
        char text[64] = "";
        ::GetWindowTextA(hwnd, text, sizeof text);
        EXPECT_STREQ(c.text, text) << c.name;
        if (std::string(c.cls) != "msctls_statusbar32") {
            EXPECT_EQ(10, r.left) << c.name;
            EXPECT_EQ(10, r.top) << c.name;
        }
        CWnd* object = CWnd::FromHandlePermanent(hwnd);
        EXPECT_TRUE(colourPartOf(object)) << c.name << ": the control is bound to a colour-aware object";
        ASSERT_EQ(1u, windowVar(*o, "w")->controls().size()) << c.name;
        EXPECT_EQ(object, windowVar(*o, "w")->controls()[0]) << c.name;
    }
}

TEST(Controls, PlacementSizeAndKindCarryOver)
{
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"C,First,10,20,80,24,0,1\", \"X,Second,10,50,90,30,0,2\"\n"
        "add_controls w, \"Q,None,10,90,80,24,0,3\"\n{op249} 1\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        HWND second = control(t, 2);
        ASSERT_TRUE(second);
        EXPECT_EQ(BS_AUTOCHECKBOX, ::GetWindowLongA(second, GWL_STYLE) & 0xF) << "X keeps the check-box kind";
        const RECT r = clientRect(second);
        EXPECT_EQ(10, r.left);
        EXPECT_EQ(50, r.top);
        EXPECT_EQ(90, r.right - r.left);
        EXPECT_EQ(30, r.bottom - r.top);
        EXPECT_FALSE(control(t, 3)) << "a statement's first description without a kind makes nothing";
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(Controls, AddErrors)
{
    struct Case {
        const char* name;
        std::string body;
        int error;
        bool firstMade;   // control 1 exists afterwards
    };
    const Case cases[] = {
        {"program id 0", "add_controls w, \"B,OK,1,1,5,5,0,0\"\n", ErrControlIdZero, false},
        {"id used twice", "add_controls w, \"B,OK,1,1,5,5,0,1\", \"E,,1,1,5,5,0,1\"\n", ErrControlIdUsed, true},
        {"id used by an earlier statement", "add_controls w, \"B,OK,1,1,5,5,0,1\"\nadd_controls w, \"T,x,1,1,5,5,0,1\"\n",
         ErrControlIdUsed, true},
        {"no comma after the kind", "add_controls w, \"B\"\n", ErrMalformed, false},
        {"no comma after the caption", "add_controls w, \"B,OK\"\n", ErrMalformed, false},
        {"five fields", "add_controls w, \"B,OK,1,1,5,5,0\"\n", ErrMalformed, false},
        {"later description fails, earlier stays", "add_controls w, \"B,OK,1,1,5,5,0,1\", \"B,x,1\"\n", ErrMalformed,
         true},
        {"description not a string", "add_controls w, 12\n", ErrMalformed, false},
        {"field expression error", "add_controls w, \"B,OK,1,1,5,5,0,1/0\"\n", ErrDivideByZero, false},
        {"empty window", "add_controls e, \"B,OK,1,1,5,5,0,1\"\n", ErrNoWindow, false},
        {"not a window", "add_controls n, \"B,OK,1,1,5,5,0,1\"\n", ErrType, false},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withWindow(c.body + "{op249} 1\n"));
        ASSERT_TRUE(o) << c.name;
        bool made = false;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) { made = true; };
        HWND first = nullptr;
        RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error) << c.name;
        EXPECT_FALSE(made) << c.name << ": the run went on";
        if (HWND w = hwndVar(*o, "w")) first = ::GetDlgItem(w, 1 + ControlIdBase);
        EXPECT_EQ(c.firstMade, first != nullptr) << c.name;
    }
}

// A window with scroll bars of its own and one control of each kind the
// statements drive: list box 1, drop-down list 2, edit 3, check box 4,
// scroll bar 5, extended-selection list box 6, push button 8.
const char* const StatementControls =
    "add_controls w, \"L,,10,10,100,80,0,1\", \"M,,120,10,100,120,3,2\", \"E,,230,10,100,24,0,3\", "
    "\"C,Tick,230,40,100,24,0,4\", \"S,,10,100,200,16,0,5\", \"L,,10,130,100,80,0x800,6\", "
    "\"B,Push,230,70,100,24,0,8\"\n";

std::string withControls(const std::string& body)
{
    return "declare_variables w, e: WINDOW\n"
           "declare_variables a, b, n, hw: INT\n"
           "declare_variables s, t: STRING\n"
           "open_window w, 40, 50, 400, 300, WS_HSCROLL | WS_VSCROLL, 0, \"controls\", h\n" +
           std::string(StatementControls) + body +
           "jump finish\n"
           "h:\n"
           "return\n"
           "finish:\n";
}

TEST(ControlStatements, ListsAndCombos)
{
    auto o = prepareUiProgram(withControls(
        "declare_variables c1, c2, c3, sel0, sel1, sel2, combosel, x0, x1, e0, e2, e1, none, gone: INT\n"
        "declare_variables s0, s1, cs, bad: STRING\n"
        "add_list_item w, 1, \"b\"\n"
        "insert_list_item w, 1, 0, \"a\"\n"
        "c1 = count_list_items(w, 1)\n"
        "s0 = get_list_item(w, 1, 0)\n"
        "s1 = get_list_item(w, 1, 1)\n"
        "bad = get_list_item(w, 1, 7)\n"
        "none = get_selection(w, 1)\n"
        "set_selection w, 1, 1\n"
        "sel1 = get_selection(w, 1)\n"
        "x0 = is_item_selected(w, 1, 0)\n"
        "x1 = is_item_selected(w, 1, 1)\n"
        "delete_list_item w, 1, 0\n"
        "c2 = count_list_items(w, 1)\n"
        "add_list_item w, 2, \"x\"\n"
        "add_list_item w, 2, \"y\"\n"
        "set_selection w, 2, 1\n"
        "combosel = get_selection(w, 2)\n"
        "sel2 = is_item_selected(w, 2, 1)\n"
        "sel0 = is_item_selected(w, 2, 0)\n"
        "cs = get_list_item(w, 2, 0)\n"
        "c3 = count_list_items(w, 2)\n"
        "add_list_item w, 6, \"p\"\n"
        "add_list_item w, 6, \"q\"\n"
        "add_list_item w, 6, \"r\"\n"
        "set_selection w, 6, 0\n"
        "set_selection w, 6, 2\n"
        "e0 = is_item_selected(w, 6, 0)\n"
        "e1 = is_item_selected(w, 6, 1)\n"
        "e2 = is_item_selected(w, 6, 2)\n"
        "set_list_extent w, 1, 500\n"
        "set_list_extent w, 2, 300\n"
        "{op249} 1\n"));
    ASSERT_TRUE(o);
    LRESULT listExtent = 0, comboExtent = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        listExtent = ::SendMessageA(control(t, 1), LB_GETHORIZONTALEXTENT, 0, 0);
        comboExtent = ::SendMessageA(control(t, 2), CB_GETHORIZONTALEXTENT, 0, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    struct Want { const char* var; int value; };
    const Want ints[] = {
        {"c1", 2}, {"none", -1}, {"sel1", 1}, {"x0", 0}, {"x1", 1}, {"c2", 1},
        {"combosel", 1}, {"sel2", 1}, {"sel0", 0}, {"c3", 2},
        {"e0", 1}, {"e1", 0}, {"e2", 1},
    };
    for (const Want& w : ints) EXPECT_EQ(w.value, intVar(*o, w.var)) << w.var;
    EXPECT_EQ("a", stringVar(*o, "s0"));
    EXPECT_EQ("b", stringVar(*o, "s1"));
    EXPECT_EQ("", stringVar(*o, "bad")) << "an index without an item";
    EXPECT_EQ("x", stringVar(*o, "cs"));
    EXPECT_EQ(500, listExtent);
    EXPECT_EQ(300, comboExtent);
}

TEST(ControlStatements, LongListItemIsCutToTheResultBuffer)
{
    // 70,000 characters: more than the string result holds.
    auto o = prepareUiProgram(withControls(
        "{op249} 1\n"
        "s = get_list_item(w, 1, 0)\n"
        "{op249} 2\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        const std::string item(70000, 'z');
        ::SendMessageA(control(t, 1), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    };
    size_t length = 0;
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) { length = std::strlen(t.stringResultBuffer()); };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(static_cast<size_t>(Ostrin::StringResultSize - 1), length);
}

TEST(ControlStatements, ScrollBarsButtonsAndAnyControl)
{
    auto o = prepareUiProgram(withControls(
        "declare_variables lo, hi, pos, checked, sent, handleSent, exists, missing: INT\n"
        "set_scroll_range w, 5, 0, 100\n"
        "set_scroll_position w, 5, 40\n"
        "pos = get_scroll_position(w, 5)\n"
        "get_scroll_range w, 5, lo, hi\n"
        "set_scroll_range w, -1, 0, 50\n"
        "set_scroll_position w, -1, 20\n"
        "set_scroll_range w, -2, 0, 50\n"
        "set_scroll_position w, -7, 9\n"
        "set_button_state w, 4, 1\n"
        "checked = get_button_state(w, 4)\n"
        "sent = send_message(w, 12, 0, \"sent title\")\n"
        "hw = w\n"
        "handleSent = send_message(hw, 14, 0, 0)\n"
        "send_message w, 12, 0, \"typed\", 3\n"
        "set_focus w, 3\n"
        "{op249} 1\n"
        "enable_control w, 8, 0\n"
        "exists = control_exists(w, 8)\n"
        "missing = control_exists(w, 99)\n"
        "{op249} 2\n"));
    ASSERT_TRUE(o);
    HWND focus = nullptr;
    o->hooks[1] = [&](UiTestOstrin&, Statement*) { focus = ::GetFocus(); };
    o->hooks[2] = [](UiTestOstrin& t, Statement*) {
        HWND w = hwndVar(t, "w");
        EXPECT_EQ(40, ::GetScrollPos(control(t, 5), SB_CTL));
        EXPECT_EQ(20, ::GetScrollPos(w, SB_HORZ)) << "id -1: the window's horizontal bar";
        EXPECT_EQ(9, ::GetScrollPos(w, SB_VERT)) << "any other negative id: the vertical bar";
        EXPECT_EQ(BST_CHECKED, ::SendMessageA(control(t, 4), BM_GETCHECK, 0, 0));
        char text[32] = "";
        ::GetWindowTextA(w, text, sizeof text);
        EXPECT_STREQ("sent title", text);
        ::GetWindowTextA(control(t, 3), text, sizeof text);
        EXPECT_STREQ("typed", text) << "a fifth argument sends to that control";
        EXPECT_FALSE(::IsWindowEnabled(control(t, 8)));
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    const struct { const char* var; int value; } wants[] = {
        {"pos", 40}, {"lo", 0}, {"hi", 100}, {"checked", 1}, {"sent", 1},
        {"handleSent", 10}, {"exists", 1}, {"missing", 0},
    };
    for (const auto& w : wants) EXPECT_EQ(w.value, intVar(*o, w.var)) << w.var;
    HWND edit = ::GetDlgItem(hwndVar(*o, "w"), 3 + ControlIdBase);
    EXPECT_EQ(edit, focus);
}

TEST(ControlStatements, Errors)
{
    struct Case {
        const char* name;
        const char* line;
        int error;
    };
    const Case cases[] = {
        {"list statement on an edit", "n = count_list_items(w, 3)", ErrControlClass},
        {"list statement on a missing id", "n = count_list_items(w, 99)", ErrNoControl},
        {"selection of a scroll bar", "n = get_selection(w, 5)", ErrControlClass},
        {"column width of a combo box", "set_column_width w, 2, 50", ErrControlClass},
        {"column width of a list box", "set_column_width w, 1, 50", 0},
        {"button state 3", "set_button_state w, 4, 3", ErrRange},
        {"button state -1 on a list box", "set_button_state w, 1, -1", ErrRange},
        {"button state of a list box", "set_button_state w, 1, 1", ErrControlClass},
        {"missing button before a bad state", "set_button_state w, 99, 3", ErrNoControl},
        {"get button state of a list box", "n = get_button_state(w, 1)", ErrControlClass},
        {"scroll position of a list box", "set_scroll_position w, 1, 3", ErrControlClass},
        {"scroll position not numeric", "set_scroll_position w, 5, \"x\"", ErrNotNumeric},
        {"scroll range into a literal", "get_scroll_range w, 5, 1, 2", ErrType},
        {"scroll range into a string", "get_scroll_range w, 5, a, s", ErrNotInteger},
        {"list text not a string", "add_list_item w, 1, 5", ErrType},
        {"too few arguments", "add_list_item w, 1", ErrArgCount},
        {"too many arguments", "n = get_selection(w, 1, 2)", ErrArgCount},
        {"empty window", "n = count_list_items(e, 1)", ErrNoWindow},
        {"not a window", "n = count_list_items(a, 1)", ErrType},
        {"send to a literal", "n = send_message(5, 12, 0, 0)", ErrNoWindow},
        {"send to an empty window", "n = send_message(e, 12, 0, 0)", ErrNoWindow},
        {"send to a string", "n = send_message(s, 12, 0, 0)", ErrNoWindow},
        {"send with a window as lParam", "n = send_message(w, 12, 0, w)", ErrType},
        {"send to a missing control", "n = send_message(w, 12, 0, \"x\", 99)", ErrNoControl},
        {"send with three arguments", "n = send_message(w, 12, 0)", ErrArgCount},
        {"focus without window", "set_focus", ErrArgCount},
        {"focus on a missing control", "set_focus w, 99", ErrNoControl},
        {"enable a missing control", "enable_control w, 99, 1", ErrNoControl},
        {"exists on an empty window", "n = control_exists(e, 1)", ErrNoWindow},
        {"colours of a missing control", "set_control_colours w, 99, 0, 0", ErrNoControl},
        {"colours not numeric", "set_control_colours w, 1, \"red\", 0", ErrNotNumeric},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withControls(std::string(c.line) + "\n"));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
    }
}

// Repaints everything now, so pixels can be read.
void paintNow(HWND window)
{
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpPending();
}

TEST(ControlColours, RequestsAnsweredInTheProgramsColours)
{
    // Text blue, background red (0x00BBGGRR).
    struct Case {
        const char* name;
        const char* description;
        int x, y;   // a background pixel of the control
    };
    const Case cases[] = {
        {"edit", "E,,10,10,100,30,0,1", 20, 20},
        {"owner-drawn push button", "B,Go,10,10,100,30,0,1", 6, 6},
        {"static text", "T,Hi,10,10,100,30,0,1", 90, 20},
        {"list box", "L,,10,10,100,60,0,1", 50, 40},
        {"check box", "C,Tick,10,10,100,30,0,1", 95, 15},
        {"scroll bar shaft", "S,,10,10,200,16,0,1", 150, 8},
        {"drop-down list", "M,,10,10,100,100,3,1", 10, 10},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withWindow(std::string("add_controls w, \"") + c.description +
                                             "\"\nset_control_colours w, 1, 0xFF0000, 0x0000FF\n{op249} 1\n"));
        ASSERT_TRUE(o) << c.name;
        COLORREF seen = CLR_INVALID;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            paintNow(hwndVar(t, "w"));
            seen = screenPixel(control(t, 1), c.x, c.y);
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        EXPECT_EQ(RGB(255, 0, 0), seen) << c.name << std::hex << " pixel " << seen;
    }
}

TEST(ControlColours, ColourPartAndScrollBarDefault)
{
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"S,,10,10,200,16,0,1\", \"E,,10,40,100,24,0,2\", \"RE,,10,70,100,60,0,3\"\n"
        "set_control_colours w, 1, 0, 0x00FF00\n"
        "set_control_colours w, 2, 0x123456, 0x654321\n"
        "set_control_colours w, 3, 0, 0x00FF00\n"
        "{op249} 1\n"
        "set_control_colours w, 1, 0, n\n"
        "{op249} 2\n"));
    ASSERT_TRUE(o);
    COLORREF green = CLR_INVALID, back = CLR_INVALID, rich = CLR_INVALID;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        paintNow(hwndVar(t, "w"));
        green = screenPixel(control(t, 1), 150, 8);
        rich = screenPixel(control(t, 3), 50, 40);
        CColorControl* edit = colourPartOf(CWnd::FromHandlePermanent(control(t, 2)));
        ASSERT_TRUE(edit);
        EXPECT_EQ(0x123456u, edit->textColour);
        EXPECT_EQ(0x654321u, edit->background());
        // The system scroll-bar colour, for the next statement.
        *reinterpret_cast<int32_t*>(var(t, "n")->data) = static_cast<int32_t>(::GetSysColor(COLOR_SCROLLBAR));
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        paintNow(hwndVar(t, "w"));
        back = screenPixel(control(t, 1), 150, 8);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(RGB(0, 255, 0), green) << std::hex << green;
    EXPECT_EQ(RGB(0, 255, 0), rich) << "a rich edit keeps its background in the control " << std::hex << rich;
    EXPECT_NE(RGB(0, 255, 0), back) << "the system colour gives the default painting back";
}

TEST(ControlEvents, NotificationsReachTheHandler)
{
    // Each handler line keeps the notification code (plus 100, so that 0
    // shows it came) of one control.
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"B,Go,10,10,80,24,0,7\", \"E,,10,40,80,24,0,3\", \"L,,10,70,80,80,1,1\", "
        "\"S,,100,10,200,16,0,5\"\n"
        "add_list_item w, 1, \"first\"\n"
        "add_list_item w, 1, \"second\"\n"
        "{op249} 1\n",
        "conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 7 then button = EVENT_NOTIFY + 100\n"
        "conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 3 & edit = 0 then edit = EVENT_NOTIFY + 100\n"
        "conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 & EVENT_NOTIFY = 1 then list = EVENT_NOTIFY + 100\n"
        "conditional EVENT_CODE = WM_HSCROLL then scroll = EVENT_CONTROL_ID\n"
        "conditional EVENT_CODE = WM_HSCROLL then scrollCode = EVENT_WPARAM\n"
        "conditional EVENT_CODE = EV_CONTROL then window = CURRENT_WINDOW = w\n",
        "declare_variables button, edit, list, scroll, scrollCode, window: INT\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        ::SendMessageA(control(t, 7), BM_CLICK, 0, 0);
        ::SendMessageA(control(t, 3), WM_CHAR, 'x', 0);
        // A click on the second item of the list.
        RECT item = {};
        ::SendMessageA(control(t, 1), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
        const LPARAM at = MAKELPARAM(item.left + 5, item.top + 2);
        ::SendMessageA(control(t, 1), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageA(control(t, 1), WM_LBUTTONUP, 0, at);
        ::SetFocus(control(t, 5));
        ::SendMessageA(control(t, 5), WM_KEYDOWN, VK_RIGHT, 0);
        pumpPending();
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(100 + BN_CLICKED, intVar(*o, "button"));
    EXPECT_EQ(100 + EN_UPDATE, intVar(*o, "edit")) << "the first notification of typing";
    EXPECT_EQ(100 + LBN_SELCHANGE, intVar(*o, "list"));
    EXPECT_EQ(5, intVar(*o, "scroll"));
    EXPECT_EQ(SB_LINERIGHT, intVar(*o, "scrollCode"));
    EXPECT_EQ(1, intVar(*o, "window"));
}

TEST(ControlEvents, HandlerMayCloseTheWindowOfTheButtonClicked)
{
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"B,Close,10,10,80,24,0,7\", \"E,,10,40,80,24,0,3\"\n"
        "{op249} 1\n"
        "clicked = clicked + 10\n",
        "conditional EVENT_CODE = EV_CONTROL & EVENT_NOTIFY = 0 then close_window w\n"
        "conditional EVENT_CODE = EV_CONTROL & EVENT_NOTIFY = 0 then clicked = 1\n",
        "declare_variables clicked: INT\n"));
    ASSERT_TRUE(o);
    HWND button = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        button = control(t, 7);
        ::SendMessageA(button, BM_CLICK, 0, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(11, intVar(*o, "clicked"));
    EXPECT_FALSE(::IsWindow(button));
    EXPECT_EQ(nullptr, windowVar(*o, "w"));
}

// Writes an 8 x 8 picture of one colour as a 24-bit BMP file and returns
// its full path (which has a drive colon, so controls read it as a file).
std::string writeBitmap(const char* name, COLORREF colour)
{
    constexpr int Side = 8, RowBytes = Side * 3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = Side;
    info.biHeight = Side;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + RowBytes * Side;
    std::string pixels;
    for (int i = 0; i < Side * Side; ++i) {
        pixels += static_cast<char>(GetBValue(colour));
        pixels += static_cast<char>(GetGValue(colour));
        pixels += static_cast<char>(GetRValue(colour));
    }
    FILE* f = std::fopen(name, "wb");
    if (!f) return "";
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info, sizeof info, 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    char full[MAX_PATH] = "";
    ::GetFullPathNameA(name, sizeof full, full, nullptr);
    return full;
}

TEST(ControlPictures, TextNamesThePicture)
{
    const std::string red = writeBitmap("picture_red.bmp", RGB(255, 0, 0));
    const std::string blue = writeBitmap("picture_blue.bmp", RGB(0, 0, 255));
    ASSERT_FALSE(red.empty());
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"T," + red + ",10,10,40,40,0x0E,1\", \"B," + red + ",60,10,40,40,0x80,2\"\n"
        "{op249} 1\n"
        "send_message w, 12, 0, \"" + blue + "\", 1\n"
        "{op249} 2\n"
        "send_message w, 12, 0, \"Q:\\nowhere.bmp\", 1\n"
        "send_message w, 12, 0, \"" + blue + "\", 2\n"
        "{op249} 3\n"));
    ASSERT_TRUE(o);
    HGDIOBJ first = nullptr, second = nullptr, buttonFirst = nullptr;
    COLORREF before = CLR_INVALID, after = CLR_INVALID;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        first = reinterpret_cast<HGDIOBJ>(::SendMessageA(control(t, 1), STM_GETIMAGE, IMAGE_BITMAP, 0));
        buttonFirst = reinterpret_cast<HGDIOBJ>(::SendMessageA(control(t, 2), BM_GETIMAGE, IMAGE_BITMAP, 0));
        paintNow(hwndVar(t, "w"));
        before = screenPixel(control(t, 1), 2, 2);
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        second = reinterpret_cast<HGDIOBJ>(::SendMessageA(control(t, 1), STM_GETIMAGE, IMAGE_BITMAP, 0));
        paintNow(hwndVar(t, "w"));
        after = screenPixel(control(t, 1), 2, 2);
    };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_EQ(second, reinterpret_cast<HGDIOBJ>(::SendMessageA(control(t, 1), STM_GETIMAGE, IMAGE_BITMAP, 0)))
            << "a picture that cannot be loaded leaves the old one";
        EXPECT_EQ(OBJ_BITMAP, static_cast<int>(::GetObjectType(second))) << "and does not delete it";
        HGDIOBJ buttonSecond = reinterpret_cast<HGDIOBJ>(::SendMessageA(control(t, 2), BM_GETIMAGE, IMAGE_BITMAP, 0));
        EXPECT_TRUE(buttonSecond && buttonSecond != buttonFirst) << "the button's picture changed too";
        EXPECT_EQ(0, static_cast<int>(::GetObjectType(buttonFirst))) << "the button's old picture is freed";
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    ASSERT_TRUE(first);
    ASSERT_TRUE(buttonFirst);
    EXPECT_EQ(RGB(255, 0, 0), before) << std::hex << before;
    EXPECT_TRUE(second && second != first);
    EXPECT_EQ(0, static_cast<int>(::GetObjectType(first))) << "the replaced picture is freed";
    EXPECT_EQ(RGB(0, 0, 255), after) << std::hex << after;
}

TEST(ControlPictures, ResourcesByNumberAndByName)
{
    struct Case {
        const char* name;
        const char* description;
        COLORREF want;
    };
    const Case cases[] = {
        {"static, decimal number", "T,101,10,10,40,40,0x0E,1", RGB(0, 255, 0)},
        {"static, hexadecimal number", "T,0x65,10,10,40,40,0x0E,1", RGB(0, 255, 0)},
        {"static, name", "T,BLUEPIC,10,10,40,40,0x0E,1", RGB(0, 0, 255)},
        {"bitmap button, name", "B,BLUEPIC,10,10,40,40,0x80,1", RGB(0, 0, 255)},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withWindow(std::string("add_controls w, \"") + c.description + "\"\n{op249} 1\n"));
        ASSERT_TRUE(o) << c.name;
        HGDIOBJ picture = nullptr;
        COLORREF seen = CLR_INVALID;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            const bool button = className(control(t, 1)) == "Button";
            picture = reinterpret_cast<HGDIOBJ>(
                ::SendMessageA(control(t, 1), button ? BM_GETIMAGE : STM_GETIMAGE, IMAGE_BITMAP, 0));
            if (!button) {
                paintNow(hwndVar(t, "w"));
                seen = screenPixel(control(t, 1), 2, 2);
            }
        };
        ASSERT_EQ(0, runPrepared(*o).error) << c.name;
        ASSERT_TRUE(picture) << c.name;
        BITMAP bm = {};
        ASSERT_EQ(static_cast<int>(sizeof bm), ::GetObjectA(picture, sizeof bm, &bm)) << c.name;
        EXPECT_EQ(8, bm.bmWidth) << c.name;
        if (seen != CLR_INVALID) {
            EXPECT_EQ(c.want, seen) << c.name << std::hex << " pixel " << seen;
        }
    }
}

TEST(ControlResources, GdiObjectsComeBackAfterAThousandControls)
{
    const std::string red = writeBitmap("leak_red.bmp", RGB(255, 0, 0));
    const std::string blue = writeBitmap("leak_blue.bmp", RGB(0, 0, 255));
    // 100 windows of 10 controls each: coloured, recoloured, painted,
    // pictures replaced, then closed.
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables n, k: INT\n"
        "counted_loop n, 1, 101\n"
        "conditional n = 2 then {op249} 1\n"
        "open_window w, 10, 10, 300, 200, 0, 0, \"leak\", h\n"
        "add_controls w, \"B,b,0,0,40,20,0,1\", \"C,c,40,0,40,20,0,2\", \"E,,80,0,40,20,0,3\", "
        "\"L,,0,20,40,40,0,4\", \"S,,40,20,80,16,0,5\", \"M,,0,60,60,80,3,6\", \"T,BLUEPIC,60,60,8,8,0x0E,7\", "
        "\"T," + red + ",100,60,8,8,0x0E,8\", \"B," + red + ",120,60,8,8,0x80,9\", \"RE,,0,100,60,40,0,10\"\n"
        "counted_loop k, 1, 10\n"
        "set_control_colours w, k, n, k * 1000\n"
        "set_control_colours w, k, k, n * 1000\n"
        "next_step k\n"
        "send_message w, 12, 0, \"" + blue + "\", 8\n"
        "send_message w, 12, 0, \"" + blue + "\", 9\n"
        "{op249} 2\n"
        "close_window w\n"
        "next_step n\n"
        "jump finish\n"
        "h:\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    long start = 0;
    o->hooks[1] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        start = gdiObjectsHeld();
    };
    o->hooks[2] = [](UiTestOstrin& t, Statement*) { paintNow(hwndVar(t, "w")); };
    ASSERT_EQ(0, runPrepared(*o).error);
    pumpPending();
    EXPECT_LE(gdiObjectsHeld() - start, 5) << "GDI objects left behind by 1,000 coloured controls";
}

TEST(ControlClasses, PushButtonOutlinedWhenFocusedOrDefault)
{
    // The one-pixel outline is drawn with the DC's pen (black); without it
    // the corner belongs to the raised frame.
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"B,One,10,10,80,30,0,1\", \"B,Two,100,10,80,30,0,2\"\n"
        "set_focus w, 1\n"
        "{op249} 1\n"));
    ASSERT_TRUE(o);
    COLORREF focused = CLR_INVALID, plain = CLR_INVALID;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        paintNow(hwndVar(t, "w"));
        focused = screenPixel(control(t, 1), 0, 0);
        plain = screenPixel(control(t, 2), 0, 0);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_EQ(RGB(0, 0, 0), focused) << std::hex << focused;
    EXPECT_NE(RGB(0, 0, 0), plain) << std::hex << plain;
}

// Pixels of one colour inside a control, its frame left out.
int pixelsOfColour(HWND hwnd, COLORREF colour)
{
    RECT r = {};
    ::GetClientRect(hwnd, &r);
    int count = 0;
    for (int y = 4; y < r.bottom - 4; ++y)
        for (int x = 4; x < r.right - 4; ++x)
            if (screenPixel(hwnd, x, y) == colour) ++count;
    return count;
}

TEST(ControlClasses, DisabledPushButtonText)
{
    // Single-line text is embossed (a highlight copy beside the shadow);
    // multi-line text is plain grey.
    auto o = prepareUiProgram(withWindow(
        "add_controls w, \"B,Disabled,10,10,100,30,0,1\", \"B,Two lines,120,10,100,40,0x2000,2\"\n"
        "set_control_colours w, 1, 0, 0x00FFFF\n"
        "set_control_colours w, 2, 0, 0x00FFFF\n"
        "enable_control w, 1, 0\n"
        "enable_control w, 2, 0\n"
        "{op249} 1\n"));
    ASSERT_TRUE(o);
    int singleHighlight = 0, singleGrey = 0, multiHighlight = 0, multiGrey = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        paintNow(hwndVar(t, "w"));
        const COLORREF highlight = ::GetSysColor(COLOR_3DHILIGHT), grey = ::GetSysColor(COLOR_GRAYTEXT);
        singleHighlight = pixelsOfColour(control(t, 1), highlight);
        singleGrey = pixelsOfColour(control(t, 1), grey);
        multiHighlight = pixelsOfColour(control(t, 2), highlight);
        multiGrey = pixelsOfColour(control(t, 2), grey);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
    EXPECT_GT(singleHighlight, 10) << "embossed";
    EXPECT_GT(singleGrey + singleHighlight, 20);
    EXPECT_EQ(0, multiHighlight) << "plain";
    EXPECT_GT(multiGrey, 10);
}

TEST(ControlClasses, StatusBarOfAnMdiFrameShrinksTheClient)
{
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "open_window w, 20, 20, 400, 300, 0x20, 0, \"frame\", h\n"
        "{op249} 1\n"
        "add_controls w, \"SW,,0,0,0,0,0,1\"\n"
        "{op249} 2\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    RECT before = {}, after = {};
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) { ::GetClientRect(windowVar(t, "w")->client()->GetSafeHwnd(), &before); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        COstrinWnd* frame = windowVar(t, "w");
        ::GetClientRect(frame->client()->GetSafeHwnd(), &after);
        HWND bar = ::GetDlgItem(frame->GetSafeHwnd(), 1 + ControlIdBase);
        ASSERT_TRUE(bar) << "the frame's own child, not its client's";
        EXPECT_EQ(CWnd::FromHandlePermanent(bar), frame->statusBar);
        RECT r = {};
        ::GetWindowRect(bar, &r);
        EXPECT_EQ(before.bottom - (r.bottom - r.top), after.bottom);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(ControlClasses, ToolbarButtonsAndTooltips)
{
    auto o = prepareUiProgram(withWindow("{op249} 1\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        COstrinWnd* w = windowVar(t, "w");
        auto* bar = new CColorToolbar;
        ASSERT_TRUE(bar->CreateEx(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_TOP | TBSTYLE_TOOLTIPS, 0, 0,
                                  0, 0, w->GetSafeHwnd(), reinterpret_cast<HMENU>(UINT_PTR{3000})));
        w->addControl(bar);
        ::SendMessageA(*bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        const UINT first[] = {1 + ControlIdBase, 2 + ControlIdBase};
        ASSERT_EQ(1, bar->setButtons(first, 2));
        const UINT ids[] = {10 + ControlIdBase, 0, 11 + ControlIdBase};
        ASSERT_EQ(1, bar->setButtons(ids, 3));
        ASSERT_EQ(3, ::SendMessageA(*bar, TB_BUTTONCOUNT, 0, 0)) << "the earlier buttons are gone";
        struct Want { int command; BYTE style; int image; };
        const Want wants[] = {{10 + ControlIdBase, 0, 0}, {0, TBSTYLE_SEP, 8}, {11 + ControlIdBase, 0, 1}};
        for (int k = 0; k < 3; ++k) {
            TBBUTTON b = {};
            ::SendMessageA(*bar, TB_GETBUTTON, k, reinterpret_cast<LPARAM>(&b));
            EXPECT_EQ(wants[k].command, b.idCommand) << "button " << k;
            EXPECT_EQ(wants[k].style, b.fsStyle & TBSTYLE_SEP) << "button " << k;
            EXPECT_EQ(wants[k].image, b.iBitmap) << "button " << k << ": image, or a separator's width";
        }

        bar->setTooltip(10, std::string(100, 'x').c_str());
        bar->setTooltip(11, "first");
        bar->setTooltip(11, "second");
        bar->setTooltip(0, "ignored");
        struct Ask { UINT_PTR id; const char* want; };
        const Ask asks[] = {
            {10 + ControlIdBase, nullptr},
            {11 + ControlIdBase, "second"},
            {12 + ControlIdBase, ""},
        };
        for (const Ask& a : asks) {
            NMTTDISPINFOA info = {};
            info.hdr.hwndFrom = nullptr;
            info.hdr.idFrom = a.id;
            info.hdr.code = TTN_NEEDTEXTA;
            const LRESULT answer = ::SendMessageA(*bar, WM_NOTIFY, a.id, reinterpret_cast<LPARAM>(&info));
            EXPECT_EQ(1, answer) << a.id;
            const std::string got = info.lpszText ? info.lpszText : info.szText;
            EXPECT_EQ(a.want ? std::string(a.want) : std::string(79, 'x'), got) << a.id;
        }
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(ControlClasses, RichEditCallbackGivesStorageAndAcceptsObjects)
{
    auto* callback = new REOLECallback;
    callback->AddRef();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, callback->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    unknown->Release();
    void* other = nullptr;
    EXPECT_EQ(E_NOINTERFACE, callback->QueryInterface(IID_IStorage, &other));
    EXPECT_EQ(nullptr, other);
    IStorage* storage = nullptr;
    ASSERT_EQ(S_OK, callback->GetNewStorage(&storage));
    ASSERT_TRUE(storage);
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, storage->CreateStream(L"x", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream));
    if (stream) stream->Release();
    storage->Release();
    EXPECT_EQ(S_OK, callback->QueryInsertObject(nullptr, nullptr, 0));
    EXPECT_EQ(E_NOTIMPL, callback->GetContextMenu(0, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, callback->Release());
}

// A modeless dialog d with a control of every kind, ids 1 to 11.
const char* const DialogControls =
    "add_controls d, \"B,Push,10,10,80,24,0,1\", \"C,Check,10,40,80,20,0,2\", \"R,Radio,10,65,80,20,0,3\", "
    "\"E,,100,10,100,24,0,4\", \"L,,100,40,100,60,1,5\", \"M,,210,10,100,100,3,6\", \"S,,210,40,100,16,0,7\", "
    "\"T,Label,210,65,100,20,0,8\", \"LV,,10,110,100,60,0,9\", \"SW,,0,0,0,0,0,10\", \"RE,,120,110,100,60,0,11\"\n";

std::string withDialog(const std::string& body, const std::string& handler = "", const std::string& decls = "")
{
    return decls +
           "declare_variables d, e: DIALOG\n"
           "declare_variables n, ended: INT\n"
           "create_dialog d, 30, 30, 400, 300, WS_CAPTION | WS_SYSMENU, 0, \"controls\", h\n" + body +
           "jump finish\n"
           "h:\n" + handler +
           "return\n"
           "finish:\n";
}

HWND dialogItem(UiTestOstrin& t, int programId)
{
    COstrinDlg* d = dialogVar(t, "d");
    return d && d->GetSafeHwnd() ? ::GetDlgItem(d->GetSafeHwnd(), programId + ControlIdBase) : nullptr;
}

// Every item of the dialog is a control of its kind bound to its object.
void expectBoundItems(UiTestOstrin& t, const char* when)
{
    struct Want { int id; const char* cls; const char* text; };
    const Want wants[] = {
        {1, "Button", "Push"}, {2, "Button", "Check"}, {3, "Button", "Radio"}, {4, "Edit", ""},
        {5, "ListBox", ""}, {6, "ComboBox", ""}, {7, "ScrollBar", ""}, {8, "Static", "Label"},
        {9, "SysListView32", ""}, {10, "msctls_statusbar32", ""}, {11, "RichEdit", ""},
    };
    for (const Want& w : wants) {
        HWND item = dialogItem(t, w.id);
        ASSERT_TRUE(item) << when << ": control " << w.id;
        EXPECT_STRCASEEQ(w.cls, className(item).c_str()) << when << ": control " << w.id;
        char text[32] = "";
        ::GetWindowTextA(item, text, sizeof text);
        EXPECT_STREQ(w.text, text) << when << ": control " << w.id;
        CColorControl* colours = colourPartOf(CWnd::FromHandlePermanent(item));
        ASSERT_TRUE(colours) << when << ": control " << w.id << " is bound to its object";
        EXPECT_EQ(w.id + ControlIdBase, colours->controlId) << when;
    }
    EXPECT_EQ(BS_OWNERDRAW, ::GetWindowLongA(dialogItem(t, 1), GWL_STYLE) & 0xF) << when << ": push button";
    EXPECT_EQ(BS_AUTOCHECKBOX, ::GetWindowLongA(dialogItem(t, 2), GWL_STYLE) & 0xF) << when << ": check box";
}

TEST(DialogControls, ItemsOfEveryKindSubclassedWhenShown)
{
    auto o = prepareUiProgram(withDialog(std::string(DialogControls) +
                                         "{op249} 1\n"
                                         "show_dialog d\n"
                                         "{op249} 2\n"
                                         "close_dialog d\n"
                                         "show_dialog d\n"
                                         "{op249} 3\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        COstrinDlg* d = dialogVar(t, "d");
        ASSERT_TRUE(d);
        ASSERT_EQ(11, d->dialogTemplate().itemCount());
        ASSERT_EQ(11, d->controlCount());
        // The edit at 100,10 size 100 x 24: each edge in dialog units.
        const CDlgTempl::CDlgItemTempl* edit = d->dialogTemplate().getItem(4 + ControlIdBase, false);
        ASSERT_TRUE(edit);
        const RECT want = d->toDialogUnits(100, 10, 200, 34);
        const DLGITEMTEMPLATE& h = edit->header();
        EXPECT_EQ(want.left, h.x);
        EXPECT_EQ(want.top, h.y);
        EXPECT_EQ(want.right - want.left, h.cx);
        EXPECT_EQ(want.bottom - want.top, h.cy);
        EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_BORDER), h.style & (WS_CHILD | WS_VISIBLE | WS_BORDER));
        const CDlgTempl::CDlgItemTempl* rich = d->dialogTemplate().getItem(11 + ControlIdBase, false);
        ASSERT_TRUE(rich);
        EXPECT_EQ(std::wstring(L"RichEdit"), std::wstring(rich->className()));
        const CDlgTempl::CDlgItemTempl* list = d->dialogTemplate().getItem(5 + ControlIdBase, false);
        ASSERT_TRUE(list);
        EXPECT_EQ(static_cast<DWORD>(WS_BORDER | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_NOTIFY),
                  list->header().style & 0x00FFFFFF);
    };
    o->hooks[2] = [](UiTestOstrin& t, Statement*) { expectBoundItems(t, "shown"); };
    o->hooks[3] = [](UiTestOstrin& t, Statement*) { expectBoundItems(t, "shown again"); };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
}

TEST(DialogControls, ModalRunStatementsAndColours)
{
    // Inside the modal run the handler drives the controls, then ends it.
    auto o = prepareUiProgram(withDialog(
        std::string(DialogControls) + "ended = run_dialog(d)\n",
        "conditional EVENT_CODE = WM_INITDIALOG\n"
        "{op249} 1\n"
        "add_list_item d, 5, \"one\"\n"
        "add_list_item d, 6, \"two\"\n"
        "set_selection d, 6, 0\n"
        "set_button_state d, 2, 1\n"
        "set_scroll_range d, 7, 0, 10\n"
        "set_scroll_position d, 7, 4\n"
        "set_control_colours d, 4, 0, 0x0000FF\n"
        "set_control_colours d, 1, 0xFFFFFF, 0x00FF00\n"
        "{op249} 2\n"
        "close_dialog d, 2031\n"
        "end_conditional\n"
        "conditional EVENT_CODE = EV_CONTROL & EVENT_CONTROL_ID = 1 then clicked = EVENT_NOTIFY + 100\n",
        "declare_variables clicked: INT\n"));
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { expectBoundItems(t, "run"); };
    COLORREF edit = CLR_INVALID, button = CLR_INVALID;
    LRESULT count = -1, selected = -1, checked = -1, position = -1;
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        COstrinDlg* d = dialogVar(t, "d");
        ::ShowWindow(d->GetSafeHwnd(), SW_SHOW);
        paintNow(d->GetSafeHwnd());
        edit = screenPixel(dialogItem(t, 4), 10, 10);
        button = screenPixel(dialogItem(t, 1), 6, 6);
        count = ::SendMessageA(dialogItem(t, 5), LB_GETCOUNT, 0, 0);
        selected = ::SendMessageA(dialogItem(t, 6), CB_GETCURSEL, 0, 0);
        checked = ::SendMessageA(dialogItem(t, 2), BM_GETCHECK, 0, 0);
        position = ::GetScrollPos(dialogItem(t, 7), SB_CTL);
        ::SendMessageA(dialogItem(t, 1), BM_CLICK, 0, 0);
    };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(7, intVar(*o, "ended"));
    EXPECT_EQ(RGB(255, 0, 0), edit) << std::hex << edit;
    EXPECT_EQ(RGB(0, 255, 0), button) << std::hex << button;
    EXPECT_EQ(1, count);
    EXPECT_EQ(0, selected);
    EXPECT_EQ(BST_CHECKED, checked);
    EXPECT_EQ(4, position);
    EXPECT_EQ(100 + BN_CLICKED, intVar(*o, "clicked"));
}

TEST(DialogControls, AddErrors)
{
    struct Case {
        const char* name;
        const char* line;
        int error;
        int items;   // template items afterwards
    };
    const Case cases[] = {
        {"id used twice", "add_controls d, \"B,a,1,1,5,5,0,1\", \"E,,1,1,5,5,0,1\"", ErrControlIdUsed, 1},
        {"program id 0", "add_controls d, \"B,a,1,1,5,5,0,0\"", ErrControlIdZero, 0},
        {"no kind yet adds nothing", "add_controls d, \"X,a,1,1,5,5,0,1\", \"T,b,1,1,5,5,0,2\"", 0, 1},
        {"empty dialog", "add_controls e, \"B,a,1,1,5,5,0,1\"", ErrNoWindow, 0},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(withDialog(std::string(c.line) + "\n"));
        ASSERT_TRUE(o) << c.name;
        EXPECT_EQ(c.error, runPrepared(*o).error) << c.name;
        ASSERT_TRUE(dialogVar(*o, "d")) << c.name;
        EXPECT_EQ(c.items, dialogVar(*o, "d")->dialogTemplate().itemCount()) << c.name;
        EXPECT_EQ(c.items, dialogVar(*o, "d")->controlCount()) << c.name;
    }
}

}  // namespace
