// Controls: creation from descriptions, the colour-aware classes (colour
// requests answered in the program's colours, owner-drawn push buttons,
// pictures), the control statements and the events controls send.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "support/ui_harness.h"
#include "ui/controls/color_controls.h"

namespace {

constexpr int ControlIdBase = 2024;

std::string withWindow(const std::string& body, const std::string& handler = "")
{
    return "declare_variables w, e: WINDOW\n"
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

}  // namespace
