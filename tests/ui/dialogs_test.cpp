// Dialog templates and program dialogs: template bytes against hand-worked
// layouts, unit conversion, modeless and modal runs driven by posted
// messages, the dialog and control-text statements and their errors, the
// window list across handlers that close what is being opened, and handle
// leaks over many dialogs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "support/ui_harness.h"
#include "ui/windows/dtempl.h"

namespace {

// Expected template bytes, written field by field.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& dw(uint32_t v) { return w(v & 0xFFFF).w(v >> 16); }
    Bytes& w(uint32_t v)
    {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    Bytes& wide(const char* s)
    {
        for (; *s; ++s) w(static_cast<uint8_t>(*s));
        return w(0);
    }
    Bytes& raw(const char* s, int n)
    {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(s[i]));
        return *this;
    }
    Bytes& zeros(int n)
    {
        b.insert(b.end(), static_cast<size_t>(n), 0);
        return *this;
    }
};

std::vector<uint8_t> built(CDlgTempl& t)
{
    const auto* p = reinterpret_cast<const uint8_t*>(t.build());
    if (!p) return {};
    return std::vector<uint8_t>(p, p + t.byteSize());
}

constexpr DWORD Child = WS_CHILD | WS_VISIBLE;

TEST(DlgTempl, LayoutsByteForByte)
{
    struct Case {
        const char* name;
        void (*fill)(CDlgTempl&);
        Bytes want;
    };
    const Case cases[] = {
        {"fresh template: header and three empty strings", [](CDlgTempl&) {},
         Bytes().zeros(18).w(0).w(0).w(0)},
        {"title Hi, 8-point font, OK and Cancel with creation data",
         [](CDlgTempl& t) {
             t.setHeader(WS_POPUP | WS_CAPTION, 0x10, 1, 2, 100, 50);
             t.setTitle("Hi");
             t.setFont(8, "MS Sans Serif");
             t.addItem(5, 6, 40, 14, 1, Child | BS_DEFPUSHBUTTON, "BUTTON", "OK");
             // Creation data: its size word, then the bytes (the statements
             // never give any).
             t.addItem(50, 6, 40, 14, 2, Child, "BUTTON", "Cancel", 3, "\x01\x02\x03", WS_EX_CLIENTEDGE);
         },
         // Header part 18 + 2 + 2 + 6 + 2 + 28 = 58, padded to 60; OK
         // 18 + 14 + 6 + 2 = 40; Cancel 18 + 14 + 14 + 2 + 3 = 51, padded to 52.
         Bytes()
             .dw(WS_POPUP | WS_CAPTION | DS_SETFONT).dw(0x10).w(2).w(1).w(2).w(100).w(50)
             .w(0).w(0).wide("Hi").w(8).wide("MS Sans Serif").zeros(2)
             .dw(Child | BS_DEFPUSHBUTTON).dw(0).w(5).w(6).w(40).w(14).w(1).wide("BUTTON").wide("OK").w(0)
             .dw(Child).dw(WS_EX_CLIENTEDGE).w(50).w(6).w(40).w(14).w(2).wide("BUTTON").wide("Cancel").w(3)
             .raw("\x01\x02\x03", 3).zeros(1)},
        {"odd sizes: title A, no font, an edit and a static",
         [](CDlgTempl& t) {
             t.setTitle("A");
             t.addItem(-1, 0, 10, 10, 2029, Child, "EDIT", "");
             t.addItem(0, 0, 10, 10, 0xFFFF, Child, "STATIC", "abc");
         },
         // 18 + 2 + 2 + 4 = 26 -> 28; edit 18 + 10 + 2 + 2 = 32; static
         // 18 + 14 + 8 + 2 = 42 -> 44.
         Bytes()
             .zeros(8).w(2).zeros(8).w(0).w(0).wide("A").zeros(2)
             .dw(Child).dw(0).w(0xFFFF).w(0).w(10).w(10).w(2029).wide("EDIT").wide("").w(0)
             .dw(Child).dw(0).w(0).w(0).w(10).w(10).w(0xFFFF).wide("STATIC").wide("abc").w(0).zeros(2)},
    };
    for (const Case& c : cases) {
        CDlgTempl t;
        c.fill(t);
        EXPECT_EQ(c.want.b.size(), t.byteSize()) << c.name;
        EXPECT_EQ(c.want.b, built(t)) << c.name;
    }
}

TEST(DlgTempl, LookupBuildAndRelease)
{
    CDlgTempl t;
    ASSERT_TRUE(t.addItem(0, 0, 10, 10, 1, Child, "BUTTON", "one"));
    ASSERT_TRUE(t.addItem(0, 0, 10, 10, 2029, Child, "EDIT", "two"));
    ASSERT_TRUE(t.addItem(0, 0, 10, 10, 1, Child, "BUTTON", "again"));
    struct Lookup {
        const char* name;
        uint32_t id;
        int index;
    };
    const Lookup lookups[] = {
        {"first of two equal ids", 1, 0},
        {"later item", 2029, 1},
        {"an id above 65535 never matches", 0x10000 + 1, -1},
        {"id -1", 0xFFFFFFFFu, -1},
        {"absent", 7, -1},
    };
    for (const Lookup& l : lookups) EXPECT_EQ(l.index, t.findItem(l.id)) << l.name;
    EXPECT_EQ(t.getItem(1, true), t.getItem(2029, false));
    EXPECT_EQ(nullptr, t.getItem(3, true)) << "position out of range";
    EXPECT_EQ(nullptr, t.getItem(-1, true));
    EXPECT_EQ(nullptr, t.getItem(5, false)) << "absent id";
    EXPECT_EQ(3, t.header().cdit);

    const DLGTEMPLATE* first = t.build();
    ASSERT_TRUE(first);
    EXPECT_EQ(nullptr, t.build()) << "building twice without releasing";
    EXPECT_TRUE(t.isBuilt()) << "the first block stays";
    t.release();
    EXPECT_FALSE(t.isBuilt());
    EXPECT_TRUE(t.build()) << "built again after release";
}

// A dialog with fixed units, as if measured on another system.
class CFixedUnitsDlg : public COstrinDlg {
public:
    CFixedUnitsDlg(int width, int height) : COstrinDlg(nullptr) { setUnits(width, height); }
};

TEST(Dialogs, PixelsToDialogUnitsTruncateEachEdge)
{
    struct Case {
        const char* name;
        int x, y, width, height;
        LONG left, top, cx, cy;
    };
    // Units 6 x 13: x * 4 / 6 and y * 8 / 13, each edge on its own.
    const Case cases[] = {
        {"dialog at 10, 20, 200 x 100", 10, 20, 200, 100, 6, 12, 134, 61},
        {"control at 12, 26, 60 x 13", 12, 26, 60, 13, 8, 16, 40, 8},
        {"negative edges truncate toward zero", -7, -5, 20, 10, -4, -3, 12, 6},
    };
    CFixedUnitsDlg dlg(6, 13);
    for (const Case& c : cases) {
        const RECT r = dlg.toDialogUnits(c.x, c.y, int64_t{c.x} + c.width, int64_t{c.y} + c.height);
        EXPECT_EQ(c.left, r.left) << c.name;
        EXPECT_EQ(c.top, r.top) << c.name;
        EXPECT_EQ(c.cx, r.right - r.left) << c.name;
        EXPECT_EQ(c.cy, r.bottom - r.top) << c.name;
    }
    COstrinDlg measured(nullptr);
    EXPECT_GT(measured.unitWidth(), 1);
    EXPECT_GT(measured.unitHeight(), 0);
}

// Buttons OK (IDOK) and "Seven" (program id 7), an edit (program id 5) and
// a static (program id 6), as the add-controls statement will make them.
void addItems(COstrinDlg* d)
{
    ASSERT_TRUE(d);
    CDlgTempl& t = d->dialogTemplate();
    ASSERT_TRUE(t.addItem(5, 5, 40, 14, IDOK, Child | WS_TABSTOP | BS_DEFPUSHBUTTON, "BUTTON", "OK"));
    ASSERT_TRUE(t.addItem(50, 5, 40, 14, 2031, Child | WS_TABSTOP, "BUTTON", "Seven"));
    ASSERT_TRUE(t.addItem(5, 25, 80, 12, 2029, Child | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, "EDIT", "text"));
    ASSERT_TRUE(t.addItem(5, 45, 80, 10, 2030, Child, "STATIC", "label"));
}

HWND dialogHwnd(Ostrin& o) { return dialogVar(o, "d") ? dialogVar(o, "d")->GetSafeHwnd() : nullptr; }

struct TitleSearch {
    const char* title;
    int count;
};

BOOL CALLBACK countTitled(HWND hwnd, LPARAM p)
{
    auto* s = reinterpret_cast<TitleSearch*>(p);
    char text[64] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    if (std::string(text) == s->title) ++s->count;
    return TRUE;
}

// Top-level windows of this thread with that title.
int windowsTitled(const char* title)
{
    TitleSearch search = {title, 0};
    ::EnumThreadWindows(::GetCurrentThreadId(), countTitled, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

TEST(Dialogs, ModelessKeysCloseRequestCloseAndShowAgain)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "declare_variables closes, w72, oks, inits: INT\n"
        "declare_variables s: STRING\n"
        "create_dialog d, 20, 20, 240, 120, WS_CAPTION | WS_SYSMENU, 0, \"modeless\", h\n"
        "{op249} 1\n"
        "show_dialog d\n"
        "{op249} 2\n"
        "wait_until closes >= 1\n"
        "{op249} 3\n"
        "s = get_control_text(d, 5)\n"
        "set_control_text d, 6, \"changed\"\n"
        "show_dialog d\n"
        "{op249} 4\n"
        "close_dialog d\n"
        "{op249} 5\n"
        "show_dialog d\n"
        "{op249} 6\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = EV_CLOSE\n"
        "closes = closes + 1\n"
        "w72 = CURRENT_WINDOW\n"
        "end_conditional\n"
        "conditional EVENT_CODE = EV_CONTROL\n"
        "conditional EVENT_WPARAM = 1 then oks = oks + 1\n"
        "end_conditional\n"
        "conditional EVENT_CODE = WM_INITDIALOG then {op249} 7\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    CWnd* probe = new CWnd;
    HWND first = nullptr;
    int initChecks = 0;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        addItems(dialogVar(t, "d"));
        dialogVar(t, "d")->addControlObject(probe, 2029);
    };
    o->hooks[7] = [&](UiTestOstrin& t, Statement*) {
        // The program's handler runs after the standard processing, so
        // the control objects are attached by then.
        ++initChecks;
        EXPECT_EQ(::GetDlgItem(dialogHwnd(t), 2029), probe->GetSafeHwnd());
    };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        first = dialogHwnd(t);
        ASSERT_TRUE(::IsWindowVisible(first));
        ASSERT_EQ(1u, t.windowList.size());
        EXPECT_EQ(static_cast<CWnd*>(dialogVar(t, "d")), t.windowList[0]);
        // Enter first: the pump serves them in order.
        ::PostMessageA(first, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageA(first, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_TRUE(::IsWindowVisible(first)) << "neither Enter nor Esc closes a modeless dialog";
        EXPECT_EQ(1, intVar(t, "oks")) << "Enter came as the OK button's command";
        EXPECT_EQ(0, intVar(t, "w72")) << "the close request names no window";
    };
    o->hooks[4] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_EQ(first, dialogHwnd(t)) << "showing a shown dialog";
        EXPECT_EQ(1, windowsTitled("modeless")) << "no second window";
        char text[32] = "";
        ::GetDlgItemTextA(first, 2030, text, sizeof text);
        EXPECT_STREQ("changed", text);
    };
    o->hooks[5] = [&](UiTestOstrin& t, Statement*) {
        EXPECT_FALSE(::IsWindow(first));
        EXPECT_TRUE(t.windowList.empty());
        ASSERT_TRUE(dialogVar(t, "d")) << "the object stays in its variable";
        EXPECT_FALSE(dialogVar(t, "d")->dialogTemplate().isBuilt());
    };
    o->hooks[6] = [&](UiTestOstrin& t, Statement*) {
        HWND again = dialogHwnd(t);
        EXPECT_TRUE(::IsWindowVisible(again)) << "shown again";
        char text[32] = "";
        ::GetDlgItemTextA(again, 2029, text, sizeof text);
        EXPECT_STREQ("text", text) << "the items are kept";
        ASSERT_EQ(1u, t.windowList.size());
    };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(1, intVar(*o, "closes"));
    EXPECT_EQ(2, initChecks);
    std::string ref = "s";
    Variable* s = o->findVariable(ref.data(), nullptr, false);
    ASSERT_TRUE(s && s->data);
    EXPECT_STREQ("text", s->data);
}

TEST(Dialogs, ModalRunEndsWithTheValueItWasGiven)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool toOkButton;   // the message goes to the OK button, not the dialog
        int32_t result;
    };
    const Case cases[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN, false, 1},
        {"Esc", WM_KEYDOWN, VK_ESCAPE, false, 2},
        {"close button", WM_CLOSE, 0, false, 2},
        {"OK clicked", BM_CLICK, 0, true, 1},
        {"Seven's command: its program id", WM_COMMAND, MAKEWPARAM(2031, BN_CLICKED), false, 7},
        {"closed with 2031", 0x500, 2031, false, 7},
        {"closed with 5", 0x500, 5, false, 5},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(
            "declare_variables d: DIALOG\n"
            "declare_variables r1, r2: INT\n"
            "create_dialog d, 20, 20, 240, 120, WS_CAPTION, 0, \"modal\", h\n"
            "{op249} 1\n"
            "r1 = run_dialog(d)\n"
            "{op249} 2\n"
            "r2 = run_dialog(d)\n"
            "jump finish\n"
            "h:\n"
            "conditional EVENT_CODE = WM_INITDIALOG then {op249} 3\n"
            "conditional EVENT_CODE = 0x500 then close_dialog d, EVENT_WPARAM\n"
            "conditional EVENT_CODE = EV_CONTROL\n"
            "conditional EVENT_CONTROL_ID = 7 then close_dialog d, EVENT_CONTROL_ID + 2024\n"
            "end_conditional\n"
            "return\n"
            "finish:\n");
        ASSERT_TRUE(o);
        o->hooks[1] = [](UiTestOstrin& t, Statement*) { addItems(dialogVar(t, "d")); };
        o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
            HWND hwnd = dialogHwnd(t);
            LPARAM l = c.message == WM_COMMAND ? reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, 2031)) : 0;
            ::PostMessageA(c.toOkButton ? ::GetDlgItem(hwnd, IDOK) : hwnd, c.message, c.wParam, l);
        };
        o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
            EXPECT_TRUE(t.windowList.empty()) << c.name << ": a modal dialog is not listed";
            EXPECT_EQ(nullptr, dialogHwnd(t)) << c.name;
            EXPECT_FALSE(dialogVar(t, "d")->dialogTemplate().isBuilt()) << c.name;
        };
        RunResult r = runPrepared(*o);
        ASSERT_EQ(0, r.error) << c.name << " line " << r.line;
        EXPECT_EQ(c.result, intVar(*o, "r1")) << c.name;
        EXPECT_EQ(c.result, intVar(*o, "r2")) << c.name << ": run again";
    }
}

TEST(Dialogs, ShowingADialogThatRunsModallyListsNothing)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "declare_variables r: INT\n"
        "create_dialog d, 20, 20, 200, 100, WS_CAPTION, 0, \"modal\", h\n"
        "r = run_dialog(d)\n"
        "{op249} 2\n"
        "jump finish\n"
        "h:\n"
        "conditional EVENT_CODE = WM_INITDIALOG\n"
        "show_dialog d\n"
        "{op249} 1\n"
        "close_dialog d, 5\n"
        "end_conditional\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { EXPECT_TRUE(t.windowList.empty()); };
    o->hooks[2] = [](UiTestOstrin& t, Statement*) { EXPECT_TRUE(t.windowList.empty()); };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_EQ(5, intVar(*o, "r"));
}

TEST(Dialogs, StatementErrorsAndTheirLines)
{
    struct Case {
        const char* name;
        std::string body;   // after the declarations (lines 1-3)
        int error;
        int line;
    };
    const std::string decl =
        "declare_variables d, e: DIALOG\n"
        "declare_variables w, empty: WINDOW\n"
        "declare_variables n: INT\n";
    const std::string create = "create_dialog d, 0, 0, 100, 60, WS_CAPTION, 0, \"t\", h\n";   // line 4
    const std::string window = "open_window w, 0, 0, 100, 60, 0, 0, \"w\", h\n";               // line 4
    const std::string tail = "jump finish\nh:\nreturn\nfinish:\n";
    const Case cases[] = {
        {"create with eight arguments", "create_dialog d, 0, 0, 100, 60, 0, 0, \"t\"\n", ErrArgCount, 4},
        {"create into an INT", "create_dialog n, 0, 0, 100, 60, 0, 0, \"t\", h\n", ErrType, 4},
        {"create into an unknown variable", "create_dialog nowhere, 0, 0, 100, 60, 0, 0, \"t\", h\n", ErrUndefined, 4},
        {"create with a handler that is no label", "create_dialog d, 0, 0, 100, 60, 0, 0, \"t\", n\n", ErrType, 4},
        {"create with a size that is no number", "create_dialog d, 0, 0, \"x\", 60, 0, 0, \"t\", h\n", ErrNotNumeric, 4},
        {"create twice", create + create, ErrWindowInUse, 5},
        {"show without argument", "show_dialog\n", ErrArgCount, 4},
        {"show an INT", "show_dialog n\n", ErrArgCount, 4},
        {"show a window", window + "show_dialog w\n", ErrArgCount, 5},
        {"show an empty dialog", "show_dialog e\n", ErrNoWindow, 4},
        {"run with two arguments", create + "n = run_dialog(d, 1)\n", ErrArgCount, 5},
        {"run an empty dialog", "n = run_dialog(e)\n", ErrNoWindow, 4},
        {"centre without argument", "centre_window\n", ErrArgCount, 4},
        {"centre an empty window", "centre_window empty\n", ErrNoWindow, 4},
        {"close without argument", "close_dialog\n", ErrArgCount, 4},
        {"close with three arguments", create + "close_dialog d, 1, 2\n", ErrArgCount, 5},
        {"close an empty dialog", "close_dialog e\n", ErrNoWindow, 4},
        {"close a window", window + "close_dialog w\n", ErrType, 5},
        {"get control text with one argument", window + "console_print get_control_text(w)\n", ErrArgCount, 5},
        {"get control text of an empty window", "console_print get_control_text(empty, 1)\n", ErrNoWindow, 4},
        {"get control text of no control", window + "console_print get_control_text(w, 1)\n", ErrNoControl, 5},
        {"get control text with a text id", window + "console_print get_control_text(w, \"a\")\n", ErrNotNumeric, 5},
        {"set control text with two arguments", window + "set_control_text w, 1\n", ErrArgCount, 5},
        {"set control text of no control", create + "set_control_text d, 3, \"x\"\n", ErrNoControl, 5},
        {"set control text of an empty dialog", "set_control_text e, 3, \"x\"\n", ErrNoWindow, 4},
        {"move with two arguments", window + "move_drawing_position w, 1\n", ErrArgCount, 5},
        {"move on a dialog", create + "move_drawing_position d, 1, 1\n", ErrType, 5},
        {"move on an empty window", "move_drawing_position empty, 1, 1\n", ErrNoWindow, 4},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(decl + c.body + tail);
        ASSERT_TRUE(o) << c.name;
        RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error) << c.name;
        EXPECT_EQ(c.line, r.line) << c.name;
    }
}

TEST(Dialogs, FailingHandlerEndsTheModalRun)
{
    struct Case {
        const char* name;
        const char* action;
        int error;
    };
    const Case cases[] = {
        {"division by zero", "r = 1 / 0", ErrDivideByZero},
        {"closing a modal dialog without an end value", "close_dialog d", ErrArgCount},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(
            "declare_variables d: DIALOG\n"
            "declare_variables r: INT\n"
            "create_dialog d, 20, 20, 200, 100, WS_CAPTION, 0, \"failing\", h\n"
            "r = run_dialog(d)\n"
            "jump finish\n"
            "h:\n"
            "conditional EVENT_CODE = WM_INITDIALOG then " + std::string(c.action) + "\n"
            "return\n"
            "finish:\n");
        ASSERT_TRUE(o) << c.name;
        RunResult r = runPrepared(*o);
        EXPECT_EQ(c.error, r.error) << c.name;
        EXPECT_EQ(7, r.line) << c.name << ": the handler's line";
        ASSERT_TRUE(dialogVar(*o, "d")) << c.name;
        EXPECT_EQ(nullptr, dialogVar(*o, "d")->GetSafeHwnd()) << c.name << ": the dialog ended";
    }
}

TEST(Dialogs, CentreWindowCentresOverTheWorkArea)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "create_dialog d, 0, 0, 200, 100, WS_CAPTION, 0, \"centred\", h\n"
        "show_dialog d\n"
        "centre_window d\n"
        "{op249} 1\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    o->hooks[1] = [](UiTestOstrin& t, Statement*) {
        RECT work = {}, r = {};
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        ::GetWindowRect(dialogHwnd(t), &r);
        EXPECT_LE(std::abs((r.left + r.right) - (work.left + work.right)), 1);
        EXPECT_LE(std::abs((r.top + r.bottom) - (work.top + work.bottom)), 1);
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(Dialogs, TabInAListedModelessDialogMovesTheFocus)
{
    auto o = prepareUiProgram(
        "declare_variables d: DIALOG\n"
        "create_dialog d, 20, 20, 240, 120, WS_CAPTION, 0, \"tabs\", h\n"
        "{op249} 1\n"
        "show_dialog d\n"
        "{op249} 2\n"
        "process_events 1\n"
        "{op249} 3\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    HWND edit = nullptr;
    o->hooks[1] = [](UiTestOstrin& t, Statement*) { addItems(dialogVar(t, "d")); };
    o->hooks[2] = [&](UiTestOstrin& t, Statement*) {
        pumpPending();
        edit = ::GetDlgItem(dialogHwnd(t), 2029);
        ::SetFocus(edit);
        ASSERT_EQ(edit, ::GetFocus());
        ::PostMessageA(edit, WM_KEYDOWN, VK_TAB, 0);
    };
    o->hooks[3] = [&](UiTestOstrin& t, Statement*) {
        // The edit is the last tab stop: the focus wraps to the first.
        EXPECT_EQ(::GetDlgItem(dialogHwnd(t), IDOK), ::GetFocus());
    };
    ASSERT_EQ(0, runPrepared(*o).error);
}

TEST(ControlText, ReadWriteAndMoveTheDrawingPosition)
{
    auto o = prepareUiProgram(
        "declare_variables w: WINDOW\n"
        "declare_variables x0, y0, x1, y1: INT\n"
        "declare_variables s: STRING\n"
        "open_window w, 20, 20, 240, 160, 0, 0, \"texts\", h\n"
        "{op249} 1\n"
        "s = get_control_text(w, 5)\n"
        "set_control_text w, 5, \"written\"\n"
        "move_drawing_position w, 30, 40\n"
        "get_drawing_position w, x0, y0\n"
        "set_print_target w\n"
        "console_print \"Hi\"\n"
        "get_drawing_position w, x1, y1\n"
        "set_print_target\n"
        "jump finish\nh:\nreturn\nfinish:\n");
    ASSERT_TRUE(o);
    HWND edit = nullptr;
    o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
        // Control 5 is the Windows control 2029.
        edit = ::CreateWindowExA(0, "EDIT", "typed", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, hwndVar(t, "w"),
                                 reinterpret_cast<HMENU>(2029), nullptr, nullptr);
    };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    ASSERT_TRUE(edit);
    std::string ref = "s";
    EXPECT_STREQ("typed", o->findVariable(ref.data(), nullptr, false)->data);
    char text[32] = "";
    ::GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ("written", text);
    EXPECT_EQ(30, intVar(*o, "x0"));
    EXPECT_EQ(40, intVar(*o, "y0"));
    EXPECT_GT(intVar(*o, "x1"), 30) << "the text started at the new position";
    COstrinWnd* w = windowVar(*o, "w");
    int inkedBefore = 0, inkedAfter = 0;
    for (int y = 40; y < 56; ++y) {
        for (int x = 0; x < 30; ++x) inkedBefore += bitmapPixel(w, x, y) != RGB(255, 255, 255);
        for (int x = 30; x < intVar(*o, "x1"); ++x) inkedAfter += bitmapPixel(w, x, y) != RGB(255, 255, 255);
    }
    EXPECT_EQ(0, inkedBefore);
    EXPECT_GT(inkedAfter, 5);
}

// A handler that closes what the running statement is opening must leave
// no freed object in the window list (the pump walks it next).
TEST(WindowList, HandlersClosingWhatIsBeingOpened)
{
    struct Case {
        const char* name;
        const char* open;
        const char* handler;
    };
    const Case cases[] = {
        {"window closed at WM_CREATE", "open_window w, 0, 0, 100, 60, 0, 0, \"w\", h\n",
         "conditional EVENT_CODE = 1 then close_window w\n"},
        {"window closed as it is shown", "open_window w, 0, 0, 100, 60, 0, 0, \"w\", h\n",
         "conditional EVENT_CODE = 0x18 then close_window w\n"},
        {"dialog closed at WM_INITDIALOG", "show_dialog d\n",
         "conditional EVENT_CODE = WM_INITDIALOG then close_dialog d\n"},
        {"dialog closed as it is shown", "show_dialog d\n",
         "conditional EVENT_CODE = 0x18 then close_dialog d\n"},
    };
    for (const Case& c : cases) {
        auto o = prepareUiProgram(std::string("declare_variables w: WINDOW\n"
                                              "declare_variables d: DIALOG\n"
                                              "create_dialog d, 0, 0, 100, 60, WS_CAPTION, 0, \"d\", h\n") +
                                  c.open + "{op249} 1\nprocess_events 1\njump finish\nh:\n" + c.handler +
                                  "return\nfinish:\n");
        ASSERT_TRUE(o) << c.name;
        o->hooks[1] = [&](UiTestOstrin& t, Statement*) {
            EXPECT_TRUE(t.windowList.empty()) << c.name;
            EXPECT_EQ(nullptr, windowVar(t, "w")) << c.name;
            EXPECT_EQ(nullptr, dialogHwnd(t)) << c.name;
        };
        RunResult r = runPrepared(*o);
        EXPECT_EQ(0, r.error) << c.name << " line " << r.line;
    }
}

TEST(Dialogs, NoHandleLeakOverAThousandDialogs)
{
    // Each dialog lives in a subroutine's local variable, so it is deleted
    // at the return; half are shown and closed, half run modally.
    auto o = prepareUiProgram(
        "declare_variables i: INT\n"
        "call once\n"
        "{op249} 1\n"
        "counted_loop i, 1, 1000\n"
        "call once\n"
        "next_step i\n"
        "{op249} 2\n"
        "jump finish\n"
        "once:\n"
        "declare_variables d: DIALOG\n"
        "declare_variables r: INT\n"
        "create_dialog d, 0, 0, 160, 80, WS_CAPTION, 0, \"many\", h\n"
        "{op249} 3\n"
        "conditional i % 2 = 0\n"
        "show_dialog d\n"
        "close_dialog d\n"
        "else\n"
        "r = run_dialog(d)\n"
        "end_conditional\n"
        "return\n"
        "h:\n"
        "conditional EVENT_CODE = WM_INITDIALOG then {op249} 4\n"
        "return\n"
        "finish:\n");
    ASSERT_TRUE(o);
    long gdiStart = 0, gdiEnd = 0, windowsStart = 0, windowsEnd = 0;
    o->hooks[3] = [](UiTestOstrin& t, Statement*) {
        COstrinDlg* d = dialogVar(t, "d");
        addItems(d);
        d->addControlObject(new CWnd, 2029);
    };
    o->hooks[4] = [](UiTestOstrin& t, Statement*) {
        // The modal ones end by Esc; the dialog is the current window.
        auto* d = static_cast<CWnd*>(t.currentWindow());
        if (d->IsKindOf(&CDialog::classCDialog) && static_cast<CDialog*>(d)->IsModal())
            ::PostMessageA(d->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    o->hooks[1] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        gdiStart = gdiObjectsHeld();
        windowsStart = threadWindows();
    };
    o->hooks[2] = [&](UiTestOstrin&, Statement*) {
        pumpPending();
        gdiEnd = gdiObjectsHeld();
        windowsEnd = threadWindows();
    };
    RunResult r = runPrepared(*o);
    ASSERT_EQ(0, r.error) << "line " << r.line;
    EXPECT_LE(gdiEnd, gdiStart + 5) << "GDI objects: before " << gdiStart << ", after " << gdiEnd;
    EXPECT_LE(windowsEnd, windowsStart) << "windows: before " << windowsStart << ", after " << windowsEnd;
}

}  // namespace
